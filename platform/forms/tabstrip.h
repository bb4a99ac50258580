// A strip of tabs above a framed client area. The pages the tabs stand for are
// not children of the strip: the owner places them over the client area and
// shows the one that belongs to the selected tab when the strip reports a
// click. Tabs count from 1.
#pragma once

#include <QStringList>
#include <QWidget>

class QTabBar;

namespace platform::forms {

class TabStrip : public QWidget {
    Q_OBJECT
public:
    explicit TabStrip(const QStringList& captions, QWidget* parent = nullptr);

    int tabCount() const;
    QString caption(int tab) const;
    int selectedIndex() const;
    // Selects a tab as a click on it would, and reports the click.
    void select(int tab);

    // The client area in twips, in the coordinates of the strip's parent.
    double clientLeft() const;
    double clientTop() const;
    double clientWidth() const;
    double clientHeight() const;

    QTabBar* bar() const { return bar_; }

signals:
    // A tab was clicked or selected, also when it was already the selected one.
    void click();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QRect clientRect() const;

    QTabBar* bar_;
};

}  // namespace platform::forms
