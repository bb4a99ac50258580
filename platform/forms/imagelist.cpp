// The keyed image list and the drawn pictures of the directory classes.
#include "platform/forms/imagelist.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "platform/forms/errors.h"

namespace platform::forms {

void ImageList::add(const QString& key, const QIcon& icon) {
    if (icons_.contains(key))
        throw FormsError(errors::kKeyNotUnique, "Key is not unique in collection");
    icons_.insert(key, icon);
    order_.append(key);
}

QIcon ImageList::icon(const QString& key) const {
    const auto it = icons_.constFind(key);
    if (it == icons_.constEnd()) throw FormsError(errors::kElementNotFound, "Element not found");
    return *it;
}

namespace {

using Painter = std::function<void(QPainter&)>;

// Every picture is drawn on a 16 x 16 grid and scaled for the larger sizes.
QIcon drawn(const Painter& paint) {
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        paint(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void outline(QPainter& p, const QColor& fill) {
    p.setPen(QPen(QColor(40, 40, 40), 0.8));
    p.setBrush(fill);
}

// The tree root: a globe.
void paintTop(QPainter& p) {
    outline(p, QColor(70, 140, 220));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
}

// A flag on a pole.
void paintCountry(QPainter& p) {
    outline(p, QColor(200, 40, 40));
    p.drawLine(QPointF(3, 1), QPointF(3, 15));
    p.drawRect(QRectF(3, 2, 11, 7));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3, 4.5, 11, 2));
}

// A building with windows.
void paintOrganization(QPainter& p) {
    outline(p, QColor(230, 190, 90));
    p.drawRect(QRectF(2.5, 3.5, 11, 11));
    p.setBrush(QColor(60, 90, 160));
    for (double y : {5.5, 8.5})
        for (double x : {4.5, 7.5, 10.5}) p.drawRect(QRectF(x, y, 1.5, 1.5));
    p.drawRect(QRectF(7, 11.5, 2, 3));
}

// A folder.
void paintUnit(QPainter& p) {
    outline(p, QColor(240, 210, 100));
    QPainterPath path;
    path.moveTo(1.5, 4);
    path.lineTo(6, 4);
    path.lineTo(7.5, 5.5);
    path.lineTo(14.5, 5.5);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
}

// Head and shoulders, dx to the right of the left edge.
void paintPerson(QPainter& p, double dx) {
    p.drawEllipse(QRectF(5 + dx, 1.5, 6, 6));
    QPainterPath body;
    body.moveTo(2 + dx, 15);
    body.cubicTo(2 + dx, 8, 14 + dx, 8, 14 + dx, 15);
    body.closeSubpath();
    p.drawPath(body);
}

void paintUser(QPainter& p) {
    outline(p, QColor(60, 150, 80));
    paintPerson(p, 0);
}

// A monitor on a stand.
void paintWorkstation(QPainter& p) {
    outline(p, QColor(90, 90, 100));
    p.drawRect(QRectF(1.5, 2.5, 13, 9));
    p.setBrush(QColor(120, 200, 240));
    p.drawRect(QRectF(3, 4, 10, 6));
    p.setBrush(QColor(90, 90, 100));
    p.drawRect(QRectF(6.5, 11.5, 3, 2));
    p.drawRect(QRectF(4, 13.5, 8, 1.5));
}

// A user behind a curved arrow: a name standing for another object.
void paintAlias(QPainter& p) {
    outline(p, QColor(160, 160, 160));
    paintPerson(p, 1.5);
    p.setPen(QPen(QColor(30, 30, 200), 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath arrow;
    arrow.moveTo(1.5, 15);
    arrow.quadTo(1.5, 9, 6, 9);
    p.drawPath(arrow);
    p.drawLine(QPointF(6, 9), QPointF(4, 7.5));
    p.drawLine(QPointF(6, 9), QPointF(4, 10.5));
}

}  // namespace

ImageList ImageList::classImages() {
    ImageList list;
    list.add("Top", drawn(paintTop));
    list.add("Alias", drawn(paintAlias));
    list.add("Country", drawn(paintCountry));
    list.add("Organization", drawn(paintOrganization));
    list.add("Organizational Unit", drawn(paintUnit));
    list.add("User", drawn(paintUser));
    list.add("Workstation", drawn(paintWorkstation));
    return list;
}

}  // namespace platform::forms
