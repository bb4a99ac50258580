// The splitter grip.
#include "platform/forms/mousegrip.h"

#include <QMouseEvent>

#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"

namespace platform::forms {

MouseGrip::MouseGrip(Qt::CursorShape cursor, QWidget* parent) : QWidget(parent) {
    setCursor(cursor);
    setAttribute(Qt::WA_NoSystemBackground);
}

void MouseGrip::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    emit mouseDown(buttonCode(e->button()), shiftCode(e->modifiers()), toTwips(p.x()),
                   toTwips(p.y()));
}

void MouseGrip::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    emit mouseMove(buttonCode(e->buttons()), shiftCode(e->modifiers()), toTwips(p.x()),
                   toTwips(p.y()));
}

void MouseGrip::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    emit mouseUp(buttonCode(e->button()), shiftCode(e->modifiers()), toTwips(p.x()),
                 toTwips(p.y()));
}

}  // namespace platform::forms
