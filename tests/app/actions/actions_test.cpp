// Dotted names, the console command lines of every action on both console
// generations, the launcher's rules (no server, trimming, quotes refused,
// missing console), and the default-action menu with its inventory check.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/actions/ActionCatalogue.h"
#include "app/actions/RemoteActions.h"
#include "app/actions/UNCtoDOTConversion.h"
#include "formfixture.h"
#include "platform/forms/tabstrip.h"

using namespace tvn;
using RemoteActions::BuildConsoleCommand;

TEST(UNCtoDOTConversion, GivesTheLevelsLeafFirst) {
    const std::pair<const char*, const char*> cases[] = {
        {"KTR:\\\\CorpTree\\Acme\\Sales\\WS042", "WS042.Sales.Acme"},
        {"KTR:\\\\CorpTree\\Acme", "Acme"},
        {"KTR:\\\\CorpTree", "CorpTree"},
        {"KTR:\\\\CorpTree\\Acme\\\\WS042", "WS042..Acme"},
        {"KTR:\\\\CorpTree\\Acme\\J.Smith", "J.Smith.Acme"},
        {"KTR:\\\\Corp Tree\\ Acme \\WS 1", "WS 1. Acme "},
        {"XY:\\\\T\\O\\U", "U.O"},
        {"\\T\\O", "O"},  // no "\\": read from the second character on
    };
    for (const auto& [full, dotted] : cases) {
        QString name = full;
        EXPECT_EQ(UNCtoDOTConversion::ConvertUNCtoDOT(name), dotted) << full;
        EXPECT_EQ(name, dotted) << "the caller's variable holds the dotted name";
    }
}

TEST(ConsoleCommandLine, EveryActionOnBothGenerations) {
    const QString Q = "\"";
    struct Expected {
        const char* code;
        const char* program;
        const char* text;
    };
    const Expected table[] = {
        {"RC", "vorplin.exe -w", "Remote Control"}, {"RV", "vorplin.exe -w", "Remote View"},
        {"RE", "drevmin.exe -w", "Remote Execute"}, {"RF", "drevmin.exe -w", "File Transfer"},
        {"CH", "drevmin.exe -w", "Chat"},           {"RD", "drevmin.exe -w", "Diagnostics"},
        {"RI", "drevmin.exe -w", "Inventory"},      {"RP", "drevmin.exe -w", "Ping"},
    };
    for (bool newer : {true, false}) {
        const QString dir =
            newer ? "\\\\FS1\\sys\\public\\harbex\\" : "\\\\FS1\\sys\\public\\win32\\";
        for (const Expected& e : table) {
            QString expected = dir + e.program + Q + "WS042.Sales.Acme" + Q + " -n" + Q +
                               "CorpTree" + Q + " -c" + Q + e.text + Q;
            if (QString(e.code) == "RI") expected += " -d" + Q + "10.0.0.5" + Q;
            EXPECT_EQ(RemoteActions::consoleCommandLine(e.code, newer, "FS1", "WS042.Sales.Acme",
                                                        "CorpTree", "10.0.0.5"),
                      expected)
                << e.code;
        }
    }
    EXPECT_EQ(RemoteActions::consoleCommandLine("rc", true, "FS1", "W", "T", ""), "")
        << "codes compare exactly";
    EXPECT_EQ(actionCatalogue().size(), 8u);
    EXPECT_STREQ(findAction("RP")->caption, "Ping RM Agent");
}

class LauncherTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        loadAndShow();
        form->cmbServerlist->setCurrentText("FS1");
    }
    QString build(QString target, const QString& key = "KTR:\\\\CorpTree\\Acme\\Smith",
                  const QString& image = "User") {
        QString k = key, i = image;
        return BuildConsoleCommand(*form, target, k, i);
    }
};

TEST_F(LauncherTest, BuildsTheDefaultActionAndConsumesTheTarget) {
    form->consoleNewGeneration = true;
    form->defaultAction = "RC";
    QString target = "KTR:\\\\CorpTree\\Acme\\Sales\\WS042";
    QString key = "KTR:\\\\CorpTree\\Acme\\Smith", image = "User";
    form->setStatusText("Connecting ...");
    EXPECT_EQ(BuildConsoleCommand(*form, target, key, image),
              "\\\\FS1\\sys\\public\\harbex\\vorplin.exe -w\"WS042.Sales.Acme\" -n\"CorpTree\" "
              "-c\"Remote Control\"");
    EXPECT_EQ(target, "CorpTree");
    EXPECT_EQ(key, "KTR:\\\\CorpTree\\Acme\\Smith");
    EXPECT_EQ(form->statusText(), "");
}

TEST_F(LauncherTest, TrimsOnlyTheEndsOfTheNames) {
    form->defaultAction = "RP";
    EXPECT_EQ(build("KTR:\\\\ Corp Tree \\Acme\\ WS 042 "),
              "\\\\FS1\\sys\\public\\win32\\drevmin.exe -w\"WS 042 .Acme\" -n\"Corp Tree\" "
              "-c\"Ping\"");
}

TEST_F(LauncherTest, InventoryTakesTheServerAsTyped) {
    form->defaultAction = "RI";
    form->txtInvServer->setText(" inv1 ");
    EXPECT_TRUE(build("KTR:\\\\T\\O\\WS").endsWith(" -d\" inv1 \""));
    form->txtInvServer->clear();
    EXPECT_TRUE(build("KTR:\\\\T\\O\\WS").endsWith(" -d\"\""));
}

TEST_F(LauncherTest, WithoutAServerNothingIsBuiltAndTheStatusStays) {
    form->cmbServerlist->setCurrentText("");
    form->setStatusText("Connecting ...");
    QString target = "KTR:\\\\CorpTree\\Acme\\WS042";
    QString key = target, image = "Workstation";
    EXPECT_EQ(BuildConsoleCommand(*form, target, key, image), "");
    EXPECT_EQ(form->statusText(), "Connecting ...");
    RemoteActions::startConsole(*form, "");
    EXPECT_TRUE(rec.programs->started.isEmpty());
    EXPECT_TRUE(rec.messages->boxes.empty());
}

TEST_F(LauncherTest, AQuoteInsideANameIsRefused) {
    form->txtInvServer->setText("10.0.0.5");
    const std::pair<const char*, const char*> unsafe[] = {
        {"RC", "KTR:\\\\CorpTree\\Acme\\WS\" -x\"evil"},
        {"RC", "KTR:\\\\Corp\"Tree\\Acme\\WS042"},
    };
    for (const auto& [code, target] : unsafe) {
        form->defaultAction = code;
        EXPECT_EQ(build(target), "") << target;
        EXPECT_TRUE(form->statusText().contains("double quote")) << target;
    }
    form->defaultAction = "RI";
    form->txtInvServer->setText("inv\" -x\"1");
    EXPECT_EQ(build("KTR:\\\\CorpTree\\Acme\\WS042"), "");
    form->defaultAction = "RC";
    EXPECT_NE(build("KTR:\\\\CorpTree\\Acme\\WS042"), "")
        << "the inventory server only matters to Inventory";
    form->cmbServerlist->setCurrentText("FS\"1");
    EXPECT_EQ(build("KTR:\\\\CorpTree\\Acme\\WS042"), "");
}

TEST_F(LauncherTest, AMissingConsoleSendsTheAdministratorToTheServerSetting) {
    for (int number : {53, 76}) {
        rec.messages->boxes.clear();
        form->TabStrip->select(1);
        form->TabStripSettings->select(3);
        form->setStatusText("Connecting ...");
        rec.programs->failWith = number;
        RemoteActions::startConsole(*form, "\\\\FS2\\sys\\public\\win32\\vorplin.exe -w\"x\"");
        ASSERT_EQ(rec.messages->boxes.size(), 1u) << number;
        EXPECT_EQ(rec.messages->boxes[0].text,
                  "Could not find files needed to launch Harbex Remote Management!\r\n"
                  "These files are usually located on your server beneath \\sys\\public\\.\r\n"
                  "Please choose a server where you have installed Harbex files!");
        EXPECT_EQ(rec.messages->boxes[0].title, "Warning!");
        EXPECT_EQ(rec.messages->boxes[0].style, 16);
        EXPECT_EQ(form->TabStrip->selectedIndex(), 2);
        EXPECT_TRUE(form->picControl[2]->isVisible());
        EXPECT_EQ(form->TabStripSettings->selectedIndex(), 1);
        EXPECT_TRUE(form->frameS[1]->isVisible());
        EXPECT_EQ(form->statusText(), "");
    }
    EXPECT_TRUE(rec.errors->lines.isEmpty()) << "the box says it";

    rec.programs->failWith.reset();
    RemoteActions::startConsole(*form, "\\\\FS1\\sys\\public\\win32\\vorplin.exe -w\"x\"");
    ASSERT_EQ(rec.programs->styles.size(), 1u);
    EXPECT_EQ(rec.programs->styles[0], 1) << "a normal, activated window";
}

TEST_F(LauncherTest, EveryOtherStartFailureIsReportedWithItsNumber) {
    const std::pair<int, QString> failures[] = {
        {5, "Invalid procedure call or argument"},
        {70, "Permission denied"},
        {75, "Path/File access error"},
        {7, "Out of memory"},
        {999, "Application-defined or object-defined error"},
    };
    for (const auto& [number, text] : failures) {
        rec.errors->lines.clear();
        form->setStatusText("");
        rec.programs->failWith = number;
        RemoteActions::startConsole(*form, "\\\\FS1\\sys\\public\\win32\\vorplin.exe");
        const QString reason = "Console not started - " + text + QString(" (error %1)").arg(number);
        EXPECT_EQ(form->statusText(), reason);
        EXPECT_EQ(rec.errors->lines, QStringList{reason});
    }
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_EQ(form->TabStrip->selectedIndex(), 1) << "no page changes";
}

TEST_F(FormTest, TheDefaultActionMenuChangesOnlyTheCodeAndTheCaption) {
    loadAndShow();
    form->menuItem("mnuDefCH")->trigger();
    EXPECT_EQ(form->defaultAction, "CH");
    EXPECT_EQ(form->cmdRC->text(), "Chat");
    EXPECT_TRUE(rec.programs->started.isEmpty());
    EXPECT_TRUE(eventually([&] { return form->cmdRC->hasFocus(); }));
    form->menuItem("mnuDefPing")->trigger();
    EXPECT_EQ(form->cmdRC->text(), "Ping RM Agent");
    EXPECT_EQ(form->defaultAction, "RP");
}

TEST_F(FormTest, InventoryNeedsAnInventoryServer) {
    loadAndShow();
    form->defaultAction = "RD";
    form->cmdRC->setText("Diagnostics");
    form->setStatusText("something");
    form->menuItem("mnuDefInventory")->trigger();
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_EQ(rec.messages->boxes[0].text,
              "In order to invoke the Inventory function either the IP name or the IP address\r\n"
              "of the Inventory Server must be entered.");
    EXPECT_EQ(rec.messages->boxes[0].title, "Warning!");
    EXPECT_EQ(rec.messages->boxes[0].style, 16);
    EXPECT_EQ(form->TabStrip->selectedIndex(), 2);
    EXPECT_EQ(form->TabStripSettings->selectedIndex(), 1);
    EXPECT_EQ(form->statusText(), "");
    EXPECT_EQ(form->defaultAction, "RD");
    EXPECT_EQ(form->cmdRC->text(), "Diagnostics");

    form->txtInvServer->setText(" ");  // a blank counts as entered
    form->menuItem("mnuDefInventory")->trigger();
    EXPECT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_EQ(form->defaultAction, "RI");
    EXPECT_EQ(form->cmdRC->text(), "Inventory");
}
