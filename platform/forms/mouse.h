// Mouse buttons and modifier keys as the program's mouse handlers receive
// them: bit sets with 1 left, 2 right, 4 middle, and 1 Shift, 2 Ctrl, 4 Alt.
#pragma once

#include <Qt>

namespace platform::forms {

namespace mouse {
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;
inline constexpr int kShiftKey = 1;
inline constexpr int kCtrlKey = 2;
inline constexpr int kAltKey = 4;
}  // namespace mouse

int buttonCode(Qt::MouseButtons buttons);
int shiftCode(Qt::KeyboardModifiers modifiers);

}  // namespace platform::forms
