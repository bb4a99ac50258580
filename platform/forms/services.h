// The services a form takes from the platform and that tests replace: message
// boxes, the mouse pointer, the help viewer, program start, pop-up menus and
// the error log.
// A form receives them as one Services value when it is built; nothing here is
// a global, so tests never depend on each other's order.
#pragma once

#include <QPoint>
#include <QString>
#include <memory>

class QMenu;
class QWidget;

namespace platform::forms {

// Message box styles and answers, combined as the program writes them
// (16 = OK button with the critical-stop icon, 0x30 = OK with the warning icon).
namespace msgbox {
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNo = 4;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;

inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
}  // namespace msgbox

// Mouse pointers a form can show.
namespace pointer {
inline constexpr int kDefault = 0;
inline constexpr int kHourglass = 11;
// Work goes on while the window can still be used.
inline constexpr int kArrowHourglass = 13;
}  // namespace pointer

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the answer.
    virtual int show(const QString& text, int style, const QString& title) = 0;
};

class MousePointer {
public:
    virtual ~MousePointer() = default;
    virtual void set(QWidget& form, int pointer) = 0;
};

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Opens the named help file of the program (looked up beside it).
    virtual void open(const QString& helpFile) = 0;
};

class ProgramStart {
public:
    virtual ~ProgramStart() = default;
    // Starts a command line as a separate process and does not wait for it.
    // windowStyle 1 is a normal, activated window. A failure raises an error
    // that carries its number: errors::kFileNotFound for a missing program,
    // errors::kPathNotFound for a missing directory.
    virtual void start(const QString& commandLine, int windowStyle) = 0;
};

class PopupMenus {
public:
    virtual ~PopupMenus() = default;
    // Pops the menu up at pos (pixels in relativeTo's coordinates). flags 2
    // lets the right button choose an item.
    virtual void popup(QMenu& menu, QWidget& relativeTo, const QPoint& pos, int flags) = 0;
};

class ErrorLog {
public:
    virtual ~ErrorLog() = default;
    // Writes one line saying why something asked for did not happen, for
    // whoever watches the program from outside its window.
    virtual void write(const QString& line) = 0;
    // How far long work without a window has come ("Building: 500
    // workstation(s)"), for someone who watches it on a terminal; each line
    // takes the place of the one before, and an empty line ends them. A log
    // whose reader is no terminal (a file, a pipe, a scheduler's mail) does
    // not get them.
    virtual void progress(const QString& line) { (void)line; }
};

struct Services {
    QString applicationTitle;
    std::shared_ptr<MessageBoxes> messages;
    std::shared_ptr<MousePointer> pointer;
    std::shared_ptr<HelpViewer> help;
    std::shared_ptr<ProgramStart> programs;
    std::shared_ptr<PopupMenus> menus;
    std::shared_ptr<ErrorLog> errors;

    // A box without a title of its own shows the application title.
    int msgBox(const QString& text, int style = msgbox::kOkOnly, const QString& title = {}) const;

    // The Qt implementations of every service but program start, which the
    // program supplies. helpDir is where help files are looked up; the error
    // log writes "<program file name>: <line>" to standard error, and the
    // progress lines too when standard error is a terminal.
    static Services qt(const QString& applicationTitle, const QString& helpDir);
};

}  // namespace platform::forms
