// tvn as a process when something a person asked for does not happen: a
// start-up that stops early (a directory file that is missing or malformed, a
// tree the directory does not have, a settings store that is no store or that
// another program holds, a network description that is not JSON), a console
// that cannot be started, a store held by another program once running, and a
// search that finds nothing. Each says why in the window and on standard
// error, leaves the store as it was, and the program ends on SIGTERM within a
// second, during start-up and after.
#include "tvnprocess.h"

using namespace e2e;

namespace {

const QString kLockedReason = " is in use by another program";

class TvnFailure : public TvnProcess {
protected:
    // What the driver wrote of the window into a file, once it exists.
    static QStringList windowOf(const fs::path& file) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(file); }, 30000))
            << "the window was not reported";
        if (!fs::exists(file)) return {};
        return QString::fromStdString(testsupport::readFile(file)).split('\n', Qt::SkipEmptyParts);
    }

    // Runs the driver's steps with the window left open, reports the window
    // and ends the run as a session end does.
    std::pair<QStringList, Ended> runAndEnd(const QString& steps,
                                            const QStringList& arguments = {}) {
        const fs::path file = testsupport::freshDir("window") / "window.txt";
        QProcess process;
        startDriver(process, steps + ";window=" + QString::fromStdString(file.string()) + ";stay",
                    arguments);
        const QStringList window = windowOf(file);
        return {window, endSession(process)};
    }

    static QString storeFile() {
        return QString::fromStdString(platform::registry::Store::defaultPath().string());
    }

    // The store as it must stay: the bytes of the file, read with no other
    // connection open.
    static std::string storeBytesNow() { return testsupport::readFile(storeFile().toStdString()); }

    // Holds the store as another program would (an open write transaction)
    // while `during` runs.
    static void holdingTheStore(const std::function<void()>& during) {
        platform::registry::Store holder;
        holder.atomically([&] {
            holder.setValue("Software\\Holder", "held", "1");
            during();
        });
    }
};

// Ends of the line a reason is written on: "tvn_driver: " + reason.
QString logged(const QString& reason) {
    return "tvn_driver: " + reason + "\n";
}

}  // namespace

TEST_F(TvnFailure, AStartupThatStopsSaysWhyChangesNothingAndEndsAtOnce) {
    save("Settings\\CorpTree", "Width", "9000");
    const fs::path dir = testsupport::freshDir("files");
    const fs::path malformed = dir / "malformed.ldif";
    testsupport::writeFile(malformed, "dn: dc=Broken\nno colon on this line\n");
    const fs::path network = dir / "network.json";
    testsupport::writeFile(network, "{ \"servers\": [ no json ] }\n");

    struct Case {
        std::map<QString, QString> environment;
        QStringList arguments;
        QString reason;   // the beginning of the reason
        QString caption;  // as the window's resizing sets it, with the tree when known
    };
    const QString missing = QString::fromStdString((dir / "gone.ldif").string());
    for (const Case& c : {
             Case{{{"KDDIR_SOURCE", QString::fromStdString(malformed.string())}},
                  {},
                  "Directory: " + QString::fromStdString(malformed.string()) + ":2: malformed line",
                  "Tolvane on "},
             Case{{{"KDDIR_SOURCE", missing}}, {}, "Directory: " + missing + ": ", "Tolvane on "},
             Case{{},
                  {"/tree=KTR:\\\\Nope"},
                  "Tree KTR:\\\\Nope not found in the directory",
                  "Tolvane on "},
             Case{{{"KDCLIENT_NETWORK", QString::fromStdString(network.string())}},
                  {},
                  "Start-up failed: Component can't create object: the network client could "
                  "not be started (",
                  "Tolvane on CorpTree"},
         }) {
        SCOPED_TRACE(c.reason.toStdString());
        environmentOverrides = c.environment;
        const std::string before = storeBytesNow();
        const auto [window, ended] = runAndEnd("", c.arguments);
        ASSERT_EQ(window.size(), 3u);
        EXPECT_EQ(window[0], "caption=" + c.caption);
        EXPECT_TRUE(window[1].startsWith("status=" + c.reason)) << window[1].toStdString();
        const QString reason = window[1].mid(7);
        EXPECT_TRUE(ended.standardError.contains(logged(reason)))
            << ended.standardError.toStdString();
        EXPECT_FALSE(ended.crashed);
        EXPECT_EQ(ended.exitCode, 0) << "ended as the user would end it\n"
                                     << ended.standardError.toStdString();
        EXPECT_LT(ended.milliseconds, 1000);
        EXPECT_TRUE(storeBytesNow() == before) << "the store was written";
    }
    EXPECT_EQ(section("Settings\\CorpTree"), (Pairs{{"Width", "9000"}}));
}

TEST_F(TvnFailure, AFileThatIsNoStoreIsNamedAndLeftAsItWas) {
    const fs::path foreign = testsupport::freshDir("foreign") / "registry.db";
    testsupport::writeFile(foreign, "these are somebody else's notes\n");
    environmentOverrides["REGISTRY_DB"] = QString::fromStdString(foreign.string());
    const auto [window, ended] = runAndEnd("");
    const QString reason = "Settings store: " + QString::fromStdString(foreign.string()) +
                           " is not a valid registry store";
    EXPECT_EQ(window.value(1), "status=" + reason);
    EXPECT_TRUE(ended.standardError.contains(logged(reason))) << ended.standardError.toStdString();
    EXPECT_EQ(ended.exitCode, 0) << ended.standardError.toStdString();
    EXPECT_LT(ended.milliseconds, 1000);
    EXPECT_EQ(testsupport::readFile(foreign), "these are somebody else's notes\n");
}

TEST_F(TvnFailure, AStoreHeldByAnotherProgramStopsStartupAndNothingIsSaved) {
    save("Settings\\CorpTree", "Width", "9000");
    holdingTheStore([&] {
        const auto [window, ended] = runAndEnd("");
        const QString reason = "Settings store " + storeFile() + kLockedReason;
        EXPECT_EQ(window.value(1), "status=" + reason);
        EXPECT_TRUE(ended.standardError.contains(logged(reason)))
            << ended.standardError.toStdString();
        EXPECT_EQ(ended.exitCode, 0) << ended.standardError.toStdString();
        EXPECT_LT(ended.milliseconds, 1000);
    });
    EXPECT_EQ(section("Settings\\CorpTree"), (Pairs{{"Width", "9000"}}));
    EXPECT_TRUE(section("History\\CorpTree").empty());
}

TEST_F(TvnFailure, SigtermDuringStartupEndsAtOnceWithStatus143AndSavesNothing) {
    save("Settings\\CorpTree", "Width", "9000");
    holdingTheStore([&] {
        // Start-up waits for the store; the handler is in place before it.
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(TVN_PROGRAM, QStringList{});
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return catchesTerm(process.processId()); }, 10000));
        const Ended ended = endSession(process);
        EXPECT_FALSE(ended.crashed);
        EXPECT_EQ(ended.exitCode, 143);
        EXPECT_LT(ended.milliseconds, 1000);
        EXPECT_FALSE(ended.standardError.contains(kLockedReason)) << "ended before the wait did";
    });
    EXPECT_EQ(section("Settings\\CorpTree"), (Pairs{{"Width", "9000"}}));
}

TEST_F(TvnFailure, AConsoleThatCannotBeStartedSaysWhy) {
    save("Settings\\CorpTree", "HB Server", "FS1");
    const fs::path viewer = network / "FS1" / "SYS" / "PUBLIC" / "HARBEX" / "vorplin.exe";
    const fs::path tools = network / "FS1" / "SYS" / "PUBLIC" / "HARBEX" / "drevmin.exe";

    struct Case {
        std::function<void()> prepare;
        QString reason;
    };
    for (const Case& c : {
             Case{[&] { fs::permissions(viewer, fs::perms(0644)); },
                  "Console not started - Permission denied (error 70)"},
             Case{[&] {
                      fs::remove(viewer);
                      fs::create_directory(viewer);
                  },
                  "Console not started - Path/File access error (error 75)"},
             // Inventory with an inventory server that makes the line too long.
             Case{[&] {
                      save("Settings\\CorpTree", "Remote Action", "RI");
                      save("Settings\\CorpTree", "Inventory Server", std::string(40000, 'x'));
                  },
                  "Console not started - Invalid procedure call or argument (error 5)"},
         }) {
        SCOPED_TRACE(c.reason.toStdString());
        c.prepare();
        const auto [window, ended] = runAndEnd("search=WS042");
        EXPECT_EQ(window.value(1), "status=" + c.reason);
        EXPECT_TRUE(ended.standardError.contains(logged(c.reason)))
            << ended.standardError.toStdString();
        EXPECT_EQ(ended.exitCode, 0) << ended.standardError.toStdString();
        EXPECT_LT(ended.milliseconds, 1000);
    }
    EXPECT_TRUE(consoles().isEmpty());
    EXPECT_TRUE(fs::exists(tools)) << "the other console was not touched";
}

TEST_F(TvnFailure, AWriteThatMeetsAHeldStoreOnceRunningSaysWhyAndLosesNothingElse) {
    save("Settings\\CorpTree", "HB Server", "FS1");
    const fs::path dir = testsupport::freshDir("steps");
    const QString ready = QString::fromStdString((dir / "ready").string());
    const QString go = QString::fromStdString((dir / "go").string());
    const fs::path after = dir / "after";
    QProcess process;
    startDriver(process, "window=" + ready + ";await=" + go + ";search=WS042;window=" +
                             QString::fromStdString(after.string()) + ";stay");
    windowOf(ready.toStdString());

    QStringList window;
    holdingTheStore([&] {
        testsupport::writeFile(go.toStdString(), "");
        window = windowOf(after);
    });
    const QString reason = "Settings store " + storeFile() + kLockedReason;
    EXPECT_EQ(window.value(1), "status=" + reason);
    EXPECT_TRUE(QTest::qWaitFor([&] { return consoles().size() == 1; }, 10000))
        << "the console starts all the same";

    const Ended ended = endSession(process);
    EXPECT_TRUE(ended.standardError.contains(logged(reason))) << ended.standardError.toStdString();
    EXPECT_EQ(ended.standardError.count(kLockedReason), 1);
    EXPECT_EQ(ended.exitCode, 0) << ended.standardError.toStdString();
    EXPECT_LT(ended.milliseconds, 1000);
    // The history entry that met the lock is missing; the settings are saved
    // at exit as usual.
    EXPECT_TRUE(section("History\\CorpTree").empty());
    EXPECT_EQ(section("Settings\\CorpTree").size(), 16u);
}

TEST_F(TvnFailure, ASearchThatFindsNothingEmptiesTheListAndSaysSo) {
    const auto [window, ended] = runAndEnd("search=Mil;search=Nobody");
    EXPECT_EQ(window.value(1), "status=Searching ...");
    EXPECT_EQ(window.value(2), "results=No match for Nobody | 0");
    EXPECT_EQ(ended.exitCode, 0) << ended.standardError.toStdString();
    EXPECT_LT(ended.milliseconds, 1000);
}

TEST_F(TvnFailure, SigtermDuringABuildAtStartupLeavesTheOldDatabaseAndNoOtherFile) {
    // A directory large enough that the new database is a while in the making.
    const std::string demo = testsupport::readFile(directory);
    std::string ldif = demo.substr(0, demo.find("dn: dc=CorpTree"));
    ldif += "dn: dc=Big\nobjectClass: top\nobjectClass: ktrTree\ndc: Big\n\n";
    ldif += "dn: o=Org,dc=Big\nobjectClass: top\nobjectClass: organization\no: Org\n\n";
    for (int i = 0; i < 50000; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& piece :
             {std::string("dn: cn=WS"), n, std::string(",o=Org,dc=Big\nobjectClass: top\n"),
              std::string("objectClass: ktrWorkstation\ncn: WS"), n,
              std::string("\nrjNetworkAddress: TCP 10.9."), std::to_string(i / 256),
              std::string("."), std::to_string(i % 256), std::string("\n\n")})
            ldif += piece;
    }
    directory = testsupport::freshDir("big") / "big.ldif";
    testsupport::writeFile(directory, ldif);
    const fs::path folder = testsupport::freshDir("database");
    testsupport::writeFile(folder / "Big.lst", "old\r\n");
    const auto inTheMaking = [&] {
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("Big.lst.tvn-")) return true;
        return false;
    };

    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(TVN_PROGRAM, {"/tree=KTR:\\\\Big", "/dbbuild=KTR:\\\\Big", "/autoclose",
                                "/dbpath=" + onDriveZ(folder)});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(inTheMaking, 30000)) << "the build wrote no file";
    const Ended ended = endSession(process);
    EXPECT_FALSE(ended.crashed);
    EXPECT_EQ(ended.exitCode, 143);
    EXPECT_LT(ended.milliseconds, 1000);
    EXPECT_FALSE(inTheMaking());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_EQ(testsupport::readFile(folder / "Big.lst"), "old\r\n");
}
