// The recording service stand-ins.
#include "fakeservices.h"

#include <QMenu>

#include "platform/forms/errors.h"

namespace fakes {

int RecordingMessageBoxes::show(const QString& text, int style, const QString& title) {
    boxes.push_back({text, style, title});
    return answer;
}

void RecordingPointer::set(QWidget&, int pointer) {
    history.push_back(pointer);
}

void RecordingPrograms::start(const QString& commandLine, int windowStyle) {
    if (failWith) throw platform::forms::FormsError(*failWith, "cannot start");
    started.append(commandLine);
    styles.push_back(windowStyle);
}

void RecordingMenus::popup(QMenu& menu, QWidget&, const QPoint& pos, int flags) {
    popups.push_back({menu.objectName(), pos, flags});
}

platform::forms::Services Recorders::services(const QString& title) const {
    platform::forms::Services s;
    s.applicationTitle = title;
    s.messages = messages;
    s.pointer = pointer;
    s.help = help;
    s.programs = programs;
    s.menus = menus;
    s.errors = errors;
    return s;
}

}  // namespace fakes
