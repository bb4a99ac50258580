// Mouse codes of Qt mouse events.
#include "platform/forms/mouse.h"

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

}  // namespace platform::forms
