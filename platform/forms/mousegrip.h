// An invisible strip that reports mouse presses, moves and releases with the
// button, modifier keys and position in twips relative to itself: the grip of
// a splitter, whose owner moves a visible bar while the mouse is dragged.
#pragma once

#include <QWidget>

namespace platform::forms {

class MouseGrip : public QWidget {
    Q_OBJECT
public:
    // cursor: the pointer shown over the grip (a splitter's arrows).
    MouseGrip(Qt::CursorShape cursor, QWidget* parent = nullptr);

signals:
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
};

}  // namespace platform::forms
