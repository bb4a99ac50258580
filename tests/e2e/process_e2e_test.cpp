// tvn as a process, offscreen, on the demo directory and network with the
// real directory control and session control registered in the test's own
// registry: what a run leaves in the store, the help path that leaves it
// alone, the history from one run to the next, both console generations, and
// unattended database builds (the file they write, the reasons they end
// with, a build killed midway).
// A run is ended as a session end would end it (SIGTERM), which closes the
// windows as the user would. Two runs that write the store at the same
// moment, and runs killed while they save, leave a sound store.
#include <chrono>
#include <random>
#include <set>
#include <sstream>

#include "savekill.h"
#include "tvnprocess.h"

using namespace e2e;

namespace {

const QString kWS042 = "KTR:\\\\CorpTree\\Acme\\Sales\\WS042";

// The database a build below contextDn writes for an LDIF directory: each
// workstation below it in the directory's order (parents before children,
// children in the order of the file), with its first two addresses.
std::string expectedDatabase(const fs::path& ldif, const std::string& contextDn) {
    struct Entry {
        std::string dn;
        bool workstation = false;
        std::vector<std::string> addresses;
    };
    std::string text = testsupport::readFile(ldif);
    for (size_t at; (at = text.find("\n ")) != std::string::npos;) text.erase(at, 2);
    std::vector<Entry> entries;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("dn: "))
            entries.push_back({line.substr(4), false, {}});
        else if (entries.empty())
            continue;
        else if (line == "objectClass: ktrWorkstation")
            entries.back().workstation = true;
        else if (line.starts_with("rjNetworkAddress: "))
            entries.back().addresses.push_back(line.substr(18));
    }
    std::map<std::string, std::vector<const Entry*>> children;
    for (const Entry& e : entries)
        if (const size_t comma = e.dn.find(','); comma != std::string::npos)
            children[e.dn.substr(comma + 1)].push_back(&e);
    // cn=WS1,ou=Sales,o=Acme,dc=Tree is KTR:\\Tree\Acme\Sales\WS1.
    auto fullName = [](const std::string& dn) {
        std::vector<std::string> values;
        std::istringstream parts(dn);
        for (std::string part; std::getline(parts, part, ',');)
            values.push_back(part.substr(part.find('=') + 1));
        std::string name = "KTR:\\\\" + values.back();
        for (size_t i = values.size() - 1; i-- > 0;) name += "\\" + values[i];
        return name;
    };
    std::string out;
    std::function<void(const std::string&)> walk = [&](const std::string& dn) {
        for (const Entry* e : children[dn]) {
            if (e->workstation) {
                const auto address = [&](size_t i) {
                    return i < e->addresses.size() ? e->addresses[i] : std::string();
                };
                // Appended piece by piece: g++ 12 at -O3 takes the
                // concatenated temporaries for overlapping copies.
                for (const std::string& piece :
                     {std::string("\""), fullName(e->dn), std::string("\",\""), address(0),
                      std::string("\",\""), address(1), std::string("\"\r\n")})
                    out += piece;
            }
            walk(e->dn);
        }
    };
    walk(contextDn);
    return out;
}

}  // namespace

TEST_F(TvnProcess, AFirstRunWritesTheDefaultSettingsAtExit) {
    runUntilSessionEnd({});
    const Pairs settings = section("Settings\\CorpTree");
    std::map<std::string, std::string> values(settings.begin(), settings.end());
    EXPECT_EQ(values.size(), 16u);
    for (const auto& [key, expected] : std::map<std::string, double>{{"Left", 1000},
                                                                     {"Top", 1000},
                                                                     {"Height", 7000},
                                                                     {"Width", 8000},
                                                                     {"SplitV", 3000},
                                                                     {"SplitH", 5000},
                                                                     {"KTRColumn1", 500},
                                                                     {"KTRColumn2", 500}})
        EXPECT_NEAR(std::stod(values[key]), expected, 15) << key;
    EXPECT_EQ(values["Search Subordinates"], "0");
    EXPECT_EQ(values["Search for Aliases"], "1");
    EXPECT_EQ(values["Append to Existing DB"], "1");
    EXPECT_EQ(values["Remote Action"], "RC");
    EXPECT_EQ(values["Current Context"], "KTR:\\\\CorpTree");
    EXPECT_EQ(values["SearchAnchor"], "");
    EXPECT_EQ(values["Inventory Server"], "");
    EXPECT_EQ(values["HB Server"], "");
}

TEST_F(TvnProcess, HelpLeavesTheStoreByteForByteUnchanged) {
    save("Settings\\CorpTree", "Width", "9000");
    const std::string before = storeBytes();
    runUntilSessionEnd({"/?"});
    EXPECT_TRUE(storeBytes() == before) << "the store was written";
    EXPECT_EQ(section("Settings\\CorpTree"), (Pairs{{"Width", "9000"}}));
}

TEST_F(TvnProcess, AnUnattendedBuildWritesTheDatabaseOfTheContextAndSavesNothing) {
    const fs::path folder = testsupport::freshDir("database");
    const std::string before = storeBytes();
    runToEnd(TVN_PROGRAM,
             {"/dbbuild=KTR:\\\\CorpTree\\Acme", "/autoclose", "/dbpath=" + onDriveZ(folder)});
    EXPECT_TRUE(storeBytes() == before);
    const std::string expected = expectedDatabase(directory, "o=Acme,dc=CorpTree");
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 152);
    EXPECT_TRUE(testsupport::readFile(folder / "CorpTree.lst") == expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(TvnProcess, AnUnattendedBuildThatFailsEndsAtOnceWithItsReason) {
    const fs::path folder = testsupport::freshDir("database");
    testsupport::writeFile(folder / "CorpTree.lst", "old\r\n");
    const QString dbpath = "/dbpath=" + onDriveZ(folder);
    const std::pair<QStringList, QString> cases[] = {
        {{"/dbbuild=KTR:\\\\NoTree\\Acme", "/autoclose", dbpath},
         "tvn: The Workstation Database was not built: the search below "
         "KTR:\\\\NoTree\\Acme failed: "},
        {{"/tree=KTR:\\\\NoTree", "/dbbuild=KTR:\\\\NoTree", "/autoclose", dbpath},
         "tvn: Tree KTR:\\\\NoTree not found in the directory\n"},
        {{"/dbbuild=KTR:\\\\CorpTree", "/autoclose", "/dbpath=" + onDriveZ(folder / "gone")},
         "tvn: The path specified for using the Workstation Database could not be found: "},
    };
    for (const auto& [arguments, reason] : cases) {
        const Ended run = runTvn(arguments);
        EXPECT_FALSE(run.crashed);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.standardError.contains(reason)) << run.standardError.toStdString();
        EXPECT_LT(run.milliseconds, 10000);
    }
    EXPECT_EQ(testsupport::readFile(folder / "CorpTree.lst"), "old\r\n");

    // Without a directory source the client message is not shown either;
    // the reason names what to set.
    environmentOverrides["KDDIR_SOURCE"] = "";
    const Ended run = runTvn({"/dbbuild=KTR:\\\\CorpTree", "/autoclose", dbpath});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.standardError.contains(
        "tvn: no directory source: set KDDIR_SOURCE or the registry value "
        "Software\\KDDirLib\\KDDirCtrl\\Source"))
        << run.standardError.toStdString();
    // All four places: the environment, the user's store, the machine's, ldap.conf.
    EXPECT_TRUE(run.standardError.contains("regvalue --machine")) << run.standardError.toStdString();
    EXPECT_TRUE(run.standardError.contains("URI in ldap.conf")) << run.standardError.toStdString();
}

TEST_F(TvnProcess, ABuildKilledMidwayLeavesTheOldDatabaseAndTheNextCleansUp) {
    const fs::path folder = testsupport::freshDir("database");
    testsupport::writeFile(folder / "CorpTree.lst", "old\r\n");
    const QStringList build = {"/dbbuild=KTR:\\\\CorpTree", "/autoclose",
                               "/dbpath=" + onDriveZ(folder)};
    // The file-size limit ends the process while it writes the new file.
    const Ended killed = runTvn(build, 4096);
    EXPECT_TRUE(killed.crashed || killed.exitCode != 0);
    EXPECT_EQ(testsupport::readFile(folder / "CorpTree.lst"), "old\r\n");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    ASSERT_EQ(left.size(), 2u) << "the killed build's file";
    EXPECT_TRUE(left[1].starts_with("CorpTree.lst.tvn-")) << left[1];

    const Ended next = runTvn(build);
    EXPECT_EQ(next.exitCode, 0) << next.standardError.toStdString();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_TRUE(testsupport::readFile(folder / "CorpTree.lst") ==
                expectedDatabase(directory, "dc=CorpTree"));
}

TEST_F(TvnProcess, TheNextRunReadsTheDirectoryFromItsSnapshotInTheUsersCacheFolder) {
    // A copy dated back: a file that has just changed is not snapshotted.
    const fs::path copy = testsupport::freshDir("directory") / "directory.ldif";
    fs::copy_file(directory, copy);
    fs::last_write_time(copy, fs::file_time_type::clock::now() - std::chrono::hours(1));
    directory = copy;
    const fs::path folder = testsupport::home() / "cache" / "tolvane" / "directory";
    const auto snapshots = [&folder] {
        return fs::is_directory(folder)
                   ? std::distance(fs::directory_iterator(folder), fs::directory_iterator())
                   : 0;
    };
    const auto before = snapshots();
    const QStringList parsed = report("");
    EXPECT_EQ(snapshots(), before + 1);
    EXPECT_EQ(report(""), parsed);
    EXPECT_EQ(snapshots(), before + 1);
}

TEST_F(TvnProcess, TheHistoryWrittenByOneRunIsListedByTheNext) {
    save("Settings\\CorpTree", "HB Server", "FS1");
    EXPECT_EQ(report("search=WS042"),
              (QStringList{"tree=CorpTree", "generation=newer", "defaultAction=RC",
                           "cmdRC=Remote Control", "Command1=shown", "txtInvServer=shown",
                           "actions=mnuRC,mnuRV,mnuRe,mnuFT,mnuCH,mnuRD,mnuRI,mnuRP",
                           "history=" + kWS042 + " | WS042.Sales.Acme | Workstation"}));
    // The console is a process of its own and writes its log in its own time.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !consoles().isEmpty(); }, 10000));
    EXPECT_EQ(consoles(),
              QStringList{"vorplin.exe\t-wWS042.Sales.Acme\t-nCorpTree\t-cRemote Control"});
    EXPECT_EQ(section("History\\CorpTree"), (Pairs{{kWS042.toStdString() + ";Workstation", ""}}));

    const QStringList next = report("");
    EXPECT_TRUE(next.contains("history=" + kWS042 + " | WS042.Sales.Acme | Workstation"))
        << next.join('\n').toStdString();
    EXPECT_EQ(section("History\\CorpTree").size(), 1u);
}

TEST_F(TvnProcess, TheOlderConsoleDirectoryOffersRemoteControlOnly) {
    directory = testsupport::sourceDir() / "demo" / "directory-oldconsole.ldif";
    save("Settings\\CorpTree", "HB Server", "FS1");
    save("Settings\\CorpTree", "Remote Action", "CH");
    // Only the older consoles' folder holds programs now.
    fs::remove_all(network / "FS1" / "SYS" / "PUBLIC" / "HARBEX");
    EXPECT_EQ(
        report("search=WS042"),
        (QStringList{"tree=CorpTree", "generation=older", "defaultAction=RC",
                     "cmdRC=Remote Control", "Command1=hidden", "txtInvServer=hidden",
                     "actions=mnuRC", "history=" + kWS042 + " | WS042.Sales.Acme | Workstation"}));
    // The console is a process of its own and writes its log in its own time.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !consoles().isEmpty(); }, 10000));
    EXPECT_EQ(consoles(),
              QStringList{"vorplin.exe\t-wWS042.Sales.Acme\t-nCorpTree\t-cRemote Control"});
    EXPECT_EQ(section("Settings\\CorpTree").size(), 16u);
    platform::registry::Store store;
    EXPECT_EQ(
        store.value("Software\\Application Settings\\Tolvane\\Settings\\CorpTree", "Remote Action"),
        "RC");
}

TEST_F(TvnProcess, TwoRunsAddingHistoryAndSavingAtOnceLoseNothing) {
    save("Settings\\CorpTree", "HB Server", "FS1");
    const fs::path sync = testsupport::freshDir("sync");
    const QString gate = QString::fromStdString((sync / "gate").string());
    const std::vector<std::vector<std::string>> names = {
        {"WS030", "WS031", "WS032", "WS033", "WS034", "WS035", "WS036", "WS037", "WS038", "WS039"},
        {"WS070", "WS071", "WS072", "WS073", "WS074", "WS075", "WS076", "WS077", "WS078", "WS079"}};
    std::vector<std::unique_ptr<QProcess>> runs;
    for (std::size_t i = 0; i < names.size(); ++i) {
        // Each run searches (which adds to the history) and saves its
        // settings in turn, then ends (and saves again).
        QString drive = "ready=" + QString::fromStdString((sync / std::to_string(i)).string()) +
                        ";wait=" + gate;
        for (const std::string& name : names[i])
            drive += ";search=" + QString::fromStdString(name) + ";save";
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(environment(drive));
        runs.back()->start(TVN_DRIVER, {});
    }
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return fs::exists(sync / "0") && fs::exists(sync / "1"); }, 60000));
    testsupport::writeFile(sync / "gate", "");
    for (auto& run : runs) {
        ASSERT_TRUE(run->waitForFinished(120000));
        EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().toStdString();
    }

    EXPECT_EQ(savekill::integrity(platform::registry::Store::defaultPath()), "ok");
    std::set<std::string> history;
    for (const auto& [key, value] : section("History\\CorpTree")) history.insert(key);
    for (const auto& list : names) {
        for (const std::string& name : list) {
            const std::string key = "KTR:\\\\CorpTree\\Acme\\" +
                                    std::string(name < "WS070" ? "Sales" : "Marketing") + "\\" +
                                    name + ";Workstation";
            EXPECT_TRUE(history.count(key)) << key;
        }
    }
    EXPECT_EQ(history.size(), 20u);
    EXPECT_EQ(section("Settings\\CorpTree").size(), 16u);
}

TEST_F(TvnProcess, ARunKilledWhileSavingLeavesASoundStoreWithWholeValues) {
    std::mt19937 random(std::random_device{}());
    const fs::path ready = testsupport::freshDir("ready") / "saving";
    for (int kill = 0; kill < 5; ++kill) {
        const std::chrono::milliseconds delay(std::uniform_int_distribution<int>(0, 150)(random));
        ASSERT_EQ(savekill::killWhileSaving(TVN_DRIVER, environment(), ready, delay), "");
        ASSERT_EQ(savekill::integrity(platform::registry::Store::defaultPath()), "ok")
            << "kill " << kill << " after " << delay.count() << " ms";
        const savekill::Saved saved = savekill::savedValues("Settings\\CorpTree");
        ASSERT_EQ(saved.problem, "") << "kill " << kill << " after " << delay.count() << " ms";
        EXPECT_GE(saved.oldest, 1);
    }
    // The next run starts on what the killed one left.
    EXPECT_TRUE(report("").contains("tree=CorpTree"));
}
