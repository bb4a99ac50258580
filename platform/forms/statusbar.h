// A status bar made of text panels, each drawn inset, raised or flat. Panels
// count from 1. The bar reports mouse presses, moves and releases with the
// button, the modifier keys and the position in twips, and a click (press and
// release on the same panel) with the panel's index. Buttons and keys are
// coded as in mouse.h. A panel too narrow for its text shows the whole text
// as its tooltip.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;

namespace platform::forms {

class StatusBar : public QWidget {
    Q_OBJECT
public:
    enum Bevel { NoBevel = 0, Inset = 1, Raised = 2 };
    // Panel 1 fits its text; the last panel takes the rest of the width.
    StatusBar(int panels, QWidget* parent = nullptr);

    int panelCount() const { return static_cast<int>(panels_.size()); }
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    int bevel(int panel) const;
    void setBevel(int panel, int bevel);
    // The panel under a point of the bar (in pixels), or 0.
    int panelAt(const QPoint& pos) const;
    // The panel's text when the panel is too narrow to show all of it, else "".
    QString cutOffText(int panel) const;
    // Puts a widget after the last panel (a progress bar, its Cancel
    // button), no higher than the bar; it shows and hides on its own.
    void addWidget(QWidget* widget);

signals:
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);
    void panelClick(int panel);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;

private:
    struct Panel {
        QLabel* label;
        int bevel;
    };
    Panel& at(int panel);
    const Panel& at(int panel) const;

    std::vector<Panel> panels_;
    int pressedPanel_ = 0;
};

}  // namespace platform::forms
