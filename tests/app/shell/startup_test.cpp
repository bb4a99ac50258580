// Start-up and shutdown of the main window: the order of the steps, the
// class filters, the failure that ends the program (error 7), the reasons of
// the others, and a settings store that another program holds or that is no
// store.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "app/lookup/KDDirCtrl.h"
#include "app/shell/RuntimeError.h"
#include "formfixture.h"
#include "platform/automation/error.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabstrip.h"
#include "testsupport/testsupport.h"

using tvn::frmMain;

namespace {
const char* const kDirectory = "KDDirLib.KDDirCtrl.1";
const char* const kSession = "QuillonLib.QuillonCtrl.1";
}  // namespace

TEST_F(FormTest, StartupCreatesTheControlsInOrderAndRunsToTheEnd) {
    objects.servers = std::vector<std::string>{"FS1", "FS2", "FS1"};
    ASSERT_EQ(load(), frmMain::LoadResult::Show);

    // The five instances, the console version check's own, the session control.
    EXPECT_EQ(objects.created,
              (std::vector<std::string>{kDirectory, kDirectory, kDirectory, kDirectory, kDirectory,
                                        "KDDirLib.KDdirCtrl.1", kSession}));
    std::vector<std::string> filters;
    for (size_t i = 0; i < 5; ++i) filters.push_back(objects.directories[i]->classFilter);
    EXPECT_EQ(filters, (std::vector<std::string>{
                           "Country, Organization, Organizational Unit, User, Alias, Workstation",
                           "Country, Organization, Organizational Unit", "Workstation",
                           "Country, Organization, Organizational Unit", "User"}));
    EXPECT_EQ(&form->KDDirRCTree->object(), objects.directories[0].get());
    EXPECT_EQ(&form->KDDirWSAddress->object(), objects.directories[4].get());

    EXPECT_EQ(form->windowTitle(), "Tolvane on " + form->treeName);
    EXPECT_FALSE(form->dbDirectory.isEmpty());
    EXPECT_EQ(form->lblAbout[1]->text(),
              QString("Version %1.%2").arg(TVN_VERSION_MAJOR).arg(TVN_VERSION_MINOR));
    EXPECT_EQ(form->StatusBar->panelText(1), "Help");
    EXPECT_EQ(form->statusText(), "Context: KTR:\\\\CorpTree")
        << "the trees' context replaces the reminder";

    // The servers as the session control lists them: no sorting, duplicates kept.
    ASSERT_EQ(form->cmbServerlist->count(), 3);
    EXPECT_EQ(form->cmbServerlist->itemText(0), "FS1");
    EXPECT_EQ(form->cmbServerlist->itemText(1), "FS2");
    EXPECT_EQ(form->cmbServerlist->itemText(2), "FS1");
    EXPECT_EQ(form->cmbKTRInfoLayout->count(), 2);
    EXPECT_EQ(form->cmbKTRInfoLayout->currentText(), "User");
    EXPECT_TRUE(form->settingsLoaded);

    EXPECT_EQ(form->mintCurFrame, 1);
    EXPECT_EQ(form->TabStrip->selectedIndex(), 1);
    EXPECT_EQ(form->TabStripSettings->selectedIndex(), 1);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(!form->picControl[i]->isHidden(), i == 1);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(!form->frameS[i]->isHidden(), i == 1);
    EXPECT_EQ(form->TreeViewWS->imageList(), &form->ImageListMy);
    EXPECT_TRUE(rec.messages->boxes.empty());
}

TEST_F(FormTest, Error7ShowsTheClientMessageWithTheReasonAndEndsTheProgram) {
    for (size_t failing : {0u, 3u}) {
        fakes::Recorders fresh;
        rec = fresh;
        objects = fakes::FakeObjects();
        objects.failAt = failing;
        objects.failWith = 7;
        ASSERT_EQ(load(), frmMain::LoadResult::EndProgram) << "creation " << failing;
        ASSERT_EQ(rec.messages->boxes.size(), 1u);
        // The described message first; no window comes, so the box says why
        // and what to do on its second line, and the log says the same.
        const QStringList lines = rec.messages->boxes[0].text.split("\r\n\r\n");
        ASSERT_EQ(lines.size(), 2) << rec.messages->boxes[0].text.toStdString();
        EXPECT_EQ(lines[0], "Sorry! This application works with Marrel Kalder Client only!");
        EXPECT_TRUE(lines[1].contains("KDDIR_SOURCE")) << lines[1].toStdString();
        EXPECT_TRUE(lines[1].contains("Software\\KDDirLib\\KDDirCtrl\\Source"));
        EXPECT_EQ(rec.errors->lines, QStringList{tvn::kNoDirectorySource});
        EXPECT_TRUE(tvn::kNoDirectorySource.startsWith("no directory source: set KDDIR_SOURCE"));
        EXPECT_EQ(rec.messages->boxes[0].style, 0);
        EXPECT_EQ(rec.messages->boxes[0].title, "Tolvane");
        EXPECT_EQ(objects.created.size(), failing + 1) << "no step may run after the failure";
        EXPECT_FALSE(form->isUnloaded()) << "the program ends without closing events";
    }
}

TEST_F(FormTest, OtherCreationFailuresStopStartupWithTheirReasonInTheStatusBarAndTheLog) {
    objects.failAt = 2;
    objects.failWith = 429;
    ASSERT_EQ(load(), frmMain::LoadResult::Show);
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_EQ(form->statusText(), "Start-up failed: cannot create");
    EXPECT_EQ(rec.errors->lines, QStringList{"Start-up failed: cannot create"});
    EXPECT_EQ(objects.created.size(), 3u);
    EXPECT_EQ(form->windowTitle(), "Tolvane") << "the caption step was not reached";
    EXPECT_EQ(form->StatusBar->panelText(1), "");
    EXPECT_NE(form->KDDirUser, nullptr);
    EXPECT_EQ(form->KDDirWSdb, nullptr);
}

TEST_F(FormTest, WithoutTheSessionControlTheServerListStaysEmptyAndNothingIsLoaded) {
    objects.servers = std::nullopt;
    form = std::make_unique<frmMain>(rec.services(), objects.factory());
    ASSERT_EQ(form->Form_Load(), frmMain::LoadResult::Show);
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_EQ(form->cmbServerlist->count(), 0);
    EXPECT_EQ(form->cmbKTRInfoLayout->count(), 0);
    EXPECT_FALSE(form->settingsLoaded);
    EXPECT_EQ(form->StatusBar->panelText(1), "Help") << "the steps before it did run";
    EXPECT_EQ(form->windowTitle(), "Tolvane on " + form->treeName);
}

TEST_F(FormTest, ASessionWithoutServersLetsStartupContinue) {
    objects.servers = std::vector<std::string>{};
    ASSERT_EQ(load(), frmMain::LoadResult::Show);
    EXPECT_EQ(form->cmbServerlist->count(), 0);
    EXPECT_TRUE(form->settingsLoaded);
}

TEST_F(FormTest, ClosingTheWindowReleasesTheDirectoryControlsOnce) {
    loadAndShow();
    const long before = objects.directories[0]->refCount();
    form->close();
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_EQ(form->KDDirRCTree, nullptr);
    EXPECT_EQ(form->KDDirWSAddress, nullptr);
    for (const auto& d : objects.directories)
        EXPECT_EQ(d->refCount(), 1) << "only the test holds it";
    EXPECT_LT(objects.directories[0]->refCount(), before);
    EXPECT_NO_THROW(form->Form_Unload());
}

TEST(StartupFailureReason, NamesTheStoreTheDirectoryOrWhatFailed) {
    using platform::registry::RegistryError;
    using Kind = RegistryError::Kind;
    const QString store = QString::fromStdString(platform::registry::Store::defaultPath().string());
    const auto reason = [](auto error) {
        return tvn::startupFailureReason(std::make_exception_ptr(error));
    };
    EXPECT_EQ(reason(RegistryError(Kind::Locked, "busy")),
              "Settings store " + store + " is in use by another program");
    EXPECT_EQ(reason(RegistryError(Kind::Corrupt, "no store")),
              "Settings store: " + store + " is not a valid registry store");
    EXPECT_EQ(reason(RegistryError(Kind::Io, "Cannot read the registry store x: denied")),
              "Settings store: Cannot read the registry store x: denied");
    EXPECT_EQ(reason(platform::automation::AutomationError(600, "demo.ldif:3: malformed line")),
              "Directory: demo.ldif:3: malformed line");
    EXPECT_EQ(reason(tvn::ExplainedError(601, "Tree KTR:\\\\Nope not found in the directory")),
              "Tree KTR:\\\\Nope not found in the directory");
    EXPECT_EQ(reason(platform::automation::AutomationError(601, "No object is named 'x'")),
              "Start-up failed: No object is named 'x'");
    EXPECT_EQ(reason(std::runtime_error("odd")), "Start-up failed: odd");
}

TEST_F(FormTest, AStoreHeldByAnotherProgramStopsStartupBeforeAnyStepAndIsLeftAlone) {
    store("Settings\\CorpTree", "Width", "9000");
    platform::registry::Store holder;
    holder.atomically([&] {
        holder.setValue("Software\\Holder", "held", "1");
        ASSERT_EQ(load(), frmMain::LoadResult::Show);
        form->close();
    });
    const QString reason =
        "Settings store " +
        QString::fromStdString(platform::registry::Store::defaultPath().string()) +
        " is in use by another program";
    EXPECT_EQ(form->statusText(), reason);
    EXPECT_EQ(rec.errors->lines, QStringList{reason});
    EXPECT_TRUE(objects.created.empty()) << "no step ran";
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_FALSE(form->settingsLoaded);
    EXPECT_EQ(storedSection("Settings\\CorpTree"),
              (platform::registry::Settings::Pairs{{"Width", "9000"}}));
}

TEST_F(FormTest, AFileThatIsNoStoreStopsStartupAndIsLeftAsItWas) {
    const std::filesystem::path foreign = testsupport::freshDir("foreign") / "notes.db";
    testsupport::writeFile(foreign, "somebody else's notes\n");
    testsupport::ScopedEnv registry("REGISTRY_DB", foreign.string());
    ASSERT_EQ(load(), frmMain::LoadResult::Show);
    form->close();
    EXPECT_EQ(form->statusText(), "Settings store: " + QString::fromStdString(foreign.string()) +
                                      " is not a valid registry store");
    EXPECT_TRUE(objects.created.empty());
    EXPECT_EQ(testsupport::readFile(foreign), "somebody else's notes\n");
}

TEST_F(FormTest, AWriteThatMeetsAHeldStoreSaysWhyOnceAndKeepsWhatIsStored) {
    store("History\\CorpTree", "KTR:\\\\CorpTree\\Acme\\WS1;Workstation", "");
    loadAndShow();
    form->close();
    const auto saved = storedSection("Settings\\CorpTree");
    ASSERT_EQ(saved.size(), 16u);
    restart();
    form->show();

    platform::registry::Store holder;
    holder.atomically([&] {
        holder.setValue("Software\\Holder", "held", "1");
        form->cmdPurgeH_Click();
        EXPECT_EQ(form->ImageCombo1->count(), 0) << "the list is emptied all the same";
        EXPECT_TRUE(form->statusText().endsWith(" is in use by another program"))
            << form->statusText().toStdString();
        // The settings at exit: one wait and one line, not one per value.
        form->SizeControlsV(2500);
        form->close();
    });
    ASSERT_EQ(rec.errors->lines.size(), 2);
    EXPECT_EQ(rec.errors->lines[0], rec.errors->lines[1]);
    EXPECT_EQ(storedSection("History\\CorpTree").size(), 1u) << "the purge did not happen";
    EXPECT_EQ(storedSection("Settings\\CorpTree"), saved) << "no value of the save was kept";
}
