// Mouse buttons and modifier keys as the program's mouse handlers receive
// them: bit sets with 1 left, 2 right, 4 middle, and 1 Shift, 2 Ctrl, 4 Alt;
// and the character code that key handlers receive.
#pragma once

#include <Qt>
#include <optional>

class QKeyEvent;

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
// The code a key press types: 13 for Enter, the character's code for a key
// that types one, nothing for keys that type nothing (arrows, F1).
std::optional<int> keyAsciiOf(const QKeyEvent& e);
// The keys that open the context menu of what has the focus: the Menu key
// and Shift+F10.
bool isContextMenuKey(const QKeyEvent& e);

}  // namespace platform::forms
