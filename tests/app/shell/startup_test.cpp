// Start-up and shutdown of the main window: the order of the steps, the
// class filters, the one reported failure (error 7) and the silent ones.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "app/lookup/KDDirCtrl.h"
#include "formfixture.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabstrip.h"

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

TEST_F(FormTest, Error7ShowsOnlyTheClientMessageAndEndsTheProgram) {
    for (size_t failing : {0u, 3u}) {
        fakes::Recorders fresh;
        rec = fresh;
        objects = fakes::FakeObjects();
        objects.failAt = failing;
        objects.failWith = 7;
        ASSERT_EQ(load(), frmMain::LoadResult::EndProgram) << "creation " << failing;
        ASSERT_EQ(rec.messages->boxes.size(), 1u);
        EXPECT_EQ(rec.messages->boxes[0].text,
                  "Sorry! This application works with Marrel Kalder Client only!");
        EXPECT_EQ(rec.messages->boxes[0].style, 0);
        EXPECT_EQ(rec.messages->boxes[0].title, "Tolvane");
        EXPECT_EQ(objects.created.size(), failing + 1) << "no step may run after the failure";
        EXPECT_FALSE(form->isUnloaded()) << "the program ends without closing events";
    }
}

TEST_F(FormTest, OtherCreationFailuresStopStartupSilently) {
    objects.failAt = 2;
    objects.failWith = 429;
    ASSERT_EQ(load(), frmMain::LoadResult::Show);
    EXPECT_TRUE(rec.messages->boxes.empty());
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
