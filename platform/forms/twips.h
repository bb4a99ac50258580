// Twips, the unit in which the program lays out its windows, and the pixels Qt
// works in. A twip is 1/1440 inch; the program assumes the standard 96 dots per
// inch, i.e. 15 twips to a pixel, so that layouts and tests do not depend on
// the screen. Positions are whole pixels, so a value read back is the written
// one rounded to the nearest 15 twips.
#pragma once

class QWidget;

namespace platform::forms {

inline constexpr int kTwipsPerPixel = 15;

int toPixels(double twips);
double toTwips(int pixels);

// One widget's geometry in twips. A child is measured relative to its parent;
// a window by its outer frame (caption and borders included), as far as the
// window system reports one. Negative widths and heights are refused with
// errors::kInvalidPropertyValue, and the widget keeps its old geometry.
class Twips {
public:
    explicit Twips(QWidget* widget) : w_(widget) {}

    double left() const;
    double top() const;
    double width() const;
    double height() const;
    double right() const { return left() + width(); }
    double bottom() const { return top() + height(); }
    // Inside size of a window (its client area), equal to width/height for children.
    double innerWidth() const;
    double innerHeight() const;

    void setLeft(double v);
    void setTop(double v);
    void setWidth(double v);
    void setHeight(double v);
    void move(double left, double top, double width, double height);

private:
    QWidget* w_;
};

}  // namespace platform::forms
