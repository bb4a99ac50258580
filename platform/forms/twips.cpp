// Twips <-> pixels and widget geometry in twips.
#include "platform/forms/twips.h"

#include <QWidget>
#include <cmath>

#include "platform/forms/errors.h"

namespace platform::forms {

int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
double toTwips(int pixels) {
    return static_cast<double>(pixels) * kTwipsPerPixel;
}

namespace {

void refuseNegative(double v) {
    if (v < 0) throw FormsError(errors::kInvalidPropertyValue, "Invalid property value");
}

// The outer rectangle: a window's frame, a child's own geometry.
QRect outer(const QWidget* w) {
    return w->isWindow() ? w->frameGeometry() : w->geometry();
}

}  // namespace

double Twips::left() const {
    return toTwips(outer(w_).x());
}
double Twips::top() const {
    return toTwips(outer(w_).y());
}
double Twips::width() const {
    return toTwips(outer(w_).width());
}
double Twips::height() const {
    return toTwips(outer(w_).height());
}
double Twips::innerWidth() const {
    return toTwips(w_->width());
}
double Twips::innerHeight() const {
    return toTwips(w_->height());
}

void Twips::setLeft(double v) {
    const QRect r = outer(w_);
    w_->move(toPixels(v), r.y());
}

void Twips::setTop(double v) {
    const QRect r = outer(w_);
    w_->move(r.x(), toPixels(v));
}

void Twips::setWidth(double v) {
    refuseNegative(v);
    const int frame = outer(w_).width() - w_->width();
    w_->resize(std::max(0, toPixels(v) - frame), w_->height());
}

void Twips::setHeight(double v) {
    refuseNegative(v);
    const int frame = outer(w_).height() - w_->height();
    w_->resize(w_->width(), std::max(0, toPixels(v) - frame));
}

void Twips::move(double left, double top, double width, double height) {
    refuseNegative(width);
    refuseNegative(height);
    setLeft(left);
    setTop(top);
    setWidth(width);
    setHeight(height);
}

}  // namespace platform::forms
