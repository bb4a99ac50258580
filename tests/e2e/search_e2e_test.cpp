// tvn from end to end on the demo directory: the real directory control
// (registered into the test's private registry), the real program start on a
// network root holding the console stand-in, and the console's log.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "app/shell/ShellProgramStart.h"
#include "app/shell/frmMain.h"
#include "consolenetwork.h"
#include "fakeservices.h"
#include "platform/automation/create.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using testsupport::ScopedEnv;

namespace {

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(platform::automation::loadServer(KDDIR_LIBRARY).registerServer(), 0);
    }
    void SetUp() override {
        services = rec.services();
        services.programs = std::make_shared<tvn::ShellProgramStart>();
    }
    // Loads the window; the session control is not registered here, so
    // start-up stops (silently) when it would fill the server list.
    void load(const QString& commandLine = {}) {
        form = std::make_unique<tvn::frmMain>(services);
        form->commandLine = commandLine;
        ASSERT_EQ(form->Form_Load(), tvn::frmMain::LoadResult::Show);
        form->currentContext = "KTR:\\\\CorpTree";
        form->cmbServerlist->setCurrentText("FS1");
    }
    void search(const QString& typed) {
        form->ImageCombo1->setEditText(typed);
        form->cmdRC_Click();
    }
    QStringList consoleLog() const {
        if (!fs::exists(log)) return {};
        return QString::fromStdString(testsupport::readFile(log)).split('\n', Qt::SkipEmptyParts);
    }

    const fs::path log = testsupport::freshDir("consoles") / "console.log";
    ScopedEnv source{"KDDIR_SOURCE",
                     (testsupport::sourceDir() / "demo" / "directory.ldif").string()};
    ScopedEnv network{"UNC_ROOT", makeConsoleNetwork(CONSOLE_PROGRAM).string()};
    ScopedEnv consoleLogEnv{"CONSOLE_LOG", log.string()};
    fakes::Recorders rec;
    platform::forms::Services services;
    std::unique_ptr<tvn::frmMain> form;
};

}  // namespace

TEST_F(EndToEnd, ASingleWorkstationHitStartsTheConsole) {
    load();
    search("WS042");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !consoleLog().isEmpty(); }, 10000))
        << "no console was started";
    EXPECT_EQ(consoleLog(),
              QStringList{"vorplin.exe\t-wWS042.Sales.Acme\t-nCorpTree\t-cRemote Control"});
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_EQ(form->chosenImage, "Workstation");

    form->consoleNewGeneration = true;
    form->defaultAction = "RI";
    form->txtInvServer->setText("10.0.0.5");
    search("WS042");
    ASSERT_TRUE(QTest::qWaitFor([&] { return consoleLog().size() == 2; }, 10000));
    EXPECT_EQ(consoleLog()[1],
              "drevmin.exe\t-wWS042.Sales.Acme\t-nCorpTree\t-cInventory\t-d10.0.0.5");
}

TEST_F(EndToEnd, AUserFoundByNameIsResolvedThroughTheBuiltDatabase) {
    const fs::path db = testsupport::freshDir("database");
    load("/dbbuild=KTR:\\\\CorpTree /dbpath=" +
         QString::fromStdString(db.string()).replace('/', '\\'));
    ASSERT_TRUE(fs::exists(db / "CorpTree.lst"));
    search("VossbeckT");
    ASSERT_EQ(form->lstMultiple->count(), 1);
    EXPECT_EQ(form->lstMultiple->textAt(0), "WS042.Sales.Acme");
    search("ProkschW");
    ASSERT_EQ(form->lstMultiple->count(), 1);
    EXPECT_EQ(form->lstMultiple->textAt(0), "WS119.IT.Acme")
        << "10.101.140.5, not WS118 at 10.101.140.50";
    form->lstMultiple->setCurrentRow(0);
    form->lstMultiple_DblClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !consoleLog().isEmpty(); }, 10000));
    EXPECT_EQ(consoleLog(),
              QStringList{"vorplin.exe\t-wWS119.IT.Acme\t-nCorpTree\t-cRemote Control"});
    EXPECT_EQ(form->ImageCombo1->keyAt(0), "KTR:\\\\CorpTree\\Acme\\IT\\ProkschW");
    EXPECT_TRUE(rec.messages->boxes.empty());
}

// The users of the demo README's table, searched from the tree root after the
// database was built from it.
TEST_F(EndToEnd, TheDemoUsersResolveAsTheReadmeSays) {
    const fs::path db = testsupport::freshDir("database");
    load("/dbbuild=KTR:\\\\CorpTree /dbpath=" +
         QString::fromStdString(db.string()).replace('/', '\\'));
    auto listed = [&](const QString& name) {
        form->resultListFlag = false;
        search(name);
        QStringList texts;
        for (int i = 0; i < form->lstMultiple->count(); ++i) texts << form->lstMultiple->textAt(i);
        return texts;
    };
    EXPECT_EQ(listed("VossbeckT"), QStringList{"WS042.Sales.Acme"});
    EXPECT_EQ(listed("OkaforN"), (QStringList{"WS110.IT.Acme", "WS111.IT.Acme"}));
    EXPECT_EQ(listed("LindqvistE"), QStringList{"User not logged in!"});
    EXPECT_EQ(listed("BrandauK"),
              QStringList{"Workstation not in database: IPX 0000AC11:00805FDED8EC:4003"});
    EXPECT_EQ(listed("FerreiraJ"),
              (QStringList{"WS112.IT.Acme", "Workstation not in database: TCP 10.101.199.199"}));
    EXPECT_EQ(listed("ProkschW"), QStringList{"WS119.IT.Acme"});
    EXPECT_EQ(listed("Admin").size(), 2) << "with the alias Administrator";
    form->CheckAlias->setChecked(false);
    EXPECT_TRUE(listed("Admin").isEmpty()) << "the file server node is not looked up";
    EXPECT_EQ(form->lstMultiple->columnHeader(1), "Workstation(s) currently in use ...");
    form->CheckAlias->setChecked(true);
    EXPECT_TRUE(listed("SalesDemoPC").isEmpty()) << "an alias is not resolved";
    EXPECT_EQ(form->chosenImage, "Alias");
    EXPECT_EQ(listed("Mil").size(), 9) << "eight users and the alias MillerA";
    EXPECT_TRUE(consoleLog().isEmpty());
}

TEST_F(EndToEnd, SeveralHitsAreListed) {
    load();
    search("NovakM");
    ASSERT_EQ(form->lstMultiple->count(), 2);
    QStringList texts;
    for (int i = 0; i < 2; ++i) {
        texts << form->lstMultiple->textAt(i);
        EXPECT_EQ(form->lstMultiple->smallIconAt(i), "User");
        EXPECT_TRUE(form->lstMultiple->keyAt(i).startsWith("KTR:\\\\CorpTree\\"));
    }
    texts.sort();
    EXPECT_EQ(texts, QStringList({"NovakM.Helpdesk.IT.Acme", "NovakM.Munich.Nordwerk.DE"}));
    EXPECT_EQ(form->lstMultiple->columnHeader(1), "Multiple users found ...");
    EXPECT_TRUE(consoleLog().isEmpty());
}

TEST_F(EndToEnd, AServerWithoutConsolesGetsTheMessage) {
    load();
    form->cmbServerlist->setCurrentText("FS2");
    search("WS042");
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_TRUE(rec.messages->boxes[0].text.startsWith(
        "Could not find files needed to launch Harbex Remote Management!"));
    EXPECT_EQ(form->mintCurFrame, 2);
    EXPECT_TRUE(consoleLog().isEmpty());
}

TEST_F(EndToEnd, WithoutAConfiguredDirectoryTheClientMessageSaysWhatToSet) {
    ScopedEnv none("KDDIR_SOURCE", nullptr);
    tvn::frmMain window(services);
    EXPECT_EQ(window.Form_Load(), tvn::frmMain::LoadResult::EndProgram);
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    // The described message, with the reason and the next step below it.
    EXPECT_TRUE(rec.messages->boxes[0].text.startsWith(
        "Sorry! This application works with Marrel Kalder Client only!\r\n\r\n"
        "No directory source is configured. Set KDDIR_SOURCE"))
        << rec.messages->boxes[0].text.toStdString();
    EXPECT_EQ(rec.messages->boxes[0].title, "Tolvane");
    EXPECT_EQ(rec.errors->lines, QStringList{tvn::kNoDirectorySource});
}
