// The program's run and the end-of-session request.
#include "app/shell/Program.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "app/lookup/ReplacementFile.h"
#include "app/shell/CommandLine.h"
#include "app/shell/Paths.h"
#include "app/shell/ShellProgramStart.h"
#include "app/shell/frmMain.h"
#include "platform/process/paths.h"

namespace tvn {

namespace {

// Once the event loop runs, the signal handler only writes to a pipe that
// the loop reads.
int g_endSession[2] = {-1, -1};
volatile std::sig_atomic_t g_eventLoopRunning = 0;

void requestEndSession(int) {
    if (!g_eventLoopRunning) {
        // Start-up has no window a person could close yet and may wait on a
        // store or a directory: end at once, saving nothing, and leave no
        // half-written file behind.
        ReplacementFile::removeUncommitted();
        ::_exit(128 + SIGTERM);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_endSession[1], &byte, 1);
}

// Installed first thing, so that start-up can be ended too.
void catchEndSession() {
    if (pipe2(g_endSession, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = requestEndSession;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

void serveEndSession(QObject* owner) {
    if (g_endSession[0] < 0) return;
    auto* notifier = new QSocketNotifier(g_endSession[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char byte;
        while (read(g_endSession[0], &byte, 1) > 0) {
        }
        // After what the event loop already has queued (the window's own
        // placing once it is shown), as a user's close would come.
        QTimer::singleShot(0, [] {
            QApplication::closeAllWindows();
            QApplication::quit();
        });
    });
}

// Without a display Qt would abort while it starts. A run that shows no
// window (a database build with /autoclose) runs on the offscreen platform;
// any other says what it needs and ends with status 2.
constexpr int kNoDisplayStatus = 2;
constexpr const char* kNoDisplay =
    "a display is needed to show the window (DISPLAY or WAYLAND_DISPLAY is not set); "
    "/dbbuild= with /autoclose builds the workstation database without one";

bool g_startingGui = false;
QtMessageHandler g_qtMessages = nullptr;

void noDisplay() {
    std::fprintf(stderr, "tvn: %s\n", kNoDisplay);
    std::fflush(stderr);
}

// A display that is named but cannot be reached shows only as Qt's fatal
// message while the application is made.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && g_startingGui) {
        noDisplay();
        ::_exit(kNoDisplayStatus);
    }
    if (g_qtMessages) g_qtMessages(type, context, text);
}

bool displayNamed() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool unattendedRun(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLineOptions asked = CommandLine::parseOptions(
        CommandLine::GetCommandLine(CommandLine::processCommandLineText(arguments)));
    return !asked.buildContext.isEmpty() && asked.autoClose;
}

bool anyWindowVisible() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) return true;
    return false;
}

}  // namespace

int runProgram(int argc, char** argv, const std::function<void(frmMain&)>& running) {
    catchEndSession();
    if (!displayNamed()) {
        if (!unattendedRun(argc, argv)) {
            noDisplay();
            return kNoDisplayStatus;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    g_qtMessages = qInstallMessageHandler(onQtMessage);
    g_startingGui = true;
    QApplication app(argc, argv);
    g_startingGui = false;
    QApplication::setApplicationName("Tolvane");
    serveEndSession(&app);
    platform::process::setPathResolver(networkPathResolver());

    auto services = platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath());
    services.programs = std::make_shared<ShellProgramStart>();

    frmMain form(services);
    form.commandLine = CommandLine::processCommandLineText(QApplication::arguments());
    switch (form.Form_Load()) {
        case frmMain::LoadResult::EndProgram:
        case frmMain::LoadResult::Failed:
            return 1;
        case frmMain::LoadResult::Incomplete:
            return 3;
        case frmMain::LoadResult::Closed:
            // The help window may still be open; without one the run is over.
            if (!anyWindowVisible()) return 0;
            break;
        case frmMain::LoadResult::Show:
            form.show();
            if (running) QTimer::singleShot(0, &form, [&] { running(form); });
            break;
    }
    g_eventLoopRunning = 1;
    return QApplication::exec();
}

}  // namespace tvn
