// Mouse and key codes of Qt input events.
#include "platform/forms/mouse.h"

#include <QKeyEvent>

namespace platform::forms {

int buttonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton) code |= mouse::kLeftButton;
    if (buttons & Qt::RightButton) code |= mouse::kRightButton;
    if (buttons & Qt::MiddleButton) code |= mouse::kMiddleButton;
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier) code |= mouse::kShiftKey;
    if (modifiers & Qt::ControlModifier) code |= mouse::kCtrlKey;
    if (modifiers & Qt::AltModifier) code |= mouse::kAltKey;
    return code;
}

std::optional<int> keyAsciiOf(const QKeyEvent& e) {
    if (e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter) return 13;
    if (e.text().isEmpty()) return std::nullopt;
    return e.text().front().unicode();
}

bool isContextMenuKey(const QKeyEvent& e) {
    const Qt::KeyboardModifiers modifiers =
        e.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (e.key() == Qt::Key_Menu) return modifiers == Qt::NoModifier;
    return e.key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier;
}

}  // namespace platform::forms
