// The control's image, drawn here rather than shipped as files: a monitor on
// a network line with three stations.
#include "session/glyph.h"

namespace session {
namespace {

// ' ' is transparent; the other characters are colours.
constexpr const char* kArt[kGlyphHeight] = {
    "  ##########    ",  //
    "  #oooooooo#    ",  //
    "  #oooooooo#    ",  //
    "  #oooooooo#    ",  //
    "  #oooooooo#    ",  //
    "  ##########    ",  //
    "     ####       ",  //
    "   ########     ",  //
    "       #        ",  //
    "       #        ",  //
    " ############## ",  //
    " #     #     #  ",  //
    "###   ###   ### ",  //
    "#w#   #w#   #w# ",  //
    "###   ###   ### ",  //
};

QRgb colourOf(char c) {
    switch (c) {
        case '#':
            return qRgb(0x40, 0x40, 0x40);
        case 'o':
            return qRgb(0x00, 0x80, 0x80);
        case 'w':
            return qRgb(0xFF, 0xFF, 0xFF);
        default:
            return qRgb(0, 0, 0);
    }
}

}  // namespace

QImage controlBitmap() {
    // Black where transparent, so that the XOR passes of the masked drawing
    // cancel out there.
    QImage image(kGlyphWidth, kGlyphHeight, QImage::Format_RGB32);
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < kGlyphWidth; ++x) image.setPixel(x, y, colourOf(kArt[y][x]));
    return image;
}

QImage controlMask() {
    QImage mask(kGlyphWidth, kGlyphHeight, QImage::Format_RGB32);
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < kGlyphWidth; ++x)
            mask.setPixel(x, y, kArt[y][x] == ' ' ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return mask;
}

QImage controlIcon() {
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < kGlyphWidth; ++x)
            if (kArt[y][x] != ' ') {
                const QRgb c = colourOf(kArt[y][x]);
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) icon.setPixel(2 * x + dx, 2 * y + 1 + dy, c);
            }
    return icon;
}

}  // namespace session
