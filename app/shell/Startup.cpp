// Start-up and shutdown of the main window. Start-up runs its steps in a
// fixed order and stops at the first failure. A directory control that cannot
// work without the network client (error 7) gets its message box and ends
// the program, with the reason and what to do on standard error and as a
// second line of the box; any other failure leaves the window as the
// completed steps set it up, with the reason in the status bar and on
// standard error. An unattended run (a database build with /autoclose) ends
// with its reason instead, without a box. Shutdown saves the settings only
// when this run loaded them.
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>

#include "app/actions/VersionCheck.h"
#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/WorkstationDatabase.h"
#include "app/shell/CommandLine.h"
#include "app/shell/Paths.h"
#include "app/shell/RegistrySettings.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/automation/create.h"
#include "platform/automation/enumerator.h"
#include "platform/automation/error.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabstrip.h"
#include "platform/registry/store.h"

namespace tvn {

namespace pa = platform::automation;

namespace {
constexpr const char* kQuillonProgId = "QuillonLib.QuillonCtrl.1";

// The box's second line: the reason as a sentence.
QString noClientAdvice(const QString& reason) {
    if (reason != kNoDirectorySource) return reason;
    return "No directory source is configured. Set KDDIR_SOURCE or the registry value "
           "Software\\KDDirLib\\KDDirCtrl\\Source to an LDIF file or an ldap:// URL "
           "(see \"man tvn\"), or run tolvane-demo to try the demo directory.";
}
}  // namespace

QString startupFailureReason(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const platform::registry::RegistryError& e) {
        return RegistrySettings::storeFailureReason(e);
    } catch (const ExplainedError& e) {
        return QString::fromStdString(e.what());
    } catch (...) {
    }
    const QString description = QString::fromStdString(errorDescription(failure));
    // The directory control's word on a source it cannot read names the file
    // and line.
    if (errorNumber(failure) == err::kConnectionLost) return "Directory: " + description;
    return "Start-up failed: " + description;
}

QString noClientReason(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const pa::AutomationError&) {
        // The directory control refuses to be created without a source.
        return kNoDirectorySource;
    } catch (...) {
    }
    return startupFailureReason(failure);
}

ObjectFactory createByProgId() {
    return [](const std::string& progId) { return pa::createObject(progId); };
}

frmMain::LoadResult frmMain::Form_Load() {
    // Known before any step runs, so that no failure of any step shows a box
    // that nobody would close.
    const CommandLineOptions asked =
        CommandLine::parseOptions(CommandLine::GetCommandLine(commandLine));
    unattended_ = !asked.buildContext.isEmpty() && asked.autoClose;
    try {
        runStartup();
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        if (!unattended() && errorNumber(failure) == err::kOutOfMemory) {
            // No window comes: the box carries the reason as its second line.
            const QString reason = noClientReason(failure);
            if (svc_.errors) svc_.errors->write(reason);
            svc_.msgBox("Sorry! This application works with Marrel Kalder Client only!\r\n\r\n" +
                            noClientAdvice(reason),
                        platform::forms::msgbox::kOkOnly);
            return LoadResult::EndProgram;
        }
        // Nobody reads a box in an unattended run: the same reason ends it.
        reportFailure(errorNumber(failure) == err::kOutOfMemory ? noClientReason(failure)
                                                                : startupFailureReason(failure));
    }
    if (unattended() && !failureReason_.isEmpty()) return LoadResult::Failed;
    if (unattended() && incomplete_) return LoadResult::Incomplete;
    return unloaded_ ? LoadResult::Closed : LoadResult::Show;
}

void frmMain::reportFailure(const QString& reason) {
    QString line = reason;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(u'\n', u' ');
    line.replace(u'\r', u' ');
    if (failureReason_.isEmpty()) failureReason_ = line;
    if (svc_.errors) svc_.errors->write(line);
    if (unattended())
        Form_Unload();
    else
        setStatusText(line);
}

void frmMain::reportNotice(const QString& line, bool incomplete) {
    if (incomplete) incomplete_ = true;
    if (svc_.errors) svc_.errors->write(line);
    setStatusText(line);
}

std::unique_ptr<KDDirCtrl> frmMain::createDirectoryControl(const QString& classFilter) {
    auto control = std::make_unique<KDDirCtrl>(createObject_(KDDirCtrl::kProgId));
    control->setClassFilter(classFilter);
    return control;
}

void frmMain::fillServerList() {
    // The session control lives for this step only.
    const pa::Ref<pa::Object> session = createObject_(kQuillonProgId);
    const pa::Ref<pa::Object> servers = session->get("ServerNames").toObject();
    for (const pa::Variant& server : pa::enumerate(*need(servers.get())))
        cmbServerlist->addItem(
            QString::fromStdString(server.toObject()->get("ShortName").toString()));
}

void frmMain::runStartup() {
    // The store holds the components' registrations as well as the settings:
    // one that cannot be used is named before any step fails on it.
    settingsStore();

    KDDirRCTree = createDirectoryControl(
        "Country, Organization, Organizational Unit, User, Alias, Workstation");
    KDDirUser = createDirectoryControl("Country, Organization, Organizational Unit");
    KDDirUser->onSearchCompleted(
        [this](const pa::Variant& results) { KDDirUser_SearchCompleted(results); });
    KDDirWSdb = createDirectoryControl("Workstation");
    KDDirWSdb->onSearchCompleted(
        [this](const pa::Variant& results) { KDDirWSdb_SearchCompleted(results); });
    KDDirWS = createDirectoryControl("Country, Organization, Organizational Unit");
    KDDirWSAddress = createDirectoryControl("User");

    CommandLine::ProcessCommandLine(*this);
    if (unloaded_) return;

    consoleNewGeneration = false;
    VersionCheck::CheckConsoleVersion(*this);

    setWindowTitle("Tolvane on " + treeName);

    if (options.help) {
        Form_Unload();
        CommandLine::ShowHelpWindow(*this);
        return;
    }

    if (dbDirectory.isEmpty())
        dbDirectory = defaultDatabaseDirectory(QCoreApplication::applicationDirPath());

    lblAbout[1]->setText(QString("Version %1.%2").arg(TVN_VERSION_MAJOR).arg(TVN_VERSION_MINOR));

    StatusBar->setPanelText(1, "Help");
    setStatusText("Remember to update the Workstation Database regularly!");

    mintCurFrame = 1;
    mintCurFrameSettings = 1;

    fillServerList();

    cmbKTRInfoLayout->addItem("User");
    cmbKTRInfoLayout->addItem("Workstation");
    cmbKTRInfoLayout->setCurrentText("User");
    BuildKTRLayoutList(*this);

    RegistrySettings::LoadSettings(*this);
    settingsLoaded = true;

    TabStrip->select(1);
    for (int i = 1; i <= 3; ++i) picControl[i]->setVisible(i == 1);
    TabStripSettings->select(1);
    for (int i = 1; i <= 4; ++i) frameS[i]->setVisible(i == 1);

    TreeViewWS->setImageList(&ImageListMy);

    BrowseStartWS(*this);
    BrowseStartRC(*this);

    if (!options.buildContext.isEmpty() && options.autoClose) {
        Form_Unload();
        return;
    }

    RegistrySettings::RestoreAnchor(*this);
    // A failure of an earlier step (a database build at step 3) would
    // otherwise be hidden by the texts of the later ones.
    if (!failureReason_.isEmpty()) setStatusText(failureReason_);
}

void frmMain::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (!options.buildContext.isEmpty() && options.autoClose) {
        hide();
        return;
    }
    // Saved while the window still has its place on the screen.
    if (settingsLoaded) RegistrySettings::SaveSettings(*this);
    hide();
    releaseDirectoryControls();
}

void frmMain::releaseDirectoryControls() {
    // A build still running holds the answer of its search, which lives in
    // the controls' module: it ends first, and its new file goes.
    abandonDatabaseBuild(*this);
    KDDirRCTree.reset();
    KDDirUser.reset();
    KDDirWSdb.reset();
    KDDirWS.reset();
    KDDirWSAddress.reset();
}

}  // namespace tvn
