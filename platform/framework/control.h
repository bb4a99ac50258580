// The control base that in-process controls are built on: a container site
// that supplies ambient properties and hears about changes, an extent the
// control may refuse, drawing through a painter, and property exchange to and
// from a persisted stream with a version.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QDataStream>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::framework {

// What a container offers the control placed in it.
class ControlSite {
public:
    virtual ~ControlSite() = default;
    // false in a design surface, true at run time.
    virtual bool ambientUserMode() const { return true; }
    virtual QColor ambientBackColor() const { return QColor(Qt::white); }
    // A bound property with this DISPID changed.
    virtual void onPropertyChanged(int /*dispid*/) {}
    // The control's persistent state changed.
    virtual void onModified() {}
    // The control asks to be redrawn.
    virtual void onInvalidate() {}
};

// Container extents are in HIMETRIC (0.01 mm); controls think in pixels.
int pixelsToHimetric(int pixels, int dotsPerInch = 96);
int himetricToPixels(int himetric, int dotsPerInch = 96);

// One pass of property exchange: either loading from a stream or saving to
// one. Values are read and written in the order the control exchanges them;
// a stream that ends early yields the defaults of the properties it lacks.
class PropExchange {
public:
    static PropExchange forSaving(QByteArray& out);
    static PropExchange forLoading(const QByteArray& in);

    bool isLoading() const { return loading_; }
    // The version of the persisted state; on loading, what the stream held
    // (0.0 when the stream is empty).
    void exchangeVersion(std::uint16_t& major, std::uint16_t& minor);
    // The framework's own stock state (a flags word for the stock properties).
    void exchangeStockProps(std::uint32_t& stockFlags);
    void exchangeBool(const char* name, std::int32_t& value, bool defaultValue);
    void exchangeInt(const char* name, std::int32_t& value, std::int32_t defaultValue);
    void exchangeString(const char* name, QString& value, const QString& defaultValue);

private:
    PropExchange(bool loading, QByteArray* out, const QByteArray* in);
    bool readable() const;

    bool loading_;
    std::unique_ptr<QDataStream> stream_;
    std::shared_ptr<QByteArray> inCopy_;
};

class ControlBase {
public:
    virtual ~ControlBase() = default;

    void setClientSite(ControlSite* site) { site_ = site; }
    ControlSite* clientSite() const { return site_; }

    bool ambientUserMode() const { return site_ ? site_->ambientUserMode() : true; }
    QColor ambientBackColor() const {
        return site_ ? site_->ambientBackColor() : QColor(Qt::white);
    }

    // The container asks for an extent (HIMETRIC); the control answers with
    // the extent it takes. By default it takes what is asked.
    QSize requestExtent(QSize himetric);
    QSize extentPixels() const { return extent_; }
    void setInitialSize(int width, int height) { extent_ = QSize(width, height); }

    void draw(QPainter& painter, const QRect& bounds);

    // Persistence: the whole state as one stream.
    QByteArray save();
    void load(const QByteArray& stream);

    bool isModified() const { return modified_; }
    void setModifiedFlag(bool modified = true);
    // A bound property changed through the interface: tell the container and
    // mark the control modified.
    void boundPropertyChanged(int dispid);

    // The class ids of the control's property pages, in the order a frame
    // shows them.
    virtual std::vector<std::string> propertyPages() const { return {}; }

protected:
    virtual void onDraw(QPainter& painter, const QRect& bounds) = 0;
    virtual void doPropExchange(PropExchange& px) = 0;
    // Pixels requested -> pixels taken.
    virtual QSize onSetExtent(QSize requestedPixels) { return requestedPixels; }
    // Stock properties in use, persisted before the control's own.
    std::uint32_t stockFlags_ = 0;

private:
    ControlSite* site_ = nullptr;
    QSize extent_{100, 50};
    bool modified_ = false;
};

// Draws image at origin with the pixels where mask is white left transparent:
// the raster sequence image XOR, mask AND, image XOR on the destination.
void drawTransparentBitmap(QPainter& painter, QPoint origin, const QImage& image,
                           const QImage& mask);
// A raised 3-D edge around rect, as buttons have.
void drawRaisedEdge(QPainter& painter, const QRect& rect);

}  // namespace platform::framework
