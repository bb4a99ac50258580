// The tab strip with its client area.
#include "platform/forms/tabstrip.h"

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

#include "platform/forms/errors.h"
#include "platform/forms/twips.h"

namespace platform::forms {

namespace {
constexpr int kFrame = 2;  // pixels of frame around the client area
}

TabStrip::TabStrip(const QStringList& captions, QWidget* parent) : QWidget(parent) {
    bar_ = new QTabBar(this);
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    for (const QString& caption : captions) bar_->addTab(caption);
    bar_->move(0, 0);
    connect(bar_, &QTabBar::currentChanged, this, [this] { emit click(); });
    // A press on the tab that is already selected changes nothing in the bar
    // but is still a click.
    connect(bar_, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == bar_->currentIndex()) emit click();
    });
}

int TabStrip::tabCount() const {
    return bar_->count();
}

QString TabStrip::caption(int tab) const {
    if (tab < 1 || tab > tabCount())
        throw FormsError(errors::kElementNotFound, "Element not found");
    return bar_->tabText(tab - 1);
}

int TabStrip::selectedIndex() const {
    return bar_->currentIndex() + 1;
}

void TabStrip::select(int tab) {
    if (tab < 1 || tab > tabCount())
        throw FormsError(errors::kElementNotFound, "Element not found");
    if (tab == selectedIndex())
        emit click();
    else
        bar_->setCurrentIndex(tab - 1);
}

QRect TabStrip::clientRect() const {
    const int top = bar_->sizeHint().height();
    return QRect(kFrame, top + kFrame, std::max(0, width() - 2 * kFrame),
                 std::max(0, height() - top - 2 * kFrame));
}

double TabStrip::clientLeft() const {
    return toTwips(x() + clientRect().x());
}
double TabStrip::clientTop() const {
    return toTwips(y() + clientRect().y());
}
double TabStrip::clientWidth() const {
    return toTwips(clientRect().width());
}
double TabStrip::clientHeight() const {
    return toTwips(clientRect().height());
}

void TabStrip::resizeEvent(QResizeEvent*) {
    bar_->resize(std::min(width(), bar_->sizeHint().width()), bar_->sizeHint().height());
}

void TabStrip::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, bar_->sizeHint().height(), width(), height() - bar_->sizeHint().height());
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    frame.tabBarSize = bar_->sizeHint();
    frame.shape = QTabBar::RoundedNorth;
    p.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}

}  // namespace platform::forms
