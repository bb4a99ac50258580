// Keeping the main window in shape: the resize, the two splitters, switching
// pages of both tab strips, the status bar's help panel and the drop-down of
// the default-action menu. Layout statements ignore their own failures (a
// negative width in a very small window), so the rest still runs.
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mousegrip.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabstrip.h"
#include "platform/forms/twips.h"

namespace tvn {

using platform::forms::toPixels;
using platform::forms::Twips;

namespace {
constexpr double kMinimumWidth = 3000;
constexpr double kVerticalSplitLimit = 500;
constexpr double kHorizontalSplitLimit = 1500;

// The lower limit wins over the upper one in a window too small for both.
double withinLimits(double position, double lower, double upper) {
    return position < lower ? lower : position > upper ? upper : position;
}

// Shows one element of a page array (1-based). Before start-up has chosen a
// current page there is none to hide; then every other page goes, so that two
// pages never lie on top of each other.
template <typename Page, std::size_t N>
void switchPage(const std::array<Page*, N>& pages, int shown, int current) {
    const int count = static_cast<int>(N) - 1;
    pages[shown]->setVisible(true);
    for (int i = 1; i <= count; ++i)
        if (i != shown && (i == current || current < 1 || current > count))
            pages[i]->setVisible(false);
}
}  // namespace

void frmMain::placeWindow(double left, double top, double width, double height) {
    Twips(this).move(left, top, width, height);
    if (!isVisible()) pendingOuterSize_.emplace(width, height);
}

void frmMain::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!pendingOuterSize_) return;
    // The frame is known once the window system has the window.
    QTimer::singleShot(0, this, [this] {
        if (!pendingOuterSize_ || isMinimized()) return;
        const auto [width, height] = *pendingOuterSize_;
        pendingOuterSize_.reset();
        // Passed explicitly: clang 14 cannot capture a structured binding.
        resumeNext([this, width = width] { Twips(this).setWidth(width); });
        resumeNext([this, height = height] { Twips(this).setHeight(height); });
    });
}

void frmMain::alignStatusBar() {
    StatusBar->setGeometry(0, height() - StatusBar->height(), width(), StatusBar->height());
    StatusBar->raise();
}

void frmMain::Form_Resize() {
    if (isMinimized()) {
        resumeNext([&] { setWindowTitle("TVN on " + treeName); });
        return;
    }
    Twips form(this);
    Twips page1(picControl[1]);
    resumeNext([&] { setWindowTitle("Tolvane on " + treeName); });
    resumeNext([&] {
        if (form.width() < kMinimumWidth) form.setWidth(kMinimumWidth);
    });

    resumeNext([&] {
        Twips(TabStrip).move(0, 0, form.innerWidth(),
                             form.height() - (Twips(StatusBar).height() + 400));
    });
    for (int i = 1; i <= 3; ++i)
        resumeNext([&] {
            Twips(picControl[i])
                .move(TabStrip->clientLeft(), TabStrip->clientTop(), TabStrip->clientWidth(),
                      TabStrip->clientHeight());
        });
    resumeNext([&] {
        Twips(TabStripSettings).move(0, 0, TabStrip->clientWidth(), TabStrip->clientHeight());
    });
    for (int i = 1; i <= 4; ++i)
        resumeNext([&] {
            Twips(frameS[i]).move(TabStripSettings->clientLeft(), TabStripSettings->clientTop(),
                                  TabStripSettings->clientWidth(),
                                  TabStripSettings->clientHeight());
        });
    resumeNext([&] { Twips(txtSearchAnchor).setWidth(Twips(frameS[2]).width() - 240); });
    resumeNext([&] { Twips(lblRCUserFieldEntry).setWidth(page1.width() - 200); });

    Twips combo(ImageCombo1), rc(cmdRC), drop(Command1);
    resumeNext([&] { combo.setWidth(page1.width() - rc.width() - drop.width() - 200); });
    resumeNext([&] { rc.setTop(combo.top()); });
    resumeNext([&] { rc.setHeight(combo.height()); });
    resumeNext([&] { rc.setLeft(combo.left() + combo.width() + 60); });
    resumeNext([&] { drop.setLeft(rc.left() + rc.width()); });
    resumeNext([&] { drop.setTop(rc.top()); });
    resumeNext([&] { drop.setHeight(rc.height()); });

    Twips tree(TreeViewRC), info(lvwKTRinfo), results(lstMultiple);
    resumeNext([&] { info.setTop(tree.top()); });

    Twips frame4(frameS[4]), wsTree(TreeViewWS), build(cmdBuildWSdb);
    resumeNext([&] { wsTree.setLeft(120); });
    resumeNext([&] { wsTree.setTop(270); });
    resumeNext([&] { wsTree.setHeight(frame4.height() - 270 - 700); });
    resumeNext([&] { wsTree.setWidth(frame4.width() - 240); });
    resumeNext([&] { build.setTop(wsTree.bottom() + 100); });
    resumeNext([&] { Twips(frmDBopt).setTop(build.top() - 80); });

    resumeNext([&] { results.setWidth(page1.width() - 120); });
    resumeNext([&] { tree.setHeight(page1.height() - tree.top() - 60); });
    for (QWidget* part :
         {static_cast<QWidget*>(imgSplitterV), static_cast<QWidget*>(picSplitterV)}) {
        resumeNext([&] { Twips(part).setTop(tree.top()); });
        resumeNext([&] { Twips(part).setHeight(tree.height()); });
    }
    for (QWidget* part :
         {static_cast<QWidget*>(imgSplitterH), static_cast<QWidget*>(picSplitterH)}) {
        resumeNext([&] { Twips(part).setLeft(results.left()); });
        resumeNext([&] { Twips(part).setWidth(results.width()); });
    }

    Twips servers(cmbServerlist);
    resumeNext([&] { Twips(cmbKTRInfoLayout).setLeft(servers.left()); });
    resumeNext([&] { Twips(cmbKTRInfoLayout).setWidth(servers.width()); });
    for (auto* list : lstKTRInfoSelect) {
        resumeNext([&] { Twips(list).setLeft(servers.left()); });
        resumeNext([&] { Twips(list).setWidth(servers.width() + 20); });
        resumeNext([&] { list->setColumnWidthTwips(1, Twips(list).width() - 400); });
    }
    resumeNext([&] { Twips(frameS[3]).setHeight(page1.height() - Twips(frameS[3]).top() - 100); });
    for (auto* list : lstKTRInfoSelect)
        resumeNext(
            [&] { Twips(list).setHeight(Twips(frameS[3]).height() - Twips(list).top() - 100); });

    Twips about(FrameAbout);
    resumeNext([&] { about.setTop(90); });
    resumeNext([&] { about.setWidth(page1.width() - 120); });
    resumeNext([&] { about.setHeight(page1.height() - 200); });

    resumeNext([&] { ImageCombo1->setFocus(); });
    resumeNext([&] { SizeControlsV(static_cast<float>(Twips(imgSplitterV).left())); });
    resumeNext([&] { SizeControlsH(static_cast<float>(Twips(imgSplitterH).top())); });
}

void frmMain::SizeControlsV(float X) {
    Twips tree(TreeViewRC), info(lvwKTRinfo);
    resumeNext([&] { tree.setWidth(X - tree.left()); });
    resumeNext([&] { Twips(imgSplitterV).setLeft(X); });
    resumeNext([&] { info.setLeft(X + 50); });
    for (QWidget* w : {static_cast<QWidget*>(lstMultiple), static_cast<QWidget*>(picSplitterH),
                       static_cast<QWidget*>(imgSplitterH)})
        resumeNext([&] { Twips(w).setLeft(info.left()); });
    resumeNext([&] { info.setWidth(Twips(this).width() - (tree.width() + 420)); });
    for (QWidget* w : {static_cast<QWidget*>(lstMultiple), static_cast<QWidget*>(picSplitterH),
                       static_cast<QWidget*>(imgSplitterH)})
        resumeNext([&] { Twips(w).setWidth(info.width()); });
    resumeNext([&] { lstMultiple->setColumnWidthTwips(1, Twips(lstMultiple).width() - 300); });
}

void frmMain::SizeControlsH(float Y) {
    Twips info(lvwKTRinfo), results(lstMultiple);
    resumeNext([&] { info.setHeight(Y - info.top()); });
    resumeNext([&] { Twips(imgSplitterH).setTop(Y); });
    resumeNext([&] { results.setTop(Y + 30); });
    resumeNext([&] { results.setHeight(Twips(picControl[1]).height() - results.top() - 30); });
}

void frmMain::startSplitterDrag(QFrame* bar, double left, double top, double width, double height) {
    resumeNext([&] { Twips(bar).move(left, top, width, height); });
    bar->show();
    bar->raise();
    moving_ = true;
}

void frmMain::imgSplitterV_MouseDown(int, int, double, double) {
    Twips grip(imgSplitterV);
    startSplitterDrag(picSplitterV, grip.left(), grip.top(), grip.width() / 2, grip.height() - 20);
}

void frmMain::imgSplitterV_MouseMove(int, int, double X, double) {
    if (!moving_) return;
    const double position = X + Twips(imgSplitterV).left() - 35;
    const double limit = Twips(this).width() - kVerticalSplitLimit;
    Twips(picSplitterV).setLeft(withinLimits(position, kVerticalSplitLimit, limit));
}

void frmMain::imgSplitterV_MouseUp(int, int, double, double) {
    SizeControlsV(static_cast<float>(Twips(picSplitterV).left()));
    picSplitterV->hide();
    moving_ = false;
}

void frmMain::imgSplitterH_MouseDown(int, int, double, double) {
    Twips grip(imgSplitterH);
    startSplitterDrag(picSplitterH, grip.left(), grip.top() - 20, grip.width(), grip.height() / 2);
}

void frmMain::imgSplitterH_MouseMove(int, int, double, double Y) {
    if (!moving_) return;
    const double position = Y + Twips(imgSplitterH).top();
    const double limit = Twips(this).height() - kHorizontalSplitLimit;
    Twips(picSplitterH).setTop(withinLimits(position, kHorizontalSplitLimit, limit));
}

void frmMain::imgSplitterH_MouseUp(int, int, double, double) {
    SizeControlsH(static_cast<float>(Twips(picSplitterH).top()));
    picSplitterH->hide();
    moving_ = false;
}

void frmMain::TabStrip_Click() {
    const int index = TabStrip->selectedIndex();
    if (index == mintCurFrame) return;
    switchPage(picControl, index, mintCurFrame);
    picControl[index]->setFocus();
    mintCurFrame = index;
    setStatusText("");
}

void frmMain::TabStripSettings_Click() {
    const int index = TabStripSettings->selectedIndex();
    if (index == mintCurFrameSettings) return;
    switchPage(frameS, index, mintCurFrameSettings);
    mintCurFrameSettings = index;
    setStatusText("");
}

void frmMain::StatusBar_PanelClick(int panel) {
    StatusBar->setBevel(panel, platform::forms::StatusBar::Inset);
    if (panel == 1) {
        QWidget* target = focusWidget() ? focusWidget() : this;
        QCoreApplication::postEvent(target,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
    }
}

void frmMain::StatusBar_MouseDown(int, int, double, double) {
    StatusBar->setBevel(1, platform::forms::StatusBar::Raised);
}

void frmMain::StatusBar_MouseMove(int, int, double, double) {
    StatusBar->setBevel(1, platform::forms::StatusBar::Raised);
}

void frmMain::Command1_MouseDown() {
    Twips rc(cmdRC);
    const QPoint at(toPixels(rc.left() + 50), toPixels(rc.bottom() + 50));
    services().menus->popup(*mnuDefaultAction, *picControl[1], at, 0);
}

}  // namespace tvn
