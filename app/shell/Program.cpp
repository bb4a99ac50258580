// The program's run and the end-of-session request.
#include "app/shell/Program.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>

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

bool anyWindowVisible() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) return true;
    return false;
}

}  // namespace

int runProgram(int argc, char** argv, const std::function<void(frmMain&)>& running) {
    catchEndSession();
    QApplication app(argc, argv);
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
