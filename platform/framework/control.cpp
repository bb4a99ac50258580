// The control base: extents, property exchange and drawing helpers.
#include "platform/framework/control.h"

#include <QBuffer>
#include <cmath>

namespace platform::framework {

int pixelsToHimetric(int pixels, int dotsPerInch) {
    return static_cast<int>(std::lround(pixels * 2540.0 / dotsPerInch));
}

int himetricToPixels(int himetric, int dotsPerInch) {
    return static_cast<int>(std::lround(himetric * dotsPerInch / 2540.0));
}

PropExchange::PropExchange(bool loading, QByteArray* out, const QByteArray* in)
    : loading_(loading) {
    if (loading) {
        inCopy_ = std::make_shared<QByteArray>(*in);
        stream_ = std::make_unique<QDataStream>(*inCopy_);
    } else {
        stream_ = std::make_unique<QDataStream>(out, QIODevice::WriteOnly);
    }
    stream_->setVersion(QDataStream::Qt_6_0);
    stream_->setByteOrder(QDataStream::LittleEndian);
}

PropExchange PropExchange::forSaving(QByteArray& out) {
    out.clear();
    return PropExchange(false, &out, nullptr);
}

PropExchange PropExchange::forLoading(const QByteArray& in) {
    return PropExchange(true, nullptr, &in);
}

bool PropExchange::readable() const {
    return !stream_->atEnd() && stream_->status() == QDataStream::Ok;
}

void PropExchange::exchangeVersion(std::uint16_t& major, std::uint16_t& minor) {
    if (!loading_) {
        *stream_ << major << minor;
        return;
    }
    std::uint16_t readMajor = 0, readMinor = 0;
    if (readable()) *stream_ >> readMajor >> readMinor;
    major = readMajor;
    minor = readMinor;
}

void PropExchange::exchangeStockProps(std::uint32_t& stockFlags) {
    if (!loading_) {
        *stream_ << stockFlags;
        return;
    }
    std::uint32_t flags = 0;
    if (readable()) *stream_ >> flags;
    stockFlags = flags;
}

void PropExchange::exchangeBool(const char*, std::int32_t& value, bool defaultValue) {
    if (!loading_) {
        *stream_ << static_cast<std::int32_t>(value ? 1 : 0);
        return;
    }
    std::int32_t read = defaultValue ? 1 : 0;
    if (readable()) *stream_ >> read;
    if (stream_->status() != QDataStream::Ok) read = defaultValue ? 1 : 0;
    value = read ? 1 : 0;
}

void PropExchange::exchangeInt(const char*, std::int32_t& value, std::int32_t defaultValue) {
    if (!loading_) {
        *stream_ << value;
        return;
    }
    std::int32_t read = defaultValue;
    if (readable()) *stream_ >> read;
    value = stream_->status() == QDataStream::Ok ? read : defaultValue;
}

void PropExchange::exchangeString(const char*, QString& value, const QString& defaultValue) {
    if (!loading_) {
        *stream_ << value;
        return;
    }
    QString read = defaultValue;
    if (readable()) *stream_ >> read;
    value = stream_->status() == QDataStream::Ok ? read : defaultValue;
}

QSize ControlBase::requestExtent(QSize himetric) {
    const QSize wanted(himetricToPixels(himetric.width()), himetricToPixels(himetric.height()));
    extent_ = onSetExtent(wanted);
    return QSize(pixelsToHimetric(extent_.width()), pixelsToHimetric(extent_.height()));
}

void ControlBase::draw(QPainter& painter, const QRect& bounds) {
    painter.save();
    onDraw(painter, bounds);
    painter.restore();
}

QByteArray ControlBase::save() {
    QByteArray out;
    {
        PropExchange px = PropExchange::forSaving(out);
        doPropExchange(px);
    }
    setModifiedFlag(false);
    return out;
}

void ControlBase::load(const QByteArray& stream) {
    PropExchange px = PropExchange::forLoading(stream);
    doPropExchange(px);
    modified_ = false;
}

void ControlBase::setModifiedFlag(bool modified) {
    modified_ = modified;
    if (modified && site_) site_->onModified();
}

void ControlBase::boundPropertyChanged(int dispid) {
    if (site_) site_->onPropertyChanged(dispid);
    setModifiedFlag(true);
}

void drawTransparentBitmap(QPainter& painter, QPoint origin, const QImage& image,
                           const QImage& mask) {
    // XOR the image in, AND the mask (white keeps the destination, black
    // clears it), XOR the image again: where the mask is white the two XORs
    // cancel, where it is black the result is the image.
    const QImage src = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage monoMask = mask.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < src.height() && y < monoMask.height(); ++y) {
        for (int x = 0; x < src.width() && x < monoMask.width(); ++x) {
            if (qGray(monoMask.pixel(x, y)) < 128)
                painter.fillRect(origin.x() + x, origin.y() + y, 1, 1, QColor(src.pixel(x, y)));
        }
    }
}

void drawRaisedEdge(QPainter& painter, const QRect& rect) {
    const QRect r = rect.adjusted(0, 0, -1, -1);
    painter.setPen(QColor(Qt::white));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QColor(Qt::darkGray));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.setPen(QColor(Qt::lightGray));
    const QRect inner = r.adjusted(1, 1, -1, -1);
    painter.drawLine(inner.topLeft(), inner.topRight());
    painter.drawLine(inner.topLeft(), inner.bottomLeft());
    painter.setPen(QColor(Qt::gray));
    painter.drawLine(inner.bottomLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomRight());
}

}  // namespace platform::framework
