// tolvane-console: the program a site puts into its console folders under the
// names tvn starts (vorplin.exe for Remote Control and Remote View,
// drevmin.exe for the other actions, in \sys\public\harbex\ and
// \sys\public\win32\). It reads tvn's command line (-w<dotted name>
// -n<tree> -c<action> [-d<inventory server>]), finds the workstation and its
// address through the directory control that tvn reads, and runs the site's
// command for the action (consoles.conf; see config.h), or the built-in one.
//
// With $CONSOLE_LOG set it first appends one line to that file: its own name
// and every argument, separated by tabs (the tests and the demo read it).
// Every failure is a window with the reason (closed after $CONSOLE_SECONDS
// seconds when that is set) and one line on stderr, and the status is not 0;
// without a display only the line.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "outside/consoles/config.h"
#include "outside/consoles/reach.h"
#include "outside/consoles/workstation.h"

namespace {

namespace oc = outside::consoles;

// One write on an O_APPEND descriptor, so that consoles started at the same
// time never mix their lines.
bool appendToLog(const char* path, const std::string& line) {
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    return ok;
}

bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::strcmp(platform, "offscreen") == 0) return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

// The value of an option written as -x<value> (the quotes are gone by now).
std::string option(int argc, char** argv, char letter) {
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && argv[i][1] == letter) return argv[i] + 2;
    return {};
}

struct Failure {
    std::string reason;
};

class Console {
public:
    Console(std::string action, bool display) : action_(std::move(action)), display_(display) {}

    int run(const std::string& dotted, const std::string& tree, const std::string& inventory);
    int showFailure(const std::string& reason) const;

private:
    [[noreturn]] void fail(const std::string& reason) { throw Failure{reason}; }
    void autoClose(QWidget& window) const;
    void showText(const QString& title, const QString& text, bool monospace) const;
    int ping(const oc::Config& config, const oc::Workstation& ws);
    int runCommand(const std::vector<std::string>& arguments, bool outputWindow,
                   const oc::Workstation& ws);

    std::string action_;
    bool display_;
};

QString title(const std::string& action) {
    return QString::fromStdString(std::string("Tolvane console - ") + action);
}

void Console::autoClose(QWidget& window) const {
    if (const char* seconds = std::getenv("CONSOLE_SECONDS"))
        QTimer::singleShot(std::atoi(seconds) * 1000, &window, &QWidget::close);
}

int Console::showFailure(const std::string& reason) const {
    std::fprintf(stderr, "tolvane-console: %s: %s\n", action_.empty() ? "console" : action_.c_str(),
                 reason.c_str());
    if (display_) {
        QMessageBox box(QMessageBox::Warning, title(action_.empty() ? "Console" : action_),
                        QString::fromStdString(reason), QMessageBox::Close);
        autoClose(box);
        box.exec();
    }
    return 1;
}

void Console::showText(const QString& heading, const QString& text, bool monospace) const {
    QDialog window;
    window.setWindowTitle(title(action_));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(heading));
    auto* view = new QPlainTextEdit(text);
    view->setReadOnly(true);
    if (monospace) {
        // Tables of a command's output read only with their columns kept.
        view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
    }
    view->setMinimumSize(640, 320);
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    layout->addWidget(buttons);
    autoClose(window);
    window.exec();
}

std::string milliseconds(std::chrono::microseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(time.count()) / 1000.0);
    return text;
}

// One line per port: "port 22: answers (0.2 ms, 0.1 ms, 0.1 ms)" or
// "port 5900: no answer (refused)".
std::string pingReport(const std::vector<int>& ports,
                       const std::vector<std::vector<oc::Answer>>& answers, int& answering) {
    std::string out;
    answering = 0;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::string times;
        std::string why;
        int answered = 0;
        for (const oc::Answer& a : answers[i]) {
            if (a.answered) {
                ++answered;
                if (!times.empty()) times += ", ";
                times += milliseconds(a.roundTrip);
            } else if (why.find(a.why) == std::string::npos) {
                if (!why.empty()) why += ", ";
                why += a.why;
            }
        }
        out += "port ";
        out += std::to_string(ports[i]);
        if (answered == 0) {
            out += ": no answer (";
            out += why;
            out += ")\n";
            continue;
        }
        ++answering;
        out += ": answers";
        if (answered < static_cast<int>(answers[i].size())) {
            out += ' ';
            out += std::to_string(answered);
            out += " of ";
            out += std::to_string(answers[i].size());
            out += " times";
        }
        out += " (";
        out += times;
        out += ")\n";
    }
    return out;
}

int Console::ping(const oc::Config& config, const oc::Workstation& ws) {
    const auto timeout = std::chrono::milliseconds(static_cast<long>(config.pingTimeout * 1000));
    std::string heading = ws.fullName;
    heading += " at ";
    heading += ws.address;
    auto work = std::async(std::launch::async, [&] {
        return oc::pingPorts(ws.address, config.pingPorts, config.pingTries, timeout);
    });
    std::string portList;
    for (const int port : config.pingPorts) {
        if (!portList.empty()) portList += ", ";
        portList += std::to_string(port);
    }
    int answering = 0;
    if (!display_) {
        const std::string report = pingReport(config.pingPorts, work.get(), answering);
        std::printf("%s\n%s", heading.c_str(), report.c_str());
        std::fflush(stdout);
        if (answering == 0) fail(heading + " answers on none of the ports " + portList);
        return 0;
    }
    QDialog window;
    window.setWindowTitle(title(action_));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QString::fromStdString(heading)));
    auto* result = new QLabel(QString("Trying ports %1 (%2 tries, %3 s each) ...")
                                  .arg([&] {
                                      QStringList list;
                                      for (int p : config.pingPorts) list << QString::number(p);
                                      return list.join(", ");
                                  }())
                                  .arg(config.pingTries)
                                  .arg(config.pingTimeout));
    result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    result->setObjectName("result");
    layout->addWidget(result);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    layout->addWidget(buttons);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (work.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
        poll.stop();
        const std::string report = pingReport(config.pingPorts, work.get(), answering);
        std::printf("%s\n%s", heading.c_str(), report.c_str());
        std::fflush(stdout);
        result->setText(QString::fromStdString(report).trimmed());
        autoClose(window);
    });
    poll.start(50);
    window.exec();
    if (poll.isActive()) {
        // Closed before the answers came: they are still said on stdout.
        poll.stop();
        const std::string report = pingReport(config.pingPorts, work.get(), answering);
        std::printf("%s\n%s", heading.c_str(), report.c_str());
    }
    if (answering > 0) return 0;
    // The window has said it; the line is for a log.
    std::fprintf(stderr, "tolvane-console: Ping: %s answers on none of the ports %s\n",
                 heading.c_str(), portList.c_str());
    return 1;
}

// The last message a program wrote to stderr, on one line: its last line that
// is not indented by four blanks or more, with the lines that continue it.
std::string lastMessage(const std::string& errors) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : errors + "\n") {
        if (c != '\n' && c != '\r') {
            line += c;
        } else if (line.find_first_not_of(" \t") != std::string::npos) {
            lines.push_back(line);
            line.clear();
        } else {
            line.clear();
        }
    }
    std::string out;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        std::string text = it->substr(it->find_first_not_of(" \t"));
        out = out.empty() ? text : text + " " + out;
        if (it->find_first_not_of(" \t") < 4) break;
    }
    std::string collapsed;
    for (const char c : out)
        if (!(c == ' ' && !collapsed.empty() && collapsed.back() == ' ')) collapsed += c;
    return collapsed;
}

int Console::runCommand(const std::vector<std::string>& arguments, bool outputWindow,
                        const oc::Workstation& ws) {
    QProcess process;
    QStringList args;
    for (std::size_t i = 1; i < arguments.size(); ++i) args << QString::fromStdString(arguments[i]);
    process.setProgram(QString::fromStdString(arguments[0]));
    process.setArguments(args);
    process.setProcessChannelMode(outputWindow ? QProcess::SeparateChannels
                                               : QProcess::ForwardedOutputChannel);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    if (!display_) {
        // Run without a display (offscreen too), a command gets none either,
        // so that a viewer never opens on a display the console did not use.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(env);
    }
    std::string errors;
    QObject::connect(&process, &QProcess::readyReadStandardError, [&] {
        const QByteArray chunk = process.readAllStandardError();
        std::fwrite(chunk.data(), 1, static_cast<std::size_t>(chunk.size()), stderr);
        errors.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
        if (errors.size() > 8192) errors.erase(0, errors.size() - 8192);
    });
    process.start();
    if (!process.waitForStarted(10000))
        fail(std::string("The command ") + arguments[0] +
             " did not start: " + process.errorString().toStdString());
    // The viewer or terminal runs as long as the person works with it.
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const std::string last = lastMessage(errors);
        std::string why = "The command ";
        why += arguments[0];
        why += process.exitStatus() != QProcess::NormalExit
                   ? std::string(" was ended by a signal")
                   : std::string(" ended with status ") + std::to_string(process.exitCode());
        if (!last.empty()) why += std::string(": ") + last;
        fail(why);
    }
    if (outputWindow) {
        const QString text = QString::fromLocal8Bit(process.readAllStandardOutput());
        if (!display_) {
            std::fputs(text.toLocal8Bit().constData(), stdout);
        } else {
            showText(QString::fromStdString(action_ + " of " + ws.fullName + " at " + ws.address),
                     text, true);
        }
    }
    return 0;
}

// Where a program of a command is found: a path as written, or on the PATH.
bool installed(const std::string& program) {
    if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
    return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
}

// What to install when no built-in command is, and how to choose another.
std::string missingBuiltin(const std::string& action, const std::string& files) {
    std::string needs;
    if (action == "Remote Control")
        needs =
            "a VNC viewer: xtigervncviewer (Debian package tigervnc-viewer), "
            "xtightvncviewer or remmina";
    else if (action == "Remote View")
        needs =
            "a VNC viewer that can view only: xtigervncviewer (Debian package "
            "tigervnc-viewer) or xtightvncviewer";
    else if (action == "Remote Execute")
        needs = "ssh (Debian package openssh-client) and a terminal (x-terminal-emulator)";
    else if (action == "File Transfer")
        needs = "xdg-open (Debian package xdg-utils) and a file manager that opens sftp://";
    else if (action == "Inventory" || action == "Diagnostics")
        needs = "ssh (Debian package openssh-client)";
    std::string out = action;
    if (needs.empty()) {
        out += " has no command of its own. Set one as \"command = ...\" in the section [";
    } else {
        out += " needs ";
        out += needs;
        out += ". Install it, or set another program as \"command = ...\" in the section [";
    }
    out += action;
    out += "] of ";
    out += files;
    out += " (see tolvane-console(1)).";
    return out;
}

std::string joined(const std::vector<std::string>& files) {
    std::string out;
    for (const std::string& f : files) {
        if (!out.empty()) out += " or ";
        out += f;
    }
    return out;
}

int Console::run(const std::string& dotted, const std::string& tree, const std::string& inventory) {
    const auto& names = oc::actionNames();
    if (action_.empty()) fail("No action was named (-c is missing or empty).");
    if (std::find(names.begin(), names.end(), action_) == names.end())
        fail(std::string("The action \"") + action_ + "\" is not one this console knows.");
    const std::vector<std::string> files = oc::configFiles();
    oc::Config config;
    try {
        config = oc::loadConfig(files);
    } catch (const oc::ConfigError& e) {
        fail(e.what());
    }
    oc::Workstation ws;
    try {
        ws = oc::findWorkstation(dotted, tree);
    } catch (const oc::LookupError& e) {
        fail(e.what());
    }
    if (!oc::isHostName(ws.address))
        fail(std::string("The address of ") + ws.fullName + " in the directory, \"" + ws.address +
             "\", is not a host name or an IP address; it is not passed on.");

    const oc::ActionSetting setting =
        config.actions.count(action_) ? config.actions.at(action_) : oc::ActionSetting{};
    if (action_ == "Ping" && !setting.command) return ping(config, ws);

    oc::Command command;
    bool outputWindow = false;
    std::string origin;
    if (setting.command) {
        command = *setting.command;
        origin = setting.origin;
    } else {
        for (const oc::Builtin& b : oc::builtins(action_)) {
            if (!std::all_of(b.needs.begin(), b.needs.end(), installed)) continue;
            command = oc::parseCommand(b.command);
            outputWindow = b.outputWindow;
            break;
        }
        if (command.empty()) fail(missingBuiltin(action_, joined(files)));
    }
    if (setting.outputWindow) outputWindow = *setting.outputWindow;

    oc::Values values;
    values.address = ws.address;
    values.name = ws.name;
    values.dotted = dotted;
    values.tree = tree;
    values.inventoryServer = inventory;
    values.vncPort = config.vncPort;
    values.sshPort = config.sshPort;
    const std::vector<std::string> arguments = oc::expand(command, values);
    if (!installed(arguments[0]))
        fail(std::string("The command ") + arguments[0] + " of " + action_ + " (set in " + origin +
             ") is not installed.");

    int port = 0;
    if (action_ == "Remote Control" || action_ == "Remote View")
        port = config.vncPort;
    else if (action_ != "Chat" && action_ != "Ping")
        port = config.sshPort;
    if (setting.port) port = *setting.port;
    if (port > 0) {
        const oc::Answer answer = oc::connectOnce(
            ws.address, port,
            std::chrono::milliseconds(static_cast<long>(config.connectTimeout * 1000)));
        if (!answer.answered)
            fail(std::string("The workstation ") + ws.fullName + " at " + ws.address +
                 " does not answer on port " + std::to_string(port) + " (" + answer.why +
                 "), which " + action_ + " needs.");
    }
    return runCommand(arguments, outputWindow, ws);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string self = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
    std::string line = self;
    for (int i = 1; i < argc; ++i) {
        line += '\t';
        line += argv[i];
    }
    line += '\n';
    if (const char* log = std::getenv("CONSOLE_LOG")) {
        if (!appendToLog(log, line)) {
            std::fprintf(stderr, "%s: cannot append to %s\n", self.c_str(), log);
            return 2;
        }
    }
    const bool display = hasDisplay();
    std::unique_ptr<QCoreApplication> app;
    if (display)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    Console console(option(argc, argv, 'c'), display);
    try {
        return console.run(option(argc, argv, 'w'), option(argc, argv, 'n'),
                           option(argc, argv, 'd'));
    } catch (const Failure& failure) {
        return console.showFailure(failure.reason);
    }
}
