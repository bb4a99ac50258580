// Building the main window: every control at its design-time place (in
// twips), the pop-up menus and the wiring of controls to their handlers.
#include "app/shell/frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include "app/actions/ActionCatalogue.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/WorkstationDatabase.h"
#include "app/shell/Paths.h"
#include "app/shell/RegistrySettings.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmHelpWindow.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mousegrip.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabstrip.h"
#include "platform/forms/twips.h"
#include "platform/registry/settings.h"
#include "platform/registry/store.h"

namespace tvn {

using platform::forms::Twips;
namespace forms = platform::forms;
namespace pa = platform::automation;

namespace {

template <typename W>
W* placed(W* widget, double left, double top, double width, double height) {
    Twips(widget).move(left, top, width, height);
    return widget;
}

QLabel* label(QWidget* parent, const QString& text, double left, double top, double width) {
    return placed(new QLabel(text, parent), left, top, width, 255);
}

// The action menu's captions with the letter that chooses the item from the
// keyboard, a different one for each.
QString withAccessKey(const QString& caption) {
    static const std::pair<const char*, const char*> keyed[] = {
        {"Remote Control", "Remote &Control"},
        {"Remote View", "Remote &View"},
        {"Remote Execute", "Remote &Execute"},
        {"File Transfer", "&File Transfer"},
        {"Chat", "C&hat"},
        {"Diagnostics", "&Diagnostics"},
        {"Inventory", "&Inventory"},
        {"Ping RM Agent", "&Ping RM Agent"}};
    for (const auto& [plain, accessed] : keyed)
        if (caption == QLatin1String(plain)) return QString::fromLatin1(accessed);
    return caption;
}

QFrame* splitterBar(QWidget* parent) {
    auto* bar = new QFrame(parent);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, QColor(96, 96, 96));
    bar->setPalette(palette);
    bar->hide();
    return bar;
}

}  // namespace

frmMain::frmMain(forms::Services services, ObjectFactory createObject, QWidget* parent)
    : QWidget(parent),
      ImageListMy(forms::ImageList::classImages()),
      svc_(std::move(services)),
      createObject_(createObject ? std::move(createObject) : createByProgId()) {
    setObjectName("frmMain");
    setWindowTitle("Tolvane");
    setWindowIcon(ImageListMy.icon("Workstation"));

    TabStrip = new forms::TabStrip({"Remote Action", "Settings", "About"}, this);
    TabStrip->setObjectName("TabStrip");
    for (int i = 1; i <= 3; ++i) {
        picControl[i] = new QWidget(this);
        picControl[i]->setObjectName(QString("picControl(%1)").arg(i));
        picControl[i]->setVisible(i == 1);
    }
    StatusBar = new forms::StatusBar(2, this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setBevel(1, forms::StatusBar::Raised);
    prgBuildWSdb = new QProgressBar;
    prgBuildWSdb->setObjectName("prgBuildWSdb");
    prgBuildWSdb->setMaximumWidth(160);
    cmdCancelBuildWSdb = new QPushButton("Cancel");
    cmdCancelBuildWSdb->setObjectName("cmdCancelBuildWSdb");
    cmdCancelBuildWSdb->setFocusPolicy(Qt::NoFocus);
    for (QWidget* widget : std::initializer_list<QWidget*>{prgBuildWSdb, cmdCancelBuildWSdb}) {
        StatusBar->addWidget(widget);
        widget->hide();
    }

    buildRemoteActionPage();
    buildSettingsPage();
    buildAboutPage();
    buildMenus();
    connectHandlers();

    placeWindow(1000, 1000, 8000, 7000);
}

frmMain::~frmMain() = default;

void frmMain::buildRemoteActionPage() {
    QWidget* page = picControl[1];
    lblRCUserFieldEntry = label(page, "Enter Username or Workstation Name:", 100, 100, 5000);
    ImageCombo1 = placed(new forms::ImageCombo(page), 100, 370, 4000, 330);
    ImageCombo1->setImageList(&ImageListMy);
    // What is typed is searched as typed: the box completes nothing.
    ImageCombo1->setCompleter(nullptr);
    cmdRC = placed(new QPushButton("Remote Control", page), 4160, 370, 1700, 330);
    Command1 = placed(new QPushButton(QString(QChar(0x25BE)), page), 5860, 370, 300, 330);
    Command1->setToolTip("Choose the default action");
    lblRCUserFromKTR = label(page, "Set Context / Choose User or Workstation:", 100, 840, 5000);

    TreeViewRC = placed(new forms::KeyedTree(page), 100, 1100, 2900, 3600);
    TreeViewRC->setImageList(&ImageListMy);
    lvwKTRinfo = placed(new forms::KeyedList({"Attribute", "Value"}, page), 3050, 1100, 3000, 2900);
    lstMultiple = placed(new forms::KeyedListView({"Search Results"}, page), 3050, 4030, 3000, 700);
    lstMultiple->setImageList(&ImageListMy);

    imgSplitterV = placed(new forms::MouseGrip(Qt::SplitHCursor, page), 3000, 1100, 60, 3600);
    picSplitterV = splitterBar(page);
    imgSplitterH = placed(new forms::MouseGrip(Qt::SplitVCursor, page), 3050, 4000, 3000, 45);
    picSplitterH = splitterBar(page);

    const std::pair<QWidget*, const char*> names[] = {{lblRCUserFieldEntry, "lblRCUserFieldEntry"},
                                                      {ImageCombo1, "ImageCombo1"},
                                                      {cmdRC, "cmdRC"},
                                                      {Command1, "Command1"},
                                                      {lblRCUserFromKTR, "lblRCUserFromKTR"},
                                                      {TreeViewRC, "TreeViewRC"},
                                                      {lvwKTRinfo, "lvwKTRinfo"},
                                                      {lstMultiple, "lstMultiple"},
                                                      {imgSplitterV, "imgSplitterV"},
                                                      {picSplitterV, "picSplitterV"},
                                                      {imgSplitterH, "imgSplitterH"},
                                                      {picSplitterH, "picSplitterH"}};
    for (const auto& [widget, name] : names) widget->setObjectName(name);
}

void frmMain::buildSettingsPage() {
    QWidget* page = picControl[2];
    TabStripSettings = new forms::TabStrip(
        {"Remote Management", "Searching", "KTR Attributes", "Workstation Database"}, page);
    TabStripSettings->setObjectName("TabStripSettings");
    const char* captions[] = {"", "Remote Management Settings", "Search Settings",
                              "Select KTR attributes to be displayed",
                              "Set KTR context to search (including subtrees) for workstations:"};
    for (int i = 1; i <= 4; ++i) {
        frameS[i] = new QGroupBox(captions[i], page);
        frameS[i]->setObjectName(QString("frameS(%1)").arg(i));
        frameS[i]->setVisible(i == 1);
    }

    QGroupBox* remote = frameS[1];
    Label1 = label(remote, "Select the server holding your Harbex files", 240, 400, 5000);
    cmbServerlist = placed(new QComboBox(remote), 240, 680, 3600, 330);
    cmbServerlist->setEditable(true);
    cmbServerlist->setInsertPolicy(QComboBox::NoInsert);
    lblInvServer =
        label(remote, "Enter the Inventory Server's IP name or address", 240, 1240, 5000);
    txtInvServer = placed(new QLineEdit(remote), 240, 1520, 3600, 330);

    QGroupBox* search = frameS[2];
    Label4 = label(search, "Search starts always from within", 120, 400, 5000);
    txtSearchAnchor = placed(new QLineEdit(search), 120, 680, 5000, 330);
    txtSearchAnchor->setReadOnly(true);
    optSubOrdTree[0] =
        placed(new QRadioButton("Search Selected Context and all Subcontainer", search), 120, 1240,
               5000, 300);
    optSubOrdTree[1] =
        placed(new QRadioButton("Search Selected Container Only", search), 120, 1560, 5000, 300);
    optSubOrdTree[0]->setChecked(true);
    CheckAlias = placed(new QCheckBox("Include Aliases in Search", search), 120, 2000, 5000, 300);
    CheckAlias->setChecked(true);
    cmdPurgeH = placed(new QPushButton("Purge History", search), 120, 2520, 1800, 400);

    QGroupBox* attributes = frameS[3];
    cmbKTRInfoLayout = placed(new QComboBox(attributes), 240, 400, 3600, 330);
    for (int i = 0; i < 2; ++i) {
        lstKTRInfoSelect[i] =
            placed(new forms::KeyedList({"Attribute"}, attributes), 240, 880, 3620, 2400);
        lstKTRInfoSelect[i]->setCheckboxes(true);
        lstKTRInfoSelect[i]->setHeaderHidden(true);
        lstKTRInfoSelect[i]->setObjectName(QString("lstKTRInfoSelect(%1)").arg(i));
        lstKTRInfoSelect[i]->setVisible(i == 0);
    }

    QGroupBox* database = frameS[4];
    TreeViewWS = placed(new forms::KeyedTree(database), 120, 270, 5000, 2000);
    cmdBuildWSdb =
        placed(new QPushButton("Build Workstation Database", database), 120, 2370, 2600, 400);
    frmDBopt = placed(new QGroupBox(database), 2900, 2290, 3400, 660);
    optDBfile[0] =
        placed(new QRadioButton("Append to Existing Database", frmDBopt), 120, 60, 3200, 270);
    optDBfile[1] =
        placed(new QRadioButton("Overwrite Existing Database", frmDBopt), 120, 330, 3200, 270);
    optDBfile[1]->setChecked(true);

    const std::pair<QWidget*, const char*> names[] = {{Label1, "Label1"},
                                                      {cmbServerlist, "cmbServerlist"},
                                                      {lblInvServer, "lblInvServer"},
                                                      {txtInvServer, "txtInvServer"},
                                                      {Label4, "Label4"},
                                                      {txtSearchAnchor, "txtSearchAnchor"},
                                                      {optSubOrdTree[0], "optSubOrdTree(0)"},
                                                      {optSubOrdTree[1], "optSubOrdTree(1)"},
                                                      {CheckAlias, "CheckAlias"},
                                                      {cmdPurgeH, "cmdPurgeH"},
                                                      {cmbKTRInfoLayout, "cmbKTRInfoLayout"},
                                                      {TreeViewWS, "TreeViewWS"},
                                                      {cmdBuildWSdb, "cmdBuildWSdb"},
                                                      {frmDBopt, "frmDBopt"},
                                                      {optDBfile[0], "optDBfile(0)"},
                                                      {optDBfile[1], "optDBfile(1)"}};
    for (const auto& [widget, name] : names) widget->setObjectName(name);
}

void frmMain::buildAboutPage() {
    QWidget* page = picControl[3];
    FrameAbout = placed(new QGroupBox("About Tolvane", page), 60, 90, 7000, 5000);
    FrameAbout->setObjectName("FrameAbout");

    Image1 = new QLabel(FrameAbout);
    Image1->setObjectName("Image1");
    Image1->setPixmap(ImageListMy.icon("Workstation").pixmap(64, 64));
    lblAbout[0] = new QLabel("Tolvane for Marrel Harbex", FrameAbout);
    QFont title = lblAbout[0]->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.4);
    lblAbout[0]->setFont(title);
    lblAbout[1] = new QLabel("Version", FrameAbout);
    Label2 = new QLabel(
        "Tolvane has been extensively tested. Tolvane will not write, modify, or delete any KTR "
        "settings or values, nor will it alter or delete any files on your network other than "
        "those needed to install the utility on your workstation. No responsibility will be "
        "assumed for any damage resulting from the use or installation of Tolvane.",
        FrameAbout);
    Label2->setWordWrap(true);
    lblDistribution = new QLabel(
        "Tolvane is handed out to the administrators of this network as it stands, free of "
        "charge. It is installed from the Debian package tolvane (tolvane-demo adds a "
        "demonstration directory and network). Before the first start, name your directory "
        "with KDDIR_SOURCE or the registry value Software\\KDDirLib\\KDDirCtrl\\Source "
        "(\"man tvn\", FIRST START); the settings are kept per user and per tree. "
        "/usr/share/doc/tolvane/README.md walks through a first run.\n\n"
        "Questions and suggestions: the network administration team.",
        FrameAbout);
    lblDistribution->setWordWrap(true);
    lblAbout[0]->setObjectName("lblAbout(0)");
    lblAbout[1]->setObjectName("lblAbout(1)");
    Label2->setObjectName("Label2");
    lblDistribution->setObjectName("lblDistribution");

    // The frame's contents follow its size, which the resize sets.
    auto* grid = new QGridLayout(FrameAbout);
    grid->setContentsMargins(16, 20, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(10);
    grid->addWidget(Image1, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(lblAbout[0], 0, 1);
    grid->addWidget(lblAbout[1], 1, 1, Qt::AlignTop);
    grid->addWidget(Label2, 2, 0, 1, 2);
    grid->addWidget(lblDistribution, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
}

void frmMain::buildMenus() {
    mnuTreeManipulate = new QMenu("TreeManipulation", this);
    mnuTreeManipulate->setObjectName("mnuTreeManipulate");
    mnuTreeManipulate->addAction("&Refesh Container List")->setObjectName("mnuRefreshTreeBranch");
    QAction* anchor =
        mnuTreeManipulate->addAction("&Always start searching from within this container");
    anchor->setObjectName("mnuSearchAnchor");
    anchor->setCheckable(true);

    mnuMain = new QMenu("Remote Action", this);
    mnuMain->setObjectName("mnuMain");
    mnuDefaultAction = new QMenu("DefaultAction", this);
    mnuDefaultAction->setObjectName("mnuDefaultAction");
    for (const Action& action : actionCatalogue()) {
        const QString code = action.code;
        QAction* run = mnuMain->addAction(withAccessKey(action.caption));
        run->setObjectName(action.actionMenuItem);
        connect(run, &QAction::triggered, this, [this, code] { mnuAction_Click(code); });
        QAction* item = mnuDefaultAction->addAction(action.caption);
        item->setObjectName(action.defaultMenuItem);
        connect(item, &QAction::triggered, this, [this, code] { mnuDefaultAction_Click(code); });
    }
}

void frmMain::connectHandlers() {
    using G = forms::MouseGrip;
    connect(imgSplitterV, &G::mouseDown, this, &frmMain::imgSplitterV_MouseDown);
    connect(imgSplitterV, &G::mouseMove, this, &frmMain::imgSplitterV_MouseMove);
    connect(imgSplitterV, &G::mouseUp, this, &frmMain::imgSplitterV_MouseUp);
    connect(imgSplitterH, &G::mouseDown, this, &frmMain::imgSplitterH_MouseDown);
    connect(imgSplitterH, &G::mouseMove, this, &frmMain::imgSplitterH_MouseMove);
    connect(imgSplitterH, &G::mouseUp, this, &frmMain::imgSplitterH_MouseUp);
    connect(TabStrip, &forms::TabStrip::click, this, &frmMain::TabStrip_Click);
    connect(TabStripSettings, &forms::TabStrip::click, this, &frmMain::TabStripSettings_Click);
    connect(StatusBar, &forms::StatusBar::panelClick, this, &frmMain::StatusBar_PanelClick);
    connect(StatusBar, &forms::StatusBar::mouseDown, this, &frmMain::StatusBar_MouseDown);
    connect(StatusBar, &forms::StatusBar::mouseMove, this, &frmMain::StatusBar_MouseMove);
    connect(Command1, &QPushButton::pressed, this, &frmMain::Command1_MouseDown);
    connect(cmdRC, &QPushButton::clicked, this, &frmMain::cmdRC_Click);
    connect(cmdPurgeH, &QPushButton::clicked, this, &frmMain::cmdPurgeH_Click);
    connect(cmdBuildWSdb, &QPushButton::clicked, this, &frmMain::cmdBuildWSdb_Click);
    connect(cmdCancelBuildWSdb, &QPushButton::clicked, this, &frmMain::cmdCancelBuildWSdb_Click);
    // Escape cancels a database build while one runs, and is left alone else.
    auto* cancelBuild = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancelBuild->setObjectName("cancelBuildShortcut");
    cancelBuild->setEnabled(false);
    connect(cancelBuild, &QShortcut::activated, this, &frmMain::cmdCancelBuildWSdb_Click);
    connect(ImageCombo1, &QComboBox::activated, this, &frmMain::ImageCombo1_Click);
    ImageCombo1->installEventFilter(this);

    using T = forms::KeyedTree;
    connect(TreeViewRC, &T::itemExpanded, this, &frmMain::TreeViewRC_Expand);
    connect(TreeViewWS, &T::itemExpanded, this, &frmMain::TreeViewWS_Expand);
    connect(TreeViewRC, &T::nodeClick, this, &frmMain::TreeViewRC_NodeClick);
    connect(TreeViewWS, &T::nodeClick, this, &frmMain::TreeViewWS_NodeClick);
    connect(TreeViewRC, &T::keyPress, this, &frmMain::TreeViewRC_KeyPress);
    connect(TreeViewRC, &T::itemDoubleClicked, this, &frmMain::TreeViewRC_DblClick);
    connect(TreeViewRC, &T::mouseDown, this, &frmMain::TreeViewRC_MouseDown);
    connect(TreeViewRC, &T::contextMenuKey, this, &frmMain::TreeViewRC_ContextMenuKey);
    connect(menuItem("mnuRefreshTreeBranch"), &QAction::triggered, this,
            &frmMain::mnuRefreshTreeBranch_Click);
    connect(menuItem("mnuSearchAnchor"), &QAction::triggered, this,
            &frmMain::mnuSearchAnchor_Click);
    connect(cmbKTRInfoLayout, &QComboBox::currentIndexChanged, this,
            &frmMain::cmbKTRInfoLayout_Click);

    using R = forms::KeyedListView;
    connect(lstMultiple, &R::click, this, &frmMain::lstMultiple_Click);
    connect(lstMultiple, &R::itemClick, this, &frmMain::lstMultiple_ItemClick);
    connect(lstMultiple, &R::dblClick, this, &frmMain::lstMultiple_DblClick);
    connect(lstMultiple, &R::keyPress, this, &frmMain::lstMultiple_KeyPress);
    connect(lstMultiple, &R::mouseDown, this, &frmMain::lstMultiple_MouseDown);
    connect(lstMultiple, &R::contextMenuKey, this, &frmMain::lstMultiple_ContextMenuKey);

    // Ctrl+Q closes the window as its close box does; the shutdown runs.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setObjectName("quitShortcut");
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

QAction* frmMain::menuItem(const QString& name) const {
    for (QMenu* menu : {mnuTreeManipulate, mnuMain, mnuDefaultAction})
        if (auto* item = menu->findChild<QAction*>(name)) return item;
    throw RuntimeError(err::kObjectNotSet, "no menu item " + name.toStdString());
}

pa::Ref<pa::Object> frmMain::createObject(const std::string& progId) const {
    return createObject_(progId);
}

platform::registry::Settings& frmMain::settingsStore() {
    if (!settings_) {
        store_ = std::make_unique<platform::registry::Store>();
        settings_ = std::make_unique<platform::registry::Settings>(*store_);
    }
    return *settings_;
}

bool frmMain::writeSettings(const std::function<void()>& writes) {
    try {
        settingsStore();
        store_->atomically(writes);
        return true;
    } catch (const platform::registry::RegistryError& e) {
        reportFailure(RegistrySettings::storeFailureReason(e));
        return false;
    }
}

void frmMain::setMousePointer(int pointer) {
    mousePointer_ = pointer;
    svc_.pointer->set(*this, pointer);
}

void frmMain::setStatusText(const QString& text) {
    StatusBar->setPanelText(2, text);
}
QString frmMain::statusText() const {
    return StatusBar->panelText(2);
}

void frmMain::resizeEvent(QResizeEvent*) {
    alignStatusBar();
    Form_Resize();
}

void frmMain::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) {
        alignStatusBar();
        Form_Resize();
    }
}

void frmMain::closeEvent(QCloseEvent* e) {
    Form_Unload();
    e->accept();
}

void frmMain::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1) {
        QString helpFile = "Tvn.hlp";
        resumeNext([&] { helpFile = helpFilePath(QCoreApplication::applicationDirPath()); });
        svc_.help->open(helpFile);
        return;
    }
    QWidget::keyPressEvent(e);
}

}  // namespace tvn
