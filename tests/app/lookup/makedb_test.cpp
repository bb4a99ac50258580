// Building the workstation database on the real directory control: a new
// file or the old lines first, the lines and the count, the refusals before
// any search (a missing folder ends the program, a write-protected folder or
// database is refused), builds that fail midway, a build from the window
// that shows its progress and can be cancelled, and unattended builds that
// end with their reason instead of a box.
#include <sys/stat.h>
#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidgetItem>
#include <chrono>
#include <functional>

#include "app/lookup/WorkstationDatabase.h"
#include "lookupfixture.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/services.h"

namespace fs = std::filesystem;
namespace pa = platform::automation;
using tvn::frmMain;
namespace pointer = platform::forms::pointer;

namespace {

const std::string kSales =
    "\"KTR:\\\\Corp\\Acme\\Sales\\WS01\",\"IPX 0000AC10:00C04F6C8C59:4003\",\"\"\r\n"
    "\"KTR:\\\\Corp\\Acme\\Sales\\WS02\",\"IPX 0000AC10:00A0C9112233:4003\",\"TCP "
    "10.0.0.7\"\r\n";

const QString kPathMessage =
    "The path specified for using the Workstation \r\nDatabase could not be found!\r\n\r\n"
    "Please check your command line settings\r\nand restart Tolvane!\r\n\r\n"
    "Tolvane will now be closed!";

class DatabaseBuildTest : public LookupTest {
protected:
    // Chooses a container in the database tree, as the administrator would.
    void chooseContext(const QString& path) {
        platform::forms::KeyedTree& tree = *form->TreeViewWS;
        QString walked = key();
        for (const QString& level : path.split('\\')) {
            tree.node(walked)->setExpanded(true);
            walked += "\\" + level;
        }
        tree.selectNode(tree.node(walked));
    }
    void build(bool append = false) {
        form->optDBfile[append ? 0 : 1]->setChecked(true);
        QTest::mouseClick(form->cmdBuildWSdb, Qt::LeftButton);
    }
    // Builds from then on read one workstation before the window handles
    // its events again: a build of several spans several turns of the loop.
    void oneWorkstationASlice() { form->databaseBuildSlice = std::chrono::milliseconds(0); }
    // The window shows no build: no progress, no Cancel, the button usable.
    void expectNoBuildShown() const {
        EXPECT_FALSE(form->databaseBuild);
        EXPECT_FALSE(form->prgBuildWSdb->isVisible());
        EXPECT_FALSE(form->cmdCancelBuildWSdb->isVisible());
        EXPECT_TRUE(form->cmdBuildWSdb->isEnabled());
        EXPECT_EQ(form->MousePointer(), pointer::kDefault);
    }
    // What is in the database folder besides the database.
    std::vector<std::string> leftOver() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dbDir))
            if (entry.path() != dbFile()) names.push_back(entry.path().filename().string());
        return names;
    }
};

}  // namespace

// ---- new file and append ----

TEST_F(DatabaseBuildTest, ANewFileListsEveryWorkstationBelowTheContextWithItsAddresses) {
    writeDatabase("\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n");
    open();
    chooseContext("Acme");
    rec.pointer->history.clear();
    build();
    EXPECT_EQ(database(), fullDatabase());
    EXPECT_EQ(form->statusText(), "Found: 5 Workstation(s)");
    EXPECT_EQ(rec.pointer->history, (std::vector<int>{pointer::kHourglass, pointer::kDefault}));
    EXPECT_TRUE(leftOver().empty());
    EXPECT_TRUE(rec.messages->boxes.empty());
}

TEST_F(DatabaseBuildTest, AppendKeepsTheOldLinesFirstAndListsAnUnchangedWorkstationAgain) {
    const std::string old = "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n";
    writeDatabase(old);
    open();
    chooseContext("Acme\\Sales");
    build(true);
    build(true);
    EXPECT_EQ(database(), old + kSales + kSales);
    build(false);
    EXPECT_EQ(database(), kSales) << "overwriting starts afresh";
}

TEST_F(DatabaseBuildTest, ExactlyOneAndNoWorkstationFound) {
    open();
    chooseContext("Acme\\Lab");
    build();
    EXPECT_EQ(database(), "\"KTR:\\\\Corp\\Acme\\Lab\\LAB01\",\"TCP 10.0.0.9\",\"\"\r\n");
    EXPECT_EQ(form->statusText(), "Found: 1 Workstation(s)");

    chooseContext("Acme\\Empty");
    build(true);
    EXPECT_EQ(form->statusText(), "Found: 0 Workstation(s)");
    EXPECT_TRUE(fs::exists(dbFile())) << "appending nothing keeps the old lines";
    EXPECT_TRUE(rec.errors->lines.isEmpty());
    build(false);
    const QString removed =
        "No workstation below " + key("Acme\\Empty") + ": the database was removed";
    EXPECT_EQ(form->statusText(), removed);
    EXPECT_EQ(rec.errors->lines, QStringList{removed}) << "a typo must not go unseen";
    EXPECT_FALSE(fs::exists(dbFile())) << "a new database of nothing is no file";
    EXPECT_TRUE(leftOver().empty());
    build(false);
    EXPECT_EQ(form->statusText(),
              "No workstation below " + key("Acme\\Empty") + ": no database was written");
    EXPECT_FALSE(form->incomplete());
}

TEST_F(DatabaseBuildTest, AFileLeftByAKilledBuildIsRemovedByTheNext) {
    testsupport::writeFile(dbDir / "Corp.lst.tvn-k1ll3d", "\"KTR:\\\\Corp\\Acme\\Sales\\WS01\",");
    open();
    chooseContext("Acme\\Sales");
    build();
    EXPECT_TRUE(leftOver().empty());
    EXPECT_EQ(database(), kSales);
}

// ---- from the window: progress and Cancel ----

TEST_F(DatabaseBuildTest, ABuildFromTheWindowShowsItsProgressWhileTheWindowStaysInUse) {
    const std::string old = "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n";
    writeDatabase(old);
    open();
    chooseContext("Acme");
    oneWorkstationASlice();
    QStringList shown;
    QObject::connect(form->prgBuildWSdb, &QProgressBar::valueChanged, form.get(), [&](int value) {
        shown << QString("%1 | %2 of %3")
                     .arg(form->statusText())
                     .arg(value)
                     .arg(form->prgBuildWSdb->maximum());
    });
    rec.pointer->history.clear();
    build();

    // The click returns with the build under way, the old database in place.
    EXPECT_EQ(form->statusText(), "Building: 1 workstation(s)");
    EXPECT_TRUE(form->prgBuildWSdb->isVisible());
    EXPECT_TRUE(form->cmdCancelBuildWSdb->isVisible());
    EXPECT_FALSE(form->cmdBuildWSdb->isEnabled()) << "one build at a time";
    EXPECT_EQ(form->MousePointer(), pointer::kArrowHourglass);
    EXPECT_EQ(database(), old);
    EXPECT_EQ(leftOver().size(), 1u) << "the new file in the making";
    // A lookup meanwhile reads the old database.
    form->lstMultiple->clearItems();
    form->ImageCombo1->setEditText("Twice");
    form->treeFlag = form->historyFlag = false;
    form->resultListFlag = false;
    form->currentContext = key();
    form->cmdRC_Click();
    EXPECT_EQ(form->lstMultiple->count(), 2);
    EXPECT_TRUE(form->databaseBuild) << "the search did not end the build";
    const std::size_t afterSearch = rec.pointer->history.size();

    QTRY_COMPARE(form->statusText(), QString("Found: 5 Workstation(s)"));
    EXPECT_EQ(shown,
              (QStringList{
                  "Building: 1 workstation(s) | 1 of 5", "Building: 2 workstation(s) | 2 of 5",
                  "Building: 3 workstation(s) | 3 of 5", "Building: 4 workstation(s) | 4 of 5"}));
    EXPECT_EQ(database(), fullDatabase());
    EXPECT_TRUE(leftOver().empty());
    expectNoBuildShown();
    ASSERT_GE(rec.pointer->history.size(), afterSearch);
    EXPECT_EQ(std::vector<int>(rec.pointer->history.begin(), rec.pointer->history.begin() + 2),
              (std::vector<int>{pointer::kHourglass, pointer::kArrowHourglass}));
    EXPECT_EQ(
        std::vector<int>(rec.pointer->history.begin() + afterSearch, rec.pointer->history.end()),
        (std::vector<int>{pointer::kArrowHourglass, pointer::kDefault}))
        << "back once the name search in between showed its own";
    EXPECT_TRUE(rec.errors->lines.isEmpty());
    EXPECT_TRUE(rec.errors->progressLines.isEmpty()) << "the window shows it";
}

TEST_F(DatabaseBuildTest, CancelOrEscapeKeepsTheOldDatabaseByteForByte) {
    // Bytes a rewrite would not keep: a lone LF, a NUL, no UTF-8, no line end.
    const char bytes[] =
        "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\nstray\n\0\xff\xfe\"x";
    const std::string old(bytes, sizeof bytes - 1);
    writeDatabase(old);
    open();
    QApplication::setActiveWindow(form.get());
    chooseContext("Acme");
    oneWorkstationASlice();
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"the Cancel button", [&] { QTest::mouseClick(form->cmdCancelBuildWSdb, Qt::LeftButton); }},
        {"Escape", [&] { QTest::keyClick(form.get(), Qt::Key_Escape); }},
    };
    for (const bool append : {false, true}) {
        for (const auto& [way, cancel] : ways) {
            SCOPED_TRACE(std::string(way) + (append ? ", append" : ", new file"));
            build(append);
            ASSERT_EQ(form->statusText(), "Building: 1 workstation(s)");
            cancel();
            EXPECT_EQ(form->statusText(), "Cancelled: the Workstation Database is as it was");
            EXPECT_TRUE(database() == old);
            EXPECT_TRUE(leftOver().empty()) << "the new file is gone";
            expectNoBuildShown();
            // Nothing more is read once the window handles its events.
            const std::size_t opened = objects.callsOf(4, "OpenEntry");
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            EXPECT_EQ(objects.callsOf(4, "OpenEntry"), opened);
            EXPECT_TRUE(database() == old);
        }
    }
    EXPECT_TRUE(rec.errors->lines.isEmpty()) << "a cancel is no failure";
    EXPECT_TRUE(rec.messages->boxes.empty());

    // Escape without a build leaves the window as it is; a build after a
    // cancelled one runs to its end.
    form->setStatusText("");
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(form->statusText(), "");
    build();
    QTRY_COMPARE(form->statusText(), QString("Found: 5 Workstation(s)"));
    EXPECT_EQ(database(), fullDatabase());
}

TEST_F(DatabaseBuildTest, ClosingTheWindowDuringABuildKeepsTheOldDatabase) {
    const std::string old = "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n";
    writeDatabase(old);
    open();
    chooseContext("Acme");
    oneWorkstationASlice();
    build();
    ASSERT_TRUE(form->databaseBuild);
    form->close();
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_FALSE(form->databaseBuild);
    EXPECT_EQ(database(), old);
    EXPECT_TRUE(leftOver().empty());
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);
}

TEST_F(DatabaseBuildTest, ABuildWithoutAWindowTellsItsProgressToTheLogAndEndsIt) {
    load("/dbpath=" + platformForm(dbDir));  // not shown
    oneWorkstationASlice();
    form->options.buildContext = key("Acme");
    form->cmdBuildWSdb_Click();
    EXPECT_FALSE(form->databaseBuild) << "done when the click returns";
    EXPECT_EQ(database(), fullDatabase());
    EXPECT_EQ(rec.errors->progressLines,
              (QStringList{"Building: 1 workstation(s)", "Building: 2 workstation(s)",
                           "Building: 3 workstation(s)", "Building: 4 workstation(s)", ""}));
    EXPECT_TRUE(rec.errors->lines.isEmpty());
    EXPECT_FALSE(form->prgBuildWSdb->isVisibleTo(form.get()));
}

// ---- refused before any search ----

TEST_F(DatabaseBuildTest, AMissingDatabaseFolderShowsThePathMessageAndEndsTheProgram) {
    dbDir /= "gone";
    ASSERT_EQ(load("/dbpath=" + platformForm(dbDir) + " /dbbuild=KTR:\\\\Corp\\Acme"),
              frmMain::LoadResult::Closed);
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_EQ(rec.messages->boxes[0].text, kPathMessage);
    EXPECT_EQ(rec.messages->boxes[0].title, "Warning!");
    EXPECT_EQ(rec.messages->boxes[0].style, 16);
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_FALSE(form->settingsLoaded) << "start-up went no further";
    EXPECT_EQ(objects.callsOf(2, "StartSearch"), 0u);

    // From the button of a running window, too.
    rec.messages->boxes.clear();
    open();
    form->dbDirectory += "\\nowhere";
    build();
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_EQ(rec.messages->boxes[0].text, kPathMessage);
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(DatabaseBuildTest, NoWriteRightsShowTheMessageAndKeepTheOldDatabase) {
    const std::string old = "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n";
    writeDatabase(old);
    open();
    chooseContext("Acme\\Sales");
    const QString expected =
        "You don't have sufficient write rights\r\nto the directory:\r\n\r\n" + form->dbDirectory;
    struct Case {
        fs::path path;
        fs::perms perms;
        bool append;
    };
    for (const Case& c :
         {Case{dbFile(), fs::perms(0444), false}, Case{dbFile(), fs::perms(0444), true},
          Case{dbDir, fs::perms(0555), false}, Case{dbDir, fs::perms(0555), true}}) {
        const fs::perms before = fs::status(c.path).permissions();
        fs::permissions(c.path, c.perms);
        rec.messages->boxes.clear();
        build(c.append);
        fs::permissions(c.path, before);
        ASSERT_EQ(rec.messages->boxes.size(), 1u) << c.path << " append " << c.append;
        EXPECT_EQ(rec.messages->boxes[0].text, expected);
        EXPECT_EQ(rec.messages->boxes[0].style, 16);
        EXPECT_EQ(form->statusText(), "");
        EXPECT_EQ(form->MousePointer(), pointer::kDefault);
        EXPECT_EQ(database(), old);
        EXPECT_TRUE(leftOver().empty());
    }
    EXPECT_EQ(objects.callsOf(2, "StartSearch"), 0u) << "no search ran";
    EXPECT_FALSE(form->isUnloaded());
}

// ---- failing midway ----

TEST_F(DatabaseBuildTest, AContextThatNamesNoContainerKeepsTheOldDatabaseAndSaysWhy) {
    writeDatabase(kSales);
    ASSERT_EQ(load("/dbpath=" + platformForm(dbDir) + " /dbbuild=KTR:\\\\Corp\\Acme\\Nope"),
              frmMain::LoadResult::Show);
    EXPECT_EQ(database(), kSales);
    EXPECT_TRUE(leftOver().empty());
    EXPECT_TRUE(form->failureReason().startsWith(
        "The Workstation Database was not built: the search below KTR:\\\\Corp\\Acme\\Nope "
        "failed: "))
        << form->failureReason().toStdString();
    EXPECT_EQ(form->statusText(), form->failureReason()) << "shown once start-up is through";
    EXPECT_TRUE(rec.messages->boxes.empty());
}

TEST_F(DatabaseBuildTest, AContextThatIsNoContainerIsRefusedAndKeepsTheOldDatabase) {
    writeDatabase(kSales);
    const QString ws = key("Acme\\Sales\\WS01");
    const QString reason = "The Workstation Database was not built: the search below " + ws +
                           " failed: " + ws + " names no container (it is a Workstation)";
    for (const QString& autoclose : {QString(), QString(" /autoclose")}) {
        const auto result = load("/dbpath=" + platformForm(dbDir) + " /dbbuild=" + ws + autoclose);
        EXPECT_EQ(result,
                  autoclose.isEmpty() ? frmMain::LoadResult::Show : frmMain::LoadResult::Failed);
        EXPECT_EQ(form->failureReason(), reason);
        EXPECT_EQ(database(), kSales);
        EXPECT_TRUE(leftOver().empty());
        EXPECT_EQ(objects.callsOf(2, "StartSearch"), 0u);
        objects.calls.clear();
    }
}

TEST(DatabaseBuild, AWorkstationThatCannotBeReadIsSkippedAndCounted) {
    fakes::Recorders rec;
    fakes::FakeObjects objects;
    objects.servers = std::vector<std::string>{"FS1"};
    const std::string ws1 = "KTR:\\\\CorpTree\\Acme\\WS1";
    objects.prepare = [&](fakes::FakeDirectory& d) {
        d.results = pa::Variant::fromStrings({ws1, "KTR:\\\\CorpTree\\Acme\\Gone"});
        d.entries[ws1] = "Workstation";
        d.values[ws1]["RJ:Network Address"] = {pa::Variant(std::string("TCP 10.0.0.1"))};
    };
    const fs::path dir = testsupport::freshDir("db");
    frmMain form(rec.services(), objects.factory());
    form.commandLine = "/dbpath=" + LookupTest::platformForm(dir);
    ASSERT_EQ(form.Form_Load(), frmMain::LoadResult::Show);
    form.cmdBuildWSdb_Click();
    EXPECT_EQ(form.statusText(), "Found: 2 Workstation(s), 1 skipped");
    EXPECT_EQ(rec.errors->lines, QStringList{"Found: 2 Workstation(s), 1 skipped"});
    EXPECT_EQ(testsupport::readFile(dir / "CorpTree.lst"),
              "\"KTR:\\\\CorpTree\\Acme\\WS1\",\"TCP 10.0.0.1\",\"\"\r\n");

    // Unattended, nobody sees the status bar: the run says it and ends with
    // the status of an incomplete database.
    fs::remove(dir / "CorpTree.lst");
    fakes::Recorders quiet;
    frmMain unattended(quiet.services(), objects.factory());
    unattended.commandLine =
        "/dbpath=" + LookupTest::platformForm(dir) + " /dbbuild=KTR:\\\\CorpTree\\Acme /autoclose";
    EXPECT_EQ(unattended.Form_Load(), frmMain::LoadResult::Incomplete);
    EXPECT_EQ(quiet.errors->lines, QStringList{"Found: 2 Workstation(s), 1 skipped"});
    EXPECT_TRUE(unattended.failureReason().isEmpty());
    EXPECT_TRUE(fs::exists(dir / "CorpTree.lst")) << "what could be read is kept";
}

TEST(DatabaseBuild, ABuildThatCouldReadNoWorkstationFailsAndKeepsTheOldDatabase) {
    fakes::Recorders rec;
    fakes::FakeObjects objects;
    objects.servers = std::vector<std::string>{"FS1"};
    objects.prepare = [&](fakes::FakeDirectory& d) {
        d.results = pa::Variant::fromStrings({"KTR:\\\\CorpTree\\Acme\\Gone"});
    };
    const fs::path dir = testsupport::freshDir("db");
    testsupport::writeFile(dir / "CorpTree.lst", "old\r\n");
    frmMain form(rec.services(), objects.factory());
    form.commandLine =
        "/dbpath=" + LookupTest::platformForm(dir) + " /dbbuild=KTR:\\\\CorpTree\\Acme /autoclose";
    EXPECT_EQ(form.Form_Load(), frmMain::LoadResult::Failed);
    EXPECT_EQ(form.failureReason(),
              "The Workstation Database was not built: none of the 1 workstation(s) below "
              "KTR:\\\\CorpTree\\Acme could be read");
    EXPECT_EQ(testsupport::readFile(dir / "CorpTree.lst"), "old\r\n");
}

// ---- unattended ----

TEST_F(DatabaseBuildTest, AnUnattendedBuildEndsWithoutABoxAndWithAReasonWhenItFails) {
    const std::string old = "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n";
    writeDatabase(old);
    const QString db = "/dbpath=" + platformForm(dbDir);
    struct Case {
        QString options;
        QString reason;
    };
    for (const Case& c : {
             Case{"/dbpath=" + platformForm(dbDir / "gone") + " /dbbuild=KTR:\\\\Corp\\Acme",
                  "The path specified for using the Workstation Database could not be found: "},
             Case{db + " /dbbuild=KTR:\\\\Corp\\Nope", "The Workstation Database was not built: "},
             Case{db + " /tree=KTR:\\\\Nope /dbbuild=KTR:\\\\Nope\\Acme",
                  "Tree KTR:\\\\Nope not found in the directory"},
         }) {
        rec.messages->boxes.clear();
        ASSERT_EQ(load(c.options + " /autoclose"), frmMain::LoadResult::Failed)
            << c.options.toStdString();
        EXPECT_TRUE(form->failureReason().startsWith(c.reason))
            << form->failureReason().toStdString();
        EXPECT_FALSE(form->failureReason().contains('\n'));
        EXPECT_TRUE(rec.messages->boxes.empty());
        EXPECT_TRUE(form->isUnloaded());
        EXPECT_EQ(database(), old);
    }

    fs::permissions(dbFile(), fs::perms(0444));
    ASSERT_EQ(load(db + " /dbbuild=KTR:\\\\Corp\\Acme /autoclose"), frmMain::LoadResult::Failed);
    fs::permissions(dbFile(), fs::perms(0644));
    EXPECT_TRUE(form->failureReason().startsWith(
        "You don't have sufficient write rights to the directory " + platformForm(dbDir)));
    EXPECT_TRUE(rec.messages->boxes.empty());

    ASSERT_EQ(load(db + " /dbbuild=KTR:\\\\Corp\\Acme\\Sales /autoclose"),
              frmMain::LoadResult::Closed);
    EXPECT_EQ(database(), kSales);
    EXPECT_TRUE(form->failureReason().isEmpty());
}

TEST(DatabaseBuild, AnUnattendedRunWithoutTheClientEndsWithItsReasonInsteadOfTheBox) {
    fakes::Recorders rec;
    fakes::FakeObjects objects;
    objects.failAt = 0;
    objects.failWith = 7;
    frmMain form(rec.services(), objects.factory());
    form.commandLine = "/dbbuild=KTR:\\\\CorpTree\\Acme /autoclose";
    EXPECT_EQ(form.Form_Load(), frmMain::LoadResult::Failed);
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_EQ(form.failureReason(), tvn::kNoDirectorySource)
        << "the reason says what to set, as the box would";
}

// ---- a context outside the run's tree ----

namespace {

// The demo directory, whose first tree is CorpTree; LabTree is the second.
class TwoTreesTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        useDirectory(testsupport::sourceDir() / "demo" / "directory.ldif");
        testsupport::writeFile(dir / "CorpTree.lst", kCorp);
    }
    frmMain::LoadResult build(const QString& options) {
        return load("/dbpath=" + LookupTest::platformForm(dir) + " " + options);
    }
    const std::string kCorp = "\"KTR:\\\\CorpTree\\Acme\\WS042\",\"TCP 10.0.0.42\",\"\"\r\n";
    fs::path dir = testsupport::freshDir("db");
};

}  // namespace

TEST_F(TwoTreesTest, AContextInAnotherTreeIsRefusedAndKeepsThisTreesDatabase) {
    ASSERT_EQ(build("/dbbuild=KTR:\\\\LabTree\\Lab"), frmMain::LoadResult::Show);
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_EQ(rec.messages->boxes[0].text,
              "The build context\r\nKTR:\\\\LabTree\\Lab\r\nis not in the tree CorpTree!\r\n\r\n"
              "Please add /tree=KTR:\\\\LabTree\r\nto build the Workstation Database of LabTree!");
    EXPECT_EQ(rec.messages->boxes[0].title, "Warning!");
    EXPECT_EQ(rec.messages->boxes[0].style, 16);
    EXPECT_EQ(objects.callsOf(2, "StartSearch"), 0u);
    EXPECT_EQ(testsupport::readFile(dir / "CorpTree.lst"), kCorp);

    rec.messages->boxes.clear();
    ASSERT_EQ(build("/dbbuild=KTR:\\\\labtree\\Lab /autoclose"), frmMain::LoadResult::Failed);
    EXPECT_EQ(form->failureReason(),
              "The Workstation Database was not built: the build context KTR:\\\\labtree\\Lab is "
              "in the tree LabTree, not in CorpTree: add /tree=KTR:\\\\LabTree to build the "
              "database of LabTree");
    EXPECT_EQ(rec.errors->lines.value(0), form->failureReason());
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_EQ(testsupport::readFile(dir / "CorpTree.lst"), kCorp);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // A tree the directory does not have is left to the search, which fails.
    ASSERT_EQ(build("/dbbuild=KTR:\\\\NoTree\\Lab /autoclose"), frmMain::LoadResult::Failed);
    EXPECT_TRUE(form->failureReason().startsWith(
        "The Workstation Database was not built: the search below KTR:\\\\NoTree\\Lab failed: "))
        << form->failureReason().toStdString();

    // With the tree named, the build writes that tree's database.
    ASSERT_EQ(build("/tree=KTR:\\\\LabTree /dbbuild=KTR:\\\\LabTree\\Lab /autoclose"),
              frmMain::LoadResult::Closed);
    EXPECT_EQ(testsupport::readFile(dir / "CorpTree.lst"), kCorp);
    const std::string lab = testsupport::readFile(dir / "LabTree.lst");
    EXPECT_EQ(std::count(lab.begin(), lab.end(), '\n'), 6) << lab;
}
