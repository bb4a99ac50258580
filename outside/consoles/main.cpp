// Stand-in for the two Harbex console programs. One program is installed
// under both names (vorplin.exe for Remote Control and Remote View,
// drevmin.exe for the other actions). It appends one line to the file named
// by $CONSOLE_LOG: its own name and every argument, separated by tabs. With a
// display it then shows a small window naming the action, the workstation,
// the tree and, for Inventory, the inventory server, until it is closed
// ($CONSOLE_SECONDS closes it after that many seconds).
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

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
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

// The value of an option written as -x<value> (the quotes are gone by now).
QString option(int argc, char** argv, char letter) {
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && argv[i][1] == letter) return QString::fromLocal8Bit(argv[i] + 2);
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string self = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
    std::string line = self;
    for (int i = 1; i < argc; ++i) line += '\t' + std::string(argv[i]);
    line += '\n';
    if (const char* log = std::getenv("CONSOLE_LOG")) {
        if (!appendToLog(log, line)) {
            std::fprintf(stderr, "%s: cannot append to %s\n", self.c_str(), log);
            return 2;
        }
    }
    if (!hasDisplay()) return 0;

    QApplication app(argc, argv);
    const QString action = option(argc, argv, 'c');
    QWidget window;
    window.setWindowTitle("Harbex " + (action.isEmpty() ? QString("Console") : action));
    auto* layout = new QVBoxLayout(&window);
    auto* heading = new QLabel(
        QString("<b>%1</b> (%2)")
            .arg(action.isEmpty() ? "No action given" : action, QString::fromStdString(self)));
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    form->addRow("Workstation:", new QLabel(option(argc, argv, 'w')));
    form->addRow("Tree:", new QLabel(option(argc, argv, 'n')));
    if (!option(argc, argv, 'd').isEmpty())
        form->addRow("Inventory server:", new QLabel(option(argc, argv, 'd')));
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QWidget::close);
    layout->addWidget(buttons);
    window.show();
    if (const char* seconds = std::getenv("CONSOLE_SECONDS"))
        QTimer::singleShot(std::atoi(seconds) * 1000, &window, &QWidget::close);
    return app.exec();
}
