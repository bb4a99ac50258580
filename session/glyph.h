// The control's pictures: the 16 by 15 toolbox and design-time image (bitmap
// 1), its transparency mask (bitmap 265, white where the background shows)
// and the icon of the About box.
#pragma once

#include <QImage>

namespace session {

inline constexpr int kGlyphWidth = 16;
inline constexpr int kGlyphHeight = 15;

QImage controlBitmap();
QImage controlMask();
QImage controlIcon();

}  // namespace session
