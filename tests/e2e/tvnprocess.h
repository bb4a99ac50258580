// The fixture of the tests that run tvn as a process, offscreen, on the demo
// directory and network with the real directory control and session control
// registered in the test's own registry, and the driver that scripts a run
// of it (tvn_driver.cpp). The test target defines the programs' and
// libraries' paths.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <filesystem>
#include <map>
#include <ostream>

#include "consolenetwork.h"
#include "platform/registry/settings.h"
#include "platform/registry/store.h"
#include "testsupport/testsupport.h"

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace e2e {

namespace fs = std::filesystem;
using Pairs = platform::registry::Settings::Pairs;

// Whether the process has its end-of-session handler in place (SigCgt of
// /proc/<pid>/status has the bit of SIGTERM).
inline bool catchesTerm(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask & (1ull << (SIGTERM - 1)));
    }
    return false;
}

// The platform's form of a local folder, through the unmapped drive Z:.
inline QString onDriveZ(const fs::path& local) {
    return "Z:" + QString::fromStdString(local.string()).replace('/', '\\');
}

struct Ended {
    int exitCode;
    bool crashed;
    QString standardError;
    qint64 milliseconds;
};

class TvnProcess : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* library : {KDDIR_LIBRARY, QUILLON_LIBRARY})
            ASSERT_EQ(QProcess::execute(REGSRV, {library}), 0) << library;
    }

    QProcessEnvironment environment(const QString& drive = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("KDDIR_SOURCE", QString::fromStdString(directory.string()));
        env.insert("KDCLIENT_NETWORK",
                   QString::fromStdString((testsupport::sourceDir() / "demo" / "network.json")));
        env.insert("UNC_ROOT", QString::fromStdString(network.string()));
        env.insert("CONSOLE_LOG", QString::fromStdString(consoleLog.string()));
        if (!drive.isEmpty()) env.insert("TVN_DRIVE", drive);
        // Read by sanitizer builds only.
        env.insert("LSAN_OPTIONS",
                   "suppressions=" +
                       QString::fromStdString(
                           (testsupport::sourceDir() / "tests/e2e/lsan.supp").string()) +
                       ":print_suppressions=0");
        for (const auto& [name, value] : environmentOverrides) env.insert(name, value);
        return env;
    }

    // Runs a program to its own end (the driver closes its window itself).
    void runToEnd(const char* program, const QStringList& arguments, const QString& drive = {}) {
        QProcess process;
        process.setProcessEnvironment(environment(drive));
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForFinished(60000)) << program;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }

    // Starts tvn, checks that it keeps running (a window is open), then ends
    // the session.
    void runUntilSessionEnd(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(TVN_PROGRAM, arguments);
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return catchesTerm(process.processId()); }, 10000));
        EXPECT_FALSE(process.waitForFinished(1500)) << "tvn ended although a window was open";
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGTERM), 0);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }

    // Runs tvn to its end; a file-size limit (bytes) applies to it when given.
    Ended runTvn(const QStringList& arguments, rlim_t fileSizeLimit = RLIM_INFINITY) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setChildProcessModifier([fileSizeLimit] {
            struct rlimit limit {};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = fileSizeLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        QElapsedTimer timer;
        timer.start();
        process.start(TVN_PROGRAM, arguments);
        EXPECT_TRUE(process.waitForFinished(30000)) << "tvn did not end";
        return {process.exitCode(), process.exitStatus() == QProcess::CrashExit,
                QString::fromLocal8Bit(process.readAllStandardError()), timer.elapsed()};
    }

    // Starts the driver with its steps and leaves it running.
    void startDriver(QProcess& process, const QString& drive, const QStringList& arguments = {}) {
        process.setProcessEnvironment(environment(drive));
        process.start(TVN_DRIVER, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }

    // Ends a running tvn as a session end does and measures how long it takes.
    static Ended endSession(QProcess& process) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGTERM), 0);
        EXPECT_TRUE(process.waitForFinished(30000)) << "tvn did not end";
        return {process.exitCode(), process.exitStatus() == QProcess::CrashExit,
                QString::fromLocal8Bit(process.readAllStandardError()), timer.elapsed()};
    }

    QStringList report(const QString& drive) {
        const fs::path file = testsupport::freshDir("report") / "report.txt";
        runToEnd(TVN_DRIVER, {}, drive + ";report=" + QString::fromStdString(file.string()));
        return QString::fromStdString(testsupport::readFile(file)).split('\n', Qt::SkipEmptyParts);
    }

    QStringList consoles() const {
        if (!fs::exists(consoleLog)) return {};
        return QString::fromStdString(testsupport::readFile(consoleLog))
            .split('\n', Qt::SkipEmptyParts);
    }

    static Pairs section(const std::string& name) {
        platform::registry::Store store;
        return platform::registry::Settings(store).section("Tolvane", name);
    }
    static void save(const std::string& section, const std::string& key, const std::string& value) {
        platform::registry::Store store;
        platform::registry::Settings(store).save("Tolvane", section, key, value);
    }
    static std::string storeBytes() {
        return testsupport::readFile(platform::registry::Store::defaultPath());
    }

    fs::path network = makeConsoleNetwork(CONSOLE_PROGRAM);
    fs::path consoleLog = testsupport::freshDir("consoles") / "console.log";
    fs::path directory = testsupport::sourceDir() / "demo" / "directory.ldif";
    // Variables of the runs' environment that differ from the usual ones.
    std::map<QString, QString> environmentOverrides;
};

}  // namespace e2e
