// Recording stand-ins for the form services, for tests that drive forms: they
// remember every box, pointer change, help request, program start, pop-up and
// error line instead of showing anything, and answer boxes with a chosen answer.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/forms/services.h"

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace fakes {

struct ShownBox {
    QString text;
    int style;
    QString title;
};

class RecordingMessageBoxes : public platform::forms::MessageBoxes {
public:
    int show(const QString& text, int style, const QString& title) override;
    std::vector<ShownBox> boxes;
    int answer = platform::forms::msgbox::kAnswerOk;
};

class RecordingPointer : public platform::forms::MousePointer {
public:
    void set(QWidget& form, int pointer) override;
    std::vector<int> history;
    int current() const { return history.empty() ? 0 : history.back(); }
};

class RecordingHelp : public platform::forms::HelpViewer {
public:
    void open(const QString& helpFile) override { opened.append(helpFile); }
    QStringList opened;
};

// Records command lines; failWith makes every start fail with that number.
class RecordingPrograms : public platform::forms::ProgramStart {
public:
    void start(const QString& commandLine, int windowStyle) override;
    QStringList started;
    std::vector<int> styles;
    std::optional<int> failWith;
};

struct Popup {
    QString menu;  // the menu's object name
    QPoint pos;
    int flags;
};

class RecordingMenus : public platform::forms::PopupMenus {
public:
    void popup(QMenu& menu, QWidget& relativeTo, const QPoint& pos, int flags) override;
    std::vector<Popup> popups;
};

class RecordingErrorLog : public platform::forms::ErrorLog {
public:
    void write(const QString& line) override { lines.append(line); }
    void progress(const QString& line) override { progressLines.append(line); }
    QStringList lines;
    QStringList progressLines;  // as a terminal would be shown them
};

// All six recorders, and the Services value that hands them to a form.
struct Recorders {
    std::shared_ptr<RecordingMessageBoxes> messages = std::make_shared<RecordingMessageBoxes>();
    std::shared_ptr<RecordingPointer> pointer = std::make_shared<RecordingPointer>();
    std::shared_ptr<RecordingHelp> help = std::make_shared<RecordingHelp>();
    std::shared_ptr<RecordingPrograms> programs = std::make_shared<RecordingPrograms>();
    std::shared_ptr<RecordingMenus> menus = std::make_shared<RecordingMenus>();
    std::shared_ptr<RecordingErrorLog> errors = std::make_shared<RecordingErrorLog>();

    platform::forms::Services services(const QString& title = "Tolvane") const;
};

}  // namespace fakes
