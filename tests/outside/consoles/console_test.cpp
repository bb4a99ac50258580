// tolvane-console started as tvn starts it, on the demo directory (as a file,
// with a few names of its own, and served by slapd) through the directory
// control registered in the test's registry. The workstation it reaches is
// this machine (the demo's LOCALHOST at 127.0.0.1) with the private VNC
// server and sshd of scripts/console-demo; the viewer shows on a private
// Xvfb. Commands that only observe (printf) stand in where the arguments a
// command gets are the point.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "platform/automation/automation.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

const fs::path kDemo = testsupport::sourceDir() / "demo" / "directory.ldif";
const QString kLocalhost = "-wLOCALHOST.IT.Acme";
// The colour of the terminal on the workstation's screen (console-demo).
const QRgb kWorkstationBlue = qRgb(0x12, 0x50, 0x7a);

// Names a dotted form cannot tell apart, one it can, and one that a shell
// would read as commands.
const char* kExtraEntries = R"(
dn: ou=Lab,ou=IT,o=Acme,dc=CorpTree
objectClass: top
objectClass: organizationalUnit
ou: Lab

dn: cn=PC,ou=Lab,ou=IT,o=Acme,dc=CorpTree
objectClass: top
objectClass: ktrWorkstation
cn: PC
rjNetworkAddress: TCP 127.0.0.1

dn: cn=PC.Lab,ou=IT,o=Acme,dc=CorpTree
objectClass: top
objectClass: ktrWorkstation
cn: PC.Lab
rjNetworkAddress: TCP 127.0.0.1

dn: cn=web.example,ou=IT,o=Acme,dc=CorpTree
objectClass: top
objectClass: ktrWorkstation
cn: web.example
rjNetworkAddress: TCP 127.0.0.1

dn: cn=Q\"$(touch PWNED)\;echo x,ou=IT,o=Acme,dc=CorpTree
objectClass: top
objectClass: ktrWorkstation
cn: Q"$(touch PWNED);echo x
rjNetworkAddress: TCP 127.0.0.1
)";

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// A port of 127.0.0.1 that nothing listens on (bound, then let go).
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Ends a console and whatever it started (its process group). A process
// that has ended has no ID, and kill(0) would end the test itself.
void endGroup(QProcess& process, int signal = SIGKILL) {
    const auto pid = static_cast<pid_t>(process.processId());
    if (pid > 0) ::kill(-pid, signal);
    process.waitForFinished(10000);
}

class ConsoleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(platform::automation::loadServer(KDDIR_LIBRARY).registerServer(),
                  platform::automation::status::Ok);
        directory_ = new fs::path(testsupport::freshDir("directory") / "directory.ldif");
        std::ofstream(*directory_) << testsupport::readFile(kDemo) << kExtraEntries;
    }
    static void TearDownTestSuite() {
        delete directory_;
        directory_ = nullptr;
    }

    void SetUp() override {
        work_ = testsupport::freshDir("console");
        conf_ = work_ / "consoles.conf";
        testsupport::writeFile(conf_, "");
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KDDIR_SOURCE",
                   QString::fromStdString(source_.empty() ? directory_->string() : source_));
        env.insert("CONSOLES_CONF", QString::fromStdString(confFiles()));
        env.insert("CONSOLE_LOG", QString::fromStdString((work_ / "console.log").string()));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        // Read by sanitizer builds only: Qt's detached threads, as for tvn.
        std::string lsan = "suppressions=";
        lsan += (testsupport::sourceDir() / "tests/e2e/lsan.supp").string();
        lsan += ":print_suppressions=0";
        env.insert("LSAN_OPTIONS", QString::fromStdString(lsan));
        if (!display_.isEmpty()) {
            env.insert("DISPLAY", display_);
            env.remove("QT_QPA_PLATFORM");
            env.insert("CONSOLE_SECONDS", "2");
        }
        return env;
    }
    virtual std::string confFiles() const { return conf_.string(); }

    void startConsole(QProcess& process, const QStringList& arguments) const {
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(QString::fromStdString(work_.string()));
        // Its own process group, so that whatever it starts ends with it.
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.start(QString::fromStdString(CONSOLE_PROGRAM), arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    Outcome console(const QStringList& arguments, int milliseconds = 60000) const {
        QProcess process;
        startConsole(process, arguments);
        Outcome run;
        if (!process.waitForFinished(milliseconds)) {
            endGroup(process);
            run.err = "(did not end in time) ";
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err += QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    // The action of tvn's command line for a workstation's dotted name.
    Outcome action(const QString& dotted, const QString& action) const {
        return console({"-w" + dotted, "-nCorpTree", "-c" + action});
    }

    static fs::path* directory_;
    fs::path work_;
    fs::path conf_;
    std::string source_;  // empty: the demo file with the extra entries
    QString display_;     // empty: no display
};

fs::path* ConsoleTest::directory_ = nullptr;

// What the command a console starts is given: one line per argument.
constexpr const char* kShowArguments = "[Chat]\ncommand = printf \"<%%s>\\n\" %a %w %d %t\n";

TEST_F(ConsoleTest, FindsTheWorkstationOfADottedNameWhoseNameHoldsDots) {
    testsupport::writeFile(conf_, kShowArguments);
    const Outcome run = action("web.example.IT.Acme", "Chat");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(),
              "<127.0.0.1>\n<web.example>\n<web.example.IT.Acme>\n<CorpTree>\n");
    // Logged first, as tvn's tests read it.
    EXPECT_EQ(testsupport::readFile(work_ / "console.log"),
              "tolvane-console\t-wweb.example.IT.Acme\t-nCorpTree\t-cChat\n");
}

// tvn starts a console on an alias of a workstation as on the workstation.
TEST_F(ConsoleTest, AnAliasReachesTheWorkstationItNames) {
    testsupport::writeFile(conf_, kShowArguments);
    const Outcome run = action("SalesDemoPC.Acme", "Chat");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "<10.101.110.140>\n<WS042>\n<SalesDemoPC.Acme>\n<CorpTree>\n");
}

TEST_F(ConsoleTest, RefusesADottedNameThatFitsTwoEntries) {
    testsupport::writeFile(conf_, kShowArguments);
    const Outcome run = action("PC.Lab.IT.Acme", "Chat");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains("fits more than one entry")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("KTR:\\\\CorpTree\\Acme\\IT\\Lab\\PC,")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("KTR:\\\\CorpTree\\Acme\\IT\\PC.Lab")) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1);
}

TEST_F(ConsoleTest, ANameWithQuotesAndShellSyntaxStaysOneArgumentAndRunsNothing) {
    testsupport::writeFile(conf_, kShowArguments);
    const QString name = "Q\"$(touch PWNED);echo x";
    const Outcome run = action(name + ".IT.Acme", "Chat");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(),
              ("<127.0.0.1>\n<" + name + ">\n<" + name + ".IT.Acme>\n<CorpTree>\n").toStdString());
    EXPECT_FALSE(fs::exists(work_ / "PWNED"));
}

// Without a display every failure is one line on stderr and status 1, and
// nothing is started.
TEST_F(ConsoleTest, FailuresWithoutADisplayAreOneLineAndAStatus) {
    const fs::path started = work_ / "started";
    testsupport::writeFile(conf_, std::string("[Remote Control]\ncommand = touch ") +
                                      started.string() +
                                      "\n[Inventory]\ncommand = tvn-no-such-program %i\n"
                                      "[Diagnostics]\ncommand = false\nport = 0\n");
    struct Case {
        QString dotted, action, says;
    } cases[] = {
        {"HH-WS001.Hamburg.Nordwerk.DE", "Remote Control",
         "The workstation KTR:\\\\CorpTree\\DE\\Nordwerk\\Hamburg\\HH-WS001 has no TCP address "
         "in the directory (only IPX 00004A01:00805FE0659D:4003)."},
        {"NOPE.IT.Acme", "Remote Control",
         "The workstation NOPE.IT.Acme is not in the directory tree CorpTree."},
        {"LOCALHOST.IT.Acme", "Inventory",
         QString::fromStdString("The command tvn-no-such-program of Inventory (set in " +
                                conf_.string() + ") is not installed.")},
        {"LOCALHOST.IT.Acme", "Diagnostics", "The command false ended with status 1"},
        {"LOCALHOST.IT.Acme", "Chatter", "The action \"Chatter\" is not one this console knows."},
    };
    for (const Case& c : cases) {
        const Outcome run = action(c.dotted, c.action);
        EXPECT_EQ(run.status, 1) << c.dotted.toStdString();
        EXPECT_EQ(run.err, "tolvane-console: " + c.action + ": " + c.says + "\n");
    }
    EXPECT_FALSE(fs::exists(started));
    // The built-in Chat says which setting it needs.
    testsupport::writeFile(conf_, "");
    const Outcome chat = action("LOCALHOST.IT.Acme", "Chat");
    EXPECT_EQ(chat.status, 1);
    EXPECT_TRUE(chat.err.contains("Set one as \"command = ...\" in the section [Chat] of " +
                                  QString::fromStdString(conf_.string())))
        << chat.err.toStdString();
}

TEST_F(ConsoleTest, AConfigurationErrorNamesTheFileAndTheLine) {
    testsupport::writeFile(conf_, "[workstation]\nssh_port = 22\n[Remote View]\ncommand = %a\n");
    const Outcome run = action("LOCALHOST.IT.Acme", "Remote View");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, QString::fromStdString(std::string("tolvane-console: Remote View: ") +
                                              conf_.string() +
                                              ":4: command: the program must be written out, "
                                              "not a placeholder\n"));
}

// The same lookup on the demo directory served by slapd, bound with the
// account the registry holds.
TEST_F(ConsoleTest, FindsTheWorkstationOnADirectoryServer) {
    const testsupport::Slapd& server = testsupport::Slapd::shared();
    source_ = server.url();
    testsupport::storeCredentials(server);
    testsupport::writeFile(conf_, kShowArguments);
    const Outcome run = action("LOCALHOST.IT.Acme", "Chat");
    testsupport::forgetCredentials();
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "<127.0.0.1>\n<LOCALHOST>\n<LOCALHOST.IT.Acme>\n<CorpTree>\n");
}

// The private servers of this machine (scripts/console-demo) and a display
// for the viewer, shared by the tests of the suite.
class ConsoleReachTest : public ConsoleTest {
protected:
    static void SetUpTestSuite() {
        ConsoleTest::SetUpTestSuite();
        servers_ = new fs::path(testsupport::freshDir("console-demo"));
        QProcess start;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CONSOLE_DEMO_DIR", QString::fromStdString(servers_->string()));
        env.insert("CONSOLE_DEMO_OWNER", QString::number(::getpid()));
        start.setProcessEnvironment(env);
        start.start(QString::fromStdString(
                        (testsupport::sourceDir() / "scripts" / "console-demo").string()),
                    {"start"});
        ASSERT_TRUE(start.waitForFinished(30000));
        ASSERT_EQ(start.exitCode(), 0) << start.readAllStandardError().toStdString();

        xvfb_ = new QProcess;
        xvfb_->start("Xvfb",
                     {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-br"});
        ASSERT_TRUE(xvfb_->waitForStarted(10000)) << "Xvfb is not installed";
        ASSERT_TRUE(xvfb_->waitForReadyRead(10000));
        localDisplay_ = ":" + QString::fromLatin1(xvfb_->readAllStandardOutput()).trimmed();
    }
    static void TearDownTestSuite() {
        QProcess stop;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CONSOLE_DEMO_DIR", QString::fromStdString(servers_->string()));
        stop.setProcessEnvironment(env);
        stop.start(QString::fromStdString(
                       (testsupport::sourceDir() / "scripts" / "console-demo").string()),
                   {"stop"});
        stop.waitForFinished(30000);
        xvfb_->terminate();
        xvfb_->waitForFinished(5000);
        delete xvfb_;
        delete servers_;
        ConsoleTest::TearDownTestSuite();
    }

    // The demo's settings for reaching the servers, with the test's over them.
    std::string confFiles() const override {
        return (*servers_ / "consoles.conf").string() + ":" + conf_.string();
    }
    static int port(const char* name) { return std::stoi(testsupport::readFile(*servers_ / name)); }
    static std::string sshConfig() { return (*servers_ / "ssh" / "config").string(); }

    // How many pixels of a screenshot of the display have the colour.
    static int pixelsOf(const QString& display, QRgb colour, const fs::path& shot) {
        QProcess import;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        import.setProcessEnvironment(env);
        import.start("import", {"-window", "root", QString::fromStdString(shot.string())});
        if (!import.waitForFinished(20000) || import.exitCode() != 0) return -1;
        const QImage image(QString::fromStdString(shot.string()));
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++count;
        return count;
    }

    static fs::path* servers_;
    static QProcess* xvfb_;
    static QString localDisplay_;
};

fs::path* ConsoleReachTest::servers_ = nullptr;
QProcess* ConsoleReachTest::xvfb_ = nullptr;
QString ConsoleReachTest::localDisplay_;

TEST_F(ConsoleReachTest, PingAnswersOnAnOpenPortAndNotOnAClosedOne) {
    const int open = port("ssh-port");
    const int closed = closedPort();
    testsupport::writeFile(conf_, std::string("[Ping]\nports = ") + std::to_string(open) + ", " +
                                      std::to_string(closed) + "\ntimeout = 1\n");
    const Outcome run = action("LOCALHOST.IT.Acme", "Ping");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    EXPECT_EQ(lines[0], "KTR:\\\\CorpTree\\Acme\\IT\\LOCALHOST at 127.0.0.1");
    EXPECT_TRUE(QRegularExpression("^port " + QString::number(open) +
                                   ": answers \\([0-9.]+ ms, [0-9.]+ ms, [0-9.]+ ms\\)$")
                    .match(lines[1])
                    .hasMatch())
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], "port " + QString::number(closed) + ": no answer (refused)");

    // No port answers: a failure.
    testsupport::writeFile(
        conf_, std::string("[Ping]\nports = ") + std::to_string(closed) + "\ntries = 1\n");
    const Outcome none = action("LOCALHOST.IT.Acme", "Ping");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.out.contains("no answer (refused)"));
    EXPECT_EQ(
        none.err.toStdString(),
        std::string(
            "tolvane-console: Ping: KTR:\\\\CorpTree\\Acme\\IT\\LOCALHOST at 127.0.0.1 answers on "
            "none of the ports ") +
            std::to_string(closed) + "\n");
}

// With a display the answers are a window (and the same lines on stdout).
TEST_F(ConsoleReachTest, PingWithADisplayShowsTheAnswersInAWindow) {
    display_ = localDisplay_;
    QProcess process;
    startConsole(process, {kLocalhost, "-nCorpTree", "-cPing"});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    QProcess xdotool;
    xdotool.setProcessEnvironment(env);
    xdotool.start("xdotool", {"search", "--sync", "--name", "Tolvane console - Ping"});
    EXPECT_TRUE(xdotool.waitForFinished(20000));
    EXPECT_FALSE(xdotool.readAllStandardOutput().trimmed().isEmpty()) << "no Ping window";
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_TRUE(out.contains("port " + QString::number(port("ssh-port")) + ": answers ("))
        << out.toStdString();
    EXPECT_TRUE(out.contains("port " + QString::number(port("vnc-port")) + ": answers ("))
        << out.toStdString();
}

TEST_F(ConsoleReachTest, RemoteExecuteRunsACommandOverSsh) {
    const fs::path marker = work_ / "ran over ssh";
    testsupport::writeFile(conf_, std::string("[Remote Execute]\ncommand = ssh -F \"") +
                                      sshConfig() + "\" -p %s %a \"echo %w > '" + marker.string() +
                                      "'\"\n");
    const Outcome run = action("LOCALHOST.IT.Acme", "Remote Execute");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(testsupport::readFile(marker), "LOCALHOST\n");
}

// The demo's own Remote Execute: a terminal on the display with an ssh
// session to the workstation, into which the test types.
TEST_F(ConsoleReachTest, RemoteExecuteOpensATerminalWithASession) {
    display_ = localDisplay_;
    const fs::path marker = work_ / "typed";
    QProcess process;
    startConsole(process, {kLocalhost, "-nCorpTree", "-cRemote Execute"});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    QProcess xdotool;
    xdotool.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    QString window;
    // The only window of the display is the terminal.
    xdotool.start("xdotool", {"search", "--sync", "--class", "xterm"});
    xdotool.waitForFinished(20000);
    window = QString::fromLatin1(xdotool.readAllStandardOutput()).trimmed().section('\n', 0, 0);
    ASSERT_FALSE(window.isEmpty()) << "no terminal window";
    // Typed until the session's shell reads it (the login takes a moment).
    const std::string command = std::string("touch '") + marker.string() + "'; exit\n";
    while (!fs::exists(marker) && clock.elapsed() < 30000) {
        xdotool.start("xdotool", {"windowfocus", "--sync", window, "type", "--delay", "5",
                                  QString::fromStdString(command)});
        xdotool.waitForFinished(10000);
        for (int i = 0; i < 30 && !fs::exists(marker); ++i) QThread::msleep(100);
    }
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    endGroup(process);
}

TEST_F(ConsoleReachTest, RemoteViewShowsTheWorkstationsScreen) {
    display_ = localDisplay_;
    const fs::path shot = work_ / "remote-view.png";
    // Nothing of the workstation's screen before the viewer.
    ASSERT_EQ(pixelsOf(display_, kWorkstationBlue, shot), 0);
    const std::string logBefore = testsupport::readFile(*servers_ / "vnc.log");
    QProcess process;
    startConsole(process, {kLocalhost, "-nCorpTree", "-cRemote View"});
    QElapsedTimer clock;
    clock.start();
    auto accepted = [&] {
        const std::string log = testsupport::readFile(*servers_ / "vnc.log");
        return log.size() > logBefore.size() && log.find("Got connection from client 127.0.0.1",
                                                         logBefore.size()) != std::string::npos;
    };
    while (!accepted() && clock.elapsed() < 20000) QThread::msleep(100);
    EXPECT_TRUE(accepted()) << "the VNC server accepted no connection";
    // The terminal on the workstation's screen (80x20 characters) shows in
    // the viewer's window.
    int blue = 0;
    while ((blue = pixelsOf(display_, kWorkstationBlue, shot)) < 50000 && clock.elapsed() < 30000)
        QThread::msleep(250);
    EXPECT_GE(blue, 50000) << "screenshot: " << shot;
    EXPECT_EQ(process.state(), QProcess::Running) << process.readAllStandardError().toStdString();
    endGroup(process, SIGTERM);
}

// With a display a failure is a window, and still the line and the status.
TEST_F(ConsoleReachTest, ARefusedConnectionIsAWindow) {
    display_ = localDisplay_;
    testsupport::writeFile(conf_, std::string("[workstation]\nvnc_port = ") +
                                      std::to_string(closedPort()) + "\nconnect_timeout = 2\n");
    QProcess process;
    startConsole(process, {kLocalhost, "-nCorpTree", "-cRemote Control"});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    QProcess xdotool;
    xdotool.setProcessEnvironment(env);
    xdotool.start("xdotool", {"search", "--sync", "--name", "Tolvane console - Remote Control"});
    EXPECT_TRUE(xdotool.waitForFinished(20000));
    EXPECT_FALSE(xdotool.readAllStandardOutput().trimmed().isEmpty());
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(err.contains("does not answer on port")) << err.toStdString();
    EXPECT_TRUE(err.contains("(refused), which Remote Control needs.")) << err.toStdString();
}

}  // namespace
