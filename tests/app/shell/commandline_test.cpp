// The command line: splitting at "/", the five options, the tree given to the
// directory controls, the paths of the platform's form, and the help path
// with its window.
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/lookup/WorkstationDatabase.h"
#include "app/shell/CommandLine.h"
#include "app/shell/Paths.h"
#include "app/shell/frmHelpWindow.h"
#include "formfixture.h"
#include "platform/forms/twips.h"
#include "testsupport/testsupport.h"

using tvn::frmMain;
using tvn::CommandLine::GetCommandLine;
using tvn::CommandLine::parseOptions;
using Args = std::vector<QString>;

namespace {
tvn::CommandLineOptions optionsOf(const QString& text) {
    return parseOptions(GetCommandLine(text));
}
}  // namespace

TEST(CommandLineSplit, OnlySlashesSeparateAndBlanksStayInTheArguments) {
    EXPECT_EQ(GetCommandLine("/tree=KTR:\\\\MyTree /dbpath=t:\\tvn\\"),
              (Args{"", "tree=KTR:\\\\MyTree ", "dbpath=t:\\tvn\\"}));
    EXPECT_EQ(GetCommandLine("tree=a b\t\"c\"/?"), (Args{"", "tree=a b\t\"c\"", "?"}))
        << "text before the first slash is an argument; tabs and quotes are ordinary";
    EXPECT_EQ(GetCommandLine("//a///b/"), (Args{"", "a", "b"})) << "no empty arguments";
    EXPECT_EQ(GetCommandLine(""), Args{""});
    EXPECT_EQ(GetCommandLine("/dbpath=/home/me"), (Args{"", "dbpath=", "home", "me"}));
}

TEST(CommandLineSplit, ArgumentsBeyondTheMaximumAreIgnored) {
    QString eleven;
    for (int i = 1; i <= 11; ++i) eleven += QString("/a%1").arg(i);
    const Args ten = GetCommandLine(eleven);
    ASSERT_EQ(ten.size(), 11u);
    EXPECT_EQ(ten[10], "a10");
    EXPECT_FALSE(optionsOf(eleven + "/?").help) << "an eleventh argument is not read";
    EXPECT_EQ(GetCommandLine("/a/b/c", 2), (Args{"", "a", "b"}));
    EXPECT_EQ(GetCommandLine("/a", 0), Args{""});
}

TEST(CommandLineOptions, ValuesAreTrimmedOfBlanksAndOneTrailingBackslash) {
    const auto options = optionsOf("/tree=KTR:\\\\MyTree /dbpath=t:\\tvn\\");
    EXPECT_EQ(options.tree, "KTR:\\\\MyTree");
    EXPECT_EQ(options.dbPath, "t:\\tvn");
    EXPECT_EQ(optionsOf("/dbbuild=KTR:\\\\MyTree\\MyOrg\\").buildContext, "KTR:\\\\MyTree\\MyOrg");
    EXPECT_EQ(optionsOf("/dbpath=  \\\\FS1\\vol3\\tvn\\\\  ").dbPath, "\\\\FS1\\vol3\\tvn\\")
        << "one backslash only";
    EXPECT_EQ(optionsOf("/tree=\tT\t").tree, "\tT\t") << "only blanks are trimmed";
    EXPECT_FALSE(optionsOf("/tree=a").autoClose);
    EXPECT_FALSE(optionsOf("/tree=a").help);
}

TEST(CommandLineOptions, KeysAreFoundAnywhereIgnoringCase) {
    EXPECT_EQ(optionsOf("/TREE=KTR:\\\\A").tree, "KTR:\\\\A");
    EXPECT_EQ(optionsOf("tree=KTR:\\\\A /DbPath=x").dbPath, "x") << "no leading slash";
    EXPECT_EQ(optionsOf("tree=KTR:\\\\A /DbPath=x").tree, "KTR:\\\\A");
    EXPECT_EQ(optionsOf("/xtree=abc").tree, "=abc") << "the key's length is cut from the start";
    EXPECT_TRUE(optionsOf("/help?").help);
    EXPECT_TRUE(optionsOf("/AutoClose").autoClose);
    EXPECT_EQ(optionsOf("/tree=a/tree=b").tree, "b") << "a later argument replaces the value";

    const auto ignored = optionsOf("/dbbuild = x/path=x/trees");
    EXPECT_TRUE(ignored.buildContext.isEmpty()) << "\"dbbuild =\" is not the key";
    EXPECT_TRUE(ignored.tree.isEmpty());
    EXPECT_TRUE(ignored.dbPath.isEmpty());
}

TEST(CommandLineOptions, TheProcessTextIsTheArgumentsJoinedByBlanks) {
    EXPECT_EQ(tvn::CommandLine::processCommandLineText({"tvn", "/tree=KTR:\\\\T", "/?"}),
              "/tree=KTR:\\\\T /?");
    EXPECT_EQ(tvn::CommandLine::processCommandLineText({"tvn"}), "");
}

TEST(PlatformPaths, VolumesAndDrivesLeadWhereTheNetworkSays) {
    namespace fs = std::filesystem;
    const fs::path root = testsupport::freshDir("network");
    fs::create_directories(root / "FS1" / "SYS" / "PUBLIC");
    fs::create_directories(root / "LONE" / "VOL3");
    testsupport::ScopedEnv unc("UNC_ROOT", root.string());
    testsupport::ScopedEnv network("KDCLIENT_NETWORK",
                                   (testsupport::sourceDir() / "demo" / "network.json").string());
    platform::process::setPathResolver(tvn::networkPathResolver());

    EXPECT_EQ(tvn::localPath("\\\\fs1\\sys\\public\\x.exe"),
              root / "FS1" / "SYS" / "PUBLIC" / "x.exe");
    EXPECT_EQ(tvn::localPath("\\\\LONE\\vol3\\tvn"), root / "LONE" / "VOL3" / "tvn")
        << "a volume the client does not know is looked for below the network root";
    EXPECT_EQ(tvn::localPath("z:\\home\\me\\tvn\\CorpTree.lst"), "/home/me/tvn/CorpTree.lst");
    EXPECT_EQ(tvn::localPath("\\home\\me\\tvn"), "/home/me/tvn");
    EXPECT_THROW(tvn::localPath("t:\\tvn"), platform::process::PathError) << "t: is not mapped";
    platform::process::setPathResolver(nullptr);
}

TEST(PlatformPaths, TheHelpFileIsBesideTheProgramOrInTheInstalledDataFolder) {
    namespace fs = std::filesystem;
    const fs::path prefix = testsupport::freshDir("prefix");
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "tolvane");
    const QString bin = QString::fromStdString((prefix / "bin").string());
    EXPECT_EQ(tvn::helpFilePath(bin).toStdString(), (prefix / "bin" / "Tvn.hlp").string())
        << "neither exists: beside the program, so the viewer names that file";
    testsupport::writeFile(prefix / "share" / "tolvane" / "Tvn.hlp", "installed");
    EXPECT_EQ(tvn::helpFilePath(bin).toStdString(),
              (prefix / "share" / "tolvane" / "Tvn.hlp").string());
    testsupport::writeFile(prefix / "bin" / "Tvn.hlp", "built");
    EXPECT_EQ(tvn::helpFilePath(bin).toStdString(), (prefix / "bin" / "Tvn.hlp").string());
}

TEST_F(FormTest, TheTreeGoesToTheFiveControlsAndNamesTheRun) {
    ASSERT_EQ(load("/tree=KTR:\\\\LabTree /dbpath=z:\\home\\me\\tvn\\"), frmMain::LoadResult::Show);
    // KDDirRCTree, KDDirUser, KDDirWSdb, KDDirWS, KDDirWSAddress were created
    // in this order; the tree is written RCTree, User, WS, WSdb, WSAddress.
    // Then the two trees start from the root: KDDirWS, KDDirRCTree.
    std::vector<std::pair<size_t, std::string>> expected;
    for (size_t index : {0u, 1u, 3u, 2u, 4u, 3u, 0u})
        expected.emplace_back(index, "KTR:\\\\LabTree");
    EXPECT_EQ(objects.contextWrites, expected);
    EXPECT_EQ(form->treeName, "LabTree");
    EXPECT_EQ(form->windowTitle(), "Tolvane on LabTree");
    EXPECT_EQ(form->dbDirectory, "z:\\home\\me\\tvn");
    EXPECT_EQ(tvn::localPath(tvn::databaseFileName(*form)), "/home/me/tvn/LabTree.lst");
}

TEST_F(FormTest, WithoutOptionsTheControlsChooseTheTreeAndTheProgramFolderHoldsTheDatabase) {
    ASSERT_EQ(load(), frmMain::LoadResult::Show);
    // Only the trees write a context: the root of the control's own tree.
    EXPECT_EQ(objects.contextWrites, (std::vector<std::pair<size_t, std::string>>{
                                         {3, "KTR:\\\\CorpTree"}, {0, "KTR:\\\\CorpTree"}}));
    EXPECT_EQ(form->treeName, "CorpTree") << "the tree of the control's default context";
    EXPECT_EQ(form->dbDirectory, QCoreApplication::applicationDirPath());
    EXPECT_FALSE(form->HelpWindow);
}

TEST_F(FormTest, AutoCloseWithoutABuildContextChangesNothing) {
    ASSERT_EQ(load("/autoclose"), frmMain::LoadResult::Show);
    EXPECT_TRUE(form->settingsLoaded);
}

TEST_F(FormTest, ABuildWithAutoCloseEndsTheRunWithoutSavingSettings) {
    store("Settings\\CorpTree", "Width", "9000");
    ASSERT_EQ(load("/dbbuild=KTR:\\\\CorpTree\\Acme /autoclose"), frmMain::LoadResult::Closed);
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_EQ(form->options.buildContext, "KTR:\\\\CorpTree\\Acme");
    EXPECT_EQ(storedSection("Settings\\CorpTree"),
              (platform::registry::Settings::Pairs{{"Width", "9000"}}));
}

TEST_F(FormTest, HelpClosesTheMainWindowAndLeavesTheSettingsAlone) {
    store("Settings\\CorpTree", "Left", "2000");
    ASSERT_EQ(load("/?"), frmMain::LoadResult::Closed);
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->settingsLoaded);
    EXPECT_EQ(form->windowTitle(), "Tolvane on CorpTree") << "the steps before help ran";
    ASSERT_TRUE(form->HelpWindow);
    EXPECT_TRUE(form->HelpWindow->isVisible());
    EXPECT_FALSE(form->HelpWindow->isModal());
    EXPECT_EQ(storedSection("Settings\\CorpTree"),
              (platform::registry::Settings::Pairs{{"Left", "2000"}}));

    QTest::mouseClick(form->HelpWindow->cmdOK, Qt::LeftButton);
    EXPECT_FALSE(form->HelpWindow->isVisible());
}

TEST_F(FormTest, EscapeClosesTheHelpWindowAsOkDoes) {
    ASSERT_EQ(load("/?"), frmMain::LoadResult::Closed);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->HelpWindow.get()));
    QApplication::setActiveWindow(form->HelpWindow.get());
    QTest::keyClick(form->HelpWindow.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->HelpWindow->isVisible());
}

TEST_F(FormTest, CtrlQClosesTheMainWindowAsItsCloseBoxDoesAndSavesTheSettings) {
    loadAndShow();
    QApplication::setActiveWindow(form.get());
    form->txtInvServer->setText("inv.example");
    QTest::keyClick(form->txtInvServer, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored("Settings\\CorpTree", "Inventory Server"), "inv.example")
        << "the shutdown ran";
}

TEST(HelpWindow, ShowsEveryLineWithItsHeadingsInBold) {
    tvn::frmHelpWindow help;
    EXPECT_EQ(help.windowTitle(), "Tolvane - Command line options");
    EXPECT_EQ(help.size(), QSize(669, 546)) << "10035 by 8190 twips";
    EXPECT_EQ(help.font().family(), "MS Sans Serif");
    EXPECT_DOUBLE_EQ(help.font().pointSizeF(), 8.25);

    // Headings are bold; text blocks keep CR LF between their lines and end with one.
    const bool bold[] = {true, true,  true, false, true, false,
                         true, false, true, false, true, false};
    EXPECT_EQ(help.lblHelp[2]->text(),
              "tvn [ /tree=<tree name> ] [ /dbpath=<path> ]  [ [ /dbbuild = <context> ] [ "
              "/autoclose ] ]  [ /? ]");
    EXPECT_TRUE(
        help.lblHelp[4]->text().endsWith("\r\n\r\nExample:\r\ntvn /tree=KTR:\\\\MyTree\r\n"));
    EXPECT_EQ(help.lblHelp[12]->text(), "Brings up this help.");
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    int previousBottom = 0;
    for (int i = 1; i <= 12; ++i) {
        const QLabel* label = help.lblHelp[i];
        EXPECT_EQ(label->font().bold(), bold[i - 1]) << "line " << i;
        EXPECT_EQ(label->text().endsWith("\r\n"), !bold[i - 1] && i != 12) << "line " << i;
        EXPECT_EQ(label->x(), 10) << "150 twips";
        EXPECT_EQ(label->width(), 649) << "9735 twips";
        EXPECT_GE(label->y(), previousBottom) << "top to bottom, line " << i;
        previousBottom = label->y() + label->height();
    }
    EXPECT_EQ(help.cmdOK->text(), "OK");
    EXPECT_EQ(help.cmdOK->size(), QSize(95, 29)) << "1425 by 435 twips";
    EXPECT_LE(previousBottom, help.cmdOK->y()) << "the button lies below the texts";
    EXPECT_LE(help.cmdOK->geometry().bottom(), help.height());
    EXPECT_NEAR(help.cmdOK->geometry().center().x(), help.width() / 2, 1);

    help.cmdOK_Click();
    EXPECT_FALSE(help.isVisible());
}
