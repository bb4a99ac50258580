// The pictures of the network browser page: one 16 by 16 image per directory
// class the control knows by name (the class names of the string table, in
// its order), then the network root, a tree, a server and a category node.
// Drawn here rather than shipped as bitmaps; white is the mask colour, so
// what is meant to look white is drawn off-white.
#pragma once

#include <QIcon>
#include <QImage>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace session {

namespace image {
inline constexpr int GenericObject = 0;
inline constexpr int NetworkRoot = 37;
inline constexpr int Tree = 38;
inline constexpr int Server = 39;
inline constexpr int Category = 40;
inline constexpr int Count = 41;
}  // namespace image

// Image `index` (0 to image::Count - 1) on a white background.
QImage drawBrowserImage(int index);

class BrowserImageList {
public:
    BrowserImageList();

    int count() const { return static_cast<int>(icons_.size()); }
    // Masked with white, as the list shows it.
    const QIcon& icon(int index) const { return icons_.at(static_cast<std::size_t>(index)); }
    // The image of a directory class, its name compared in lower case; the
    // generic object's image for a class without one.
    int indexOfClass(std::string_view className) const;

private:
    std::vector<QIcon> icons_;
    std::unordered_map<std::string, int> byClass_;
};

}  // namespace session
