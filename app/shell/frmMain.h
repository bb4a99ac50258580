// The main window of tvn: its three pages with every control, the pop-up
// menus, the status bar, and the application state that lives as long as the
// window (tree name, options, default action, context, source flags, chosen
// object). Start-up is the load event Form_Load, shutdown the unload event
// Form_Unload; the other handlers keep their classic names so that each can
// be found by the control and event it serves. Handlers of one concern live
// in the source file of that concern (layout here, actions and search in
// app/actions and app/lookup).
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/automation/ref.h"
#include "platform/forms/imagelist.h"
#include "platform/forms/services.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidgetItem;

namespace platform::automation {
class Object;
class Variant;
}  // namespace platform::automation

namespace platform::registry {
class Settings;
class Store;
}  // namespace platform::registry

namespace platform::forms {
class ImageCombo;
class KeyedList;
class KeyedListView;
class KeyedTree;
class MouseGrip;
class StatusBar;
class TabStrip;
}  // namespace platform::forms

namespace tvn {

class KDDirCtrl;
class frmHelpWindow;
struct DatabaseBuild;

// Creates an automation object by ProgID; raises the automation error of a
// failed creation. The program uses the registry's classes; tests may pass
// their own.
using ObjectFactory =
    std::function<platform::automation::Ref<platform::automation::Object>(const std::string&)>;
ObjectFactory createByProgId();

// The one-line reason of a start-up that stopped on a failure: the store's
// and the directory's own words, a reason a step gave itself, or "Start-up
// failed: " and the failure's description.
QString startupFailureReason(std::exception_ptr failure);

// Why a start-up failed with error 7: no directory source when the directory
// control refused to be created, else startupFailureReason.
QString noClientReason(std::exception_ptr failure);
inline const QString kNoDirectorySource =
    "no directory source: set KDDIR_SOURCE or the registry value "
    "Software\\KDDirLib\\KDDirCtrl\\Source (in your store, or for every user in the "
    "machine's: regvalue --machine) to an LDIF file or an ldap:// URL, or URI in ldap.conf (see "
    "tvn(1)); tolvane-demo runs tvn on a demo directory";

// The command-line options of the run.
struct CommandLineOptions {
    QString tree;
    QString dbPath;
    QString buildContext;
    bool autoClose = false;
    bool help = false;
};

class frmMain : public QWidget {
public:
    explicit frmMain(platform::forms::Services services, ObjectFactory createObject = {},
                     QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- start-up and shutdown ----
    enum class LoadResult {
        Show,        // show the window (also after a start-up that stopped early)
        Closed,      // start-up closed the main window; other windows may remain
        EndProgram,  // end at once, without closing events
        Failed,      // an unattended run failed; its reason is logged: end with status 1
        Incomplete,  // an unattended build wrote a database that lacks entries: status 3
    };
    LoadResult Form_Load();
    // The shutdown sequence; runs once, whoever closes the window.
    void Form_Unload();
    bool isUnloaded() const { return unloaded_; }
    // A database build with /autoclose: nobody watches the window, so no box
    // is shown and a failure ends the run.
    bool unattended() const { return unattended_; }
    // The one place where the reason of a failure goes that a person would
    // otherwise not hear of (a start-up that stopped, a database build, a
    // console that did not start, a settings store that could not be
    // written): one line to the error log, and status panel 2 or, in an
    // unattended run, the end of the run (the program exits non-zero). Line
    // breaks in the reason become blanks; the first reason of the run is kept.
    void reportFailure(const QString& reason);
    const QString& failureReason() const { return failureReason_; }
    // What a finished piece of work must tell someone who may not watch the
    // window (a database build that skipped entries, or that removed the
    // database): one line to the error log and status panel 2. An
    // incomplete result makes an unattended run end with status 3.
    void reportNotice(const QString& line, bool incomplete);
    bool incomplete() const { return incomplete_; }

    // ---- layout ----
    // Places the window by its outer frame, in twips. Before the window is
    // first shown its frame is unknown; the size is applied again once it is
    // known, so that a stored size comes back as it was saved.
    void placeWindow(double left, double top, double width, double height);
    void Form_Resize();
    void SizeControlsV(float X);
    void SizeControlsH(float Y);
    void imgSplitterV_MouseDown(int Button, int Shift, double X, double Y);
    void imgSplitterV_MouseMove(int Button, int Shift, double X, double Y);
    void imgSplitterV_MouseUp(int Button, int Shift, double X, double Y);
    void imgSplitterH_MouseDown(int Button, int Shift, double X, double Y);
    void imgSplitterH_MouseMove(int Button, int Shift, double X, double Y);
    void imgSplitterH_MouseUp(int Button, int Shift, double X, double Y);
    void TabStrip_Click();
    void TabStripSettings_Click();
    void StatusBar_PanelClick(int panel);
    void StatusBar_MouseDown(int Button, int Shift, double X, double Y);
    void StatusBar_MouseMove(int Button, int Shift, double X, double Y);
    void Command1_MouseDown();

    // ---- default action ----
    // The Click of a default-menu item, by the item's action code.
    void mnuDefaultAction_Click(const QString& code);
    // Sends the administrator to the inventory server setting.
    void showInventoryWarning();
    // Sends the administrator to the server setting after a console was not found.
    void showConsoleFilesMissing();
    // The caption of the default action on cmdRC; other codes leave it as it is.
    void showDefaultActionCaption();

    // ---- name entry and history ----
    void ImageCombo1_GotFocus();
    // An entry chosen from the history list.
    void ImageCombo1_Click();
    void ImageCombo1_KeyPress(int KeyAscii);
    void cmdPurgeH_Click();

    // ---- name search ----
    void cmdRC_Click();
    void KDDirUser_SearchCompleted(const platform::automation::Variant& Results);
    // The result list: a click anywhere, a click on an item (or moving to it
    // with the keys), a double click on an item, a typed key (Enter is 13)
    // and every mouse press, before the list selects anything.
    void lstMultiple_Click();
    void lstMultiple_ItemClick(int Item);
    void lstMultiple_DblClick();
    void lstMultiple_KeyPress(int KeyAscii);
    void lstMultiple_MouseDown(int Button, int Shift, double X, double Y);
    // The Menu key or Shift+F10: the action menu for the current item.
    void lstMultiple_ContextMenuKey();

    // ---- remote actions ----
    // The Click of an action-menu item, by the item's action code: runs that
    // action once on the current target; the default action stays.
    void mnuAction_Click(const QString& code);

    // ---- workstation database ----
    void cmdBuildWSdb_Click();
    void KDDirWSdb_SearchCompleted(const platform::automation::Variant& Results);
    // Stops the build that runs while the window is in use (also Escape).
    void cmdCancelBuildWSdb_Click();

    // ---- directory trees and attributes ----
    void TreeViewRC_Expand(QTreeWidgetItem* Node);
    void TreeViewWS_Expand(QTreeWidgetItem* Node);
    void TreeViewRC_NodeClick(QTreeWidgetItem* Node);
    void TreeViewWS_NodeClick(QTreeWidgetItem* Node);
    void TreeViewRC_KeyPress(int KeyAscii);
    void TreeViewRC_DblClick();
    void TreeViewRC_MouseDown(int Button, int Shift, double X, double Y);
    // The Menu key or Shift+F10: the menu a right click on the current node opens.
    void TreeViewRC_ContextMenuKey();
    void mnuRefreshTreeBranch_Click();
    // The menu item is checked and unchecked by its click; the handler acts
    // on the new state.
    void mnuSearchAnchor_Click();
    void cmbKTRInfoLayout_Click();

    // ---- services ----
    const platform::forms::Services& services() const { return svc_; }
    // Creates a component by ProgID through the window's factory.
    platform::automation::Ref<platform::automation::Object> createObject(
        const std::string& progId) const;
    // The user's settings store, opened at first use; raises when it cannot be.
    platform::registry::Settings& settingsStore();
    // Runs writes to the settings store as one transaction. When the store
    // cannot be written (another program holds it longer than the store
    // waits, it is damaged, its file cannot be written) nothing of them is
    // kept, the reason is reported and false returned.
    bool writeSettings(const std::function<void()>& writes);
    int MousePointer() const { return mousePointer_; }
    void setMousePointer(int pointer);
    QAction* menuItem(const QString& name) const;
    // Panel 2 of the status bar, where every concern reports progress.
    void setStatusText(const QString& text);
    QString statusText() const;

    // ---- controls ----
    platform::forms::TabStrip* TabStrip = nullptr;
    platform::forms::StatusBar* StatusBar = nullptr;
    std::array<QWidget*, 4> picControl{};  // pages 1 to 3

    QLabel* lblRCUserFieldEntry = nullptr;
    platform::forms::ImageCombo* ImageCombo1 = nullptr;
    QPushButton* cmdRC = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* lblRCUserFromKTR = nullptr;
    platform::forms::KeyedTree* TreeViewRC = nullptr;
    platform::forms::KeyedList* lvwKTRinfo = nullptr;
    platform::forms::KeyedListView* lstMultiple = nullptr;
    platform::forms::MouseGrip* imgSplitterV = nullptr;
    QFrame* picSplitterV = nullptr;
    platform::forms::MouseGrip* imgSplitterH = nullptr;
    QFrame* picSplitterH = nullptr;

    platform::forms::TabStrip* TabStripSettings = nullptr;
    std::array<QGroupBox*, 5> frameS{};  // frames 1 to 4
    QLabel* Label1 = nullptr;
    QComboBox* cmbServerlist = nullptr;
    QLabel* lblInvServer = nullptr;
    QLineEdit* txtInvServer = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtSearchAnchor = nullptr;
    QPushButton* cmdPurgeH = nullptr;
    std::array<QRadioButton*, 2> optSubOrdTree{};
    QCheckBox* CheckAlias = nullptr;
    QComboBox* cmbKTRInfoLayout = nullptr;
    std::array<platform::forms::KeyedList*, 2> lstKTRInfoSelect{};
    platform::forms::KeyedTree* TreeViewWS = nullptr;
    QGroupBox* frmDBopt = nullptr;
    std::array<QRadioButton*, 2> optDBfile{};
    QPushButton* cmdBuildWSdb = nullptr;
    // In the status bar while a database build runs with the window in use.
    QProgressBar* prgBuildWSdb = nullptr;
    QPushButton* cmdCancelBuildWSdb = nullptr;

    QGroupBox* FrameAbout = nullptr;
    QLabel* Image1 = nullptr;
    std::array<QLabel*, 2> lblAbout{};
    QLabel* Label2 = nullptr;
    QLabel* lblDistribution = nullptr;

    QMenu* mnuTreeManipulate = nullptr;
    QMenu* mnuMain = nullptr;
    QMenu* mnuDefaultAction = nullptr;

    platform::forms::ImageList ImageListMy;

    // Shown instead of this window when help is asked for on the command line.
    std::unique_ptr<frmHelpWindow> HelpWindow;

    // ---- directory-control instances ----
    std::unique_ptr<KDDirCtrl> KDDirUser;
    std::unique_ptr<KDDirCtrl> KDDirWSdb;
    std::unique_ptr<KDDirCtrl> KDDirWS;
    std::unique_ptr<KDDirCtrl> KDDirRCTree;
    std::unique_ptr<KDDirCtrl> KDDirWSAddress;

    // ---- state of the run ----
    // The process's command-line text (arguments joined by single blanks),
    // set before the load event; empty when the program got no arguments.
    QString commandLine;
    CommandLineOptions options;
    QString treeName;
    QString dbDirectory;
    // The main button's design caption is that of Remote Control.
    QString defaultAction = "RC";
    QString savedDefaultAction;
    bool consoleNewGeneration = false;
    QString currentContext;
    QString searchAnchor;
    bool anchorFixed = false;
    // Where the current target comes from. The result-list flag is empty
    // until a list item is selected and is tested against true.
    bool historyFlag = false;
    bool treeFlag = false;
    std::optional<bool> resultListFlag;
    QString chosenKey;
    QString chosenImage;
    // The name of the last search started, for the answer that nothing matched.
    QString searchedName;
    // Current page of TabStrip and current frame of TabStripSettings.
    int mintCurFrame = 0;
    int mintCurFrameSettings = 0;
    bool settingsLoaded = false;
    // The database being built, from its search until it is in place.
    std::unique_ptr<DatabaseBuild> databaseBuild;
    // How long a database build reads on before it shows its progress again
    // and, with the window in use, lets the window handle its events; it
    // reads at least one workstation each time.
    std::chrono::milliseconds databaseBuildSlice{30};

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildRemoteActionPage();
    void buildSettingsPage();
    void buildAboutPage();
    void buildMenus();
    void connectHandlers();
    void alignStatusBar();
    void runStartup();
    std::unique_ptr<KDDirCtrl> createDirectoryControl(const QString& classFilter);
    void fillServerList();
    void releaseDirectoryControls();
    void startSplitterDrag(QFrame* bar, double left, double top, double width, double height);

    platform::forms::Services svc_;
    ObjectFactory createObject_;
    int mousePointer_ = platform::forms::pointer::kDefault;
    bool moving_ = false;
    std::optional<std::pair<double, double>> pendingOuterSize_;
    bool unloaded_ = false;
    bool unattended_ = false;
    QString failureReason_;
    bool incomplete_ = false;
    std::unique_ptr<platform::registry::Store> store_;
    std::unique_ptr<platform::registry::Settings> settings_;
};

}  // namespace tvn
