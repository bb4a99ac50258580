// The panelled status bar.
#include "platform/forms/statusbar.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>

#include "platform/forms/errors.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"

namespace platform::forms {

StatusBar::StatusBar(int panels, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 2, 1, 1);
    layout->setSpacing(2);
    for (int i = 0; i < panels; ++i) {
        auto* label = new QLabel(this);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setMargin(1);
        label->setMinimumWidth(i == 0 ? 60 : 20);
        // The last panel takes the width it is given, however long its text:
        // the text is cut off there and shown whole as the tooltip.
        if (i + 1 == panels) label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(label, i + 1 == panels ? 1 : 0);
        panels_.push_back({label, NoBevel});
        setBevel(i + 1, Inset);
    }
    setMouseTracking(true);
    setFixedHeight(fontMetrics().height() + 10);
}

void StatusBar::addWidget(QWidget* widget) {
    widget->setParent(this);
    widget->setMaximumHeight(height() - 3);
    layout()->addWidget(widget);
}

StatusBar::Panel& StatusBar::at(int panel) {
    if (panel < 1 || panel > panelCount())
        throw FormsError(errors::kElementNotFound, "Element not found");
    return panels_[static_cast<size_t>(panel - 1)];
}

const StatusBar::Panel& StatusBar::at(int panel) const {
    return const_cast<StatusBar*>(this)->at(panel);
}

QString StatusBar::panelText(int panel) const {
    return at(panel).label->text();
}
void StatusBar::setPanelText(int panel, const QString& text) {
    at(panel).label->setText(text);
}
int StatusBar::bevel(int panel) const {
    return at(panel).bevel;
}

void StatusBar::setBevel(int panel, int bevel) {
    Panel& p = at(panel);
    if (bevel < NoBevel || bevel > Raised)
        throw FormsError(errors::kInvalidPropertyValue, "Invalid property value");
    p.bevel = bevel;
    switch (bevel) {
        case NoBevel:
            p.label->setFrameStyle(QFrame::NoFrame);
            break;
        case Inset:
            p.label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            break;
        default:
            p.label->setFrameStyle(QFrame::Panel | QFrame::Raised);
            break;
    }
}

int StatusBar::panelAt(const QPoint& pos) const {
    for (int i = 0; i < panelCount(); ++i)
        if (panels_[static_cast<size_t>(i)].label->geometry().contains(pos)) return i + 1;
    return 0;
}

QString StatusBar::cutOffText(int panel) const {
    const QLabel* label = at(panel).label;
    const QString text = label->text();
    const QFontMetrics metrics = label->fontMetrics();
    // A framed label indents its text by half an "x" on its aligned side.
    int indent = label->indent();
    if (indent < 0) indent = label->frameWidth() > 0 ? metrics.horizontalAdvance(u'x') / 2 : 0;
    const int room = label->contentsRect().width() - 2 * label->margin() - indent;
    return metrics.horizontalAdvance(text) > room ? text : QString();
}

bool StatusBar::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    auto* help = static_cast<QHelpEvent*>(e);
    const int panel = panelAt(help->pos());
    const QString text = panel ? cutOffText(panel) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        e->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, this, at(panel).label->geometry());
    }
    return true;
}

void StatusBar::mousePressEvent(QMouseEvent* e) {
    pressedPanel_ = panelAt(e->position().toPoint());
    emit mouseDown(buttonCode(e->button()), shiftCode(e->modifiers()),
                   toTwips(e->position().toPoint().x()), toTwips(e->position().toPoint().y()));
}

void StatusBar::mouseMoveEvent(QMouseEvent* e) {
    emit mouseMove(buttonCode(e->buttons()), shiftCode(e->modifiers()),
                   toTwips(e->position().toPoint().x()), toTwips(e->position().toPoint().y()));
}

void StatusBar::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    emit mouseUp(buttonCode(e->button()), shiftCode(e->modifiers()), toTwips(pos.x()),
                 toTwips(pos.y()));
    const int panel = panelAt(pos);
    if (panel != 0 && panel == pressedPanel_) emit panelClick(panel);
    pressedPanel_ = 0;
}

}  // namespace platform::forms
