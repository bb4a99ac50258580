// The drawn pictures of the network browser. Each class is one of a few
// shapes in its own colour, some with a small badge that tells related
// classes apart (the application kinds, the server kinds).
#include "session/browserimages.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/text/casefold.h"
#include "session/errors.h"

namespace session {
namespace {

const QColor kInk(40, 40, 40);
const QColor kPaper(250, 250, 236);  // "white" that the mask leaves alone

enum class Shape {
    Cube,
    Tower,
    Arrow,
    Window,
    Page,
    Monitor,
    Flag,
    Chip,
    Folder,
    Person,
    People,
    Pin,
    Building,
    Unit,
    Pie,
    Printer,
    Card,
    Stack,
    Question,
    Cylinder,
    Globe,
    TreeShape,
    Hat,
    Certificate,
};

struct Picture {
    Shape shape;
    QColor colour;
    const char* badge;  // a mark in the lower right corner, or nullptr
};

// In the order of the class names of the string table, then the four
// pictures of the browser itself.
const Picture kPictures[image::Count] = {
    {Shape::Cube, QColor(150, 150, 150), nullptr},       // Generic KTR Object (default)
    {Shape::Tower, QColor(90, 130, 200), "A"},           // AFP Server
    {Shape::Arrow, QColor(200, 120, 40), nullptr},       // Alias
    {Shape::Window, QColor(40, 90, 170), nullptr},       // Application
    {Shape::Window, QColor(60, 60, 60), "D"},            // Application (DOS)
    {Shape::Window, QColor(0, 120, 120), "3"},           // Application (Windows 3.x)
    {Shape::Window, QColor(0, 100, 180), "95"},          // Application (Windows 95)
    {Shape::Window, QColor(120, 40, 140), "NT"},         // Application (Windows NT)
    {Shape::Page, QColor(180, 60, 60), "A"},             // Audit:File Object
    {Shape::Cube, QColor(190, 150, 60), "B"},            // Bindery Object
    {Shape::Stack, QColor(190, 150, 60), "B"},           // Bindery Queue
    {Shape::Monitor, QColor(60, 140, 200), nullptr},     // Computer
    {Shape::Flag, QColor(200, 50, 50), nullptr},         // Country
    {Shape::Chip, QColor(70, 70, 70), nullptr},          // Device
    {Shape::Folder, QColor(220, 190, 80), ">"},          // Directory Map
    {Shape::Person, QColor(150, 150, 150), "?"},         // External Entity
    {Shape::People, QColor(70, 150, 90), nullptr},       // Group
    {Shape::Pin, QColor(200, 60, 60), nullptr},          // Locality
    {Shape::Tower, QColor(200, 160, 60), "@"},           // Messaging Server
    {Shape::Tower, QColor(70, 110, 170), nullptr},       // KXP Server
    {Shape::Tower, QColor(60, 150, 80), "$"},            // TPX License Server
    {Shape::Certificate, QColor(60, 150, 80), nullptr},  // TPXLicenseCertificate
    {Shape::Building, QColor(150, 110, 70), nullptr},    // Organization
    {Shape::Person, QColor(90, 90, 170), "O"},           // Organizational Person
    {Shape::Hat, QColor(110, 70, 150), nullptr},         // Organizational Role
    {Shape::Unit, QColor(210, 170, 70), nullptr},        // Organizational Unit
    {Shape::Pie, QColor(90, 160, 200), nullptr},         // Partition
    {Shape::Person, QColor(160, 110, 60), nullptr},      // Person
    {Shape::Tower, QColor(120, 120, 120), "P"},          // Print Server
    {Shape::Printer, QColor(120, 120, 120), nullptr},    // Printer
    {Shape::Card, QColor(80, 140, 180), nullptr},        // Profile
    {Shape::Stack, QColor(120, 120, 120), nullptr},      // Queue
    {Shape::Tower, QColor(100, 100, 100), nullptr},      // Server
    {Shape::Page, QColor(120, 120, 120), "T"},           // Template
    {Shape::Question, QColor(170, 60, 60), nullptr},     // Unknown
    {Shape::Person, QColor(50, 110, 190), nullptr},      // User
    {Shape::Cylinder, QColor(140, 140, 160), nullptr},   // Volume
    {Shape::Globe, QColor(60, 130, 210), nullptr},       // the network root
    {Shape::TreeShape, QColor(60, 140, 60), nullptr},    // a tree
    {Shape::Tower, QColor(70, 110, 170), "K"},           // a server
    {Shape::Folder, QColor(220, 190, 80), nullptr},      // a category node
};

void pen(QPainter& p, const QColor& fill) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(fill);
}

void paintShape(QPainter& p, Shape shape, const QColor& c) {
    switch (shape) {
        case Shape::Cube: {
            pen(p, c);
            p.drawRect(2, 5, 9, 9);
            p.drawPolygon(QPolygon({{2, 5}, {5, 2}, {14, 2}, {11, 5}}));
            p.drawPolygon(QPolygon({{11, 5}, {14, 2}, {14, 11}, {11, 14}}));
            break;
        }
        case Shape::Tower: {
            pen(p, c);
            p.drawRect(4, 1, 8, 14);
            p.setPen(kPaper);
            p.drawLine(6, 4, 10, 4);
            p.drawLine(6, 6, 10, 6);
            p.setPen(QColor(60, 220, 60));
            p.drawPoint(6, 12);
            break;
        }
        case Shape::Arrow: {
            pen(p, kPaper);
            p.drawRect(1, 1, 13, 13);
            pen(p, c);
            p.drawPolygon(QPolygon(
                {{3, 12}, {3, 7}, {8, 7}, {8, 4}, {12, 8}, {8, 12}, {8, 9}, {5, 9}, {5, 12}}));
            break;
        }
        case Shape::Window: {
            pen(p, kPaper);
            p.drawRect(1, 2, 13, 11);
            p.fillRect(2, 3, 12, 3, c);
            break;
        }
        case Shape::Page:
        case Shape::Certificate: {
            pen(p, kPaper);
            p.drawPolygon(QPolygon({{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}}));
            p.setPen(c);
            for (int y = 5; y <= 11; y += 2) p.drawLine(5, y, 11, y);
            if (shape == Shape::Certificate) {
                pen(p, c);
                p.drawEllipse(8, 9, 5, 5);
                p.drawLine(9, 14, 9, 15);
                p.drawLine(12, 14, 12, 15);
            }
            break;
        }
        case Shape::Monitor: {
            pen(p, kPaper);
            p.drawRect(1, 1, 13, 10);
            p.fillRect(3, 3, 10, 7, c);
            pen(p, QColor(160, 160, 160));
            p.drawRect(4, 12, 7, 2);
            break;
        }
        case Shape::Flag: {
            p.setPen(QPen(kInk, 1));
            p.drawLine(2, 1, 2, 15);
            pen(p, c);
            p.drawRect(3, 2, 11, 7);
            p.fillRect(4, 5, 10, 2, QColor(250, 220, 60));
            break;
        }
        case Shape::Chip: {
            pen(p, c);
            p.drawRect(4, 4, 8, 8);
            p.setPen(kInk);
            for (int i = 5; i <= 11; i += 2) {
                p.drawLine(i, 1, i, 3);
                p.drawLine(i, 13, i, 15);
                p.drawLine(1, i, 3, i);
                p.drawLine(13, i, 15, i);
            }
            break;
        }
        case Shape::Folder: {
            pen(p, c);
            p.drawPolygon(QPolygon({{1, 4}, {6, 4}, {7, 6}, {14, 6}, {14, 13}, {1, 13}}));
            p.setPen(c.darker(130));
            p.drawLine(2, 7, 13, 7);
            break;
        }
        case Shape::Person: {
            pen(p, QColor(240, 200, 160));
            p.drawEllipse(5, 1, 6, 6);
            pen(p, c);
            p.drawChord(2, 8, 12, 12, 0, 180 * 16);
            break;
        }
        case Shape::People: {
            pen(p, QColor(240, 200, 160));
            p.drawEllipse(2, 2, 5, 5);
            p.drawEllipse(9, 2, 5, 5);
            pen(p, c);
            p.drawChord(0, 8, 9, 10, 0, 180 * 16);
            p.drawChord(7, 8, 9, 10, 0, 180 * 16);
            break;
        }
        case Shape::Pin: {
            pen(p, c);
            QPainterPath path;
            path.moveTo(8, 15);
            path.arcTo(3, 1, 10, 10, -60, 300);
            path.closeSubpath();
            p.drawPath(path);
            pen(p, kPaper);
            p.drawEllipse(6, 4, 4, 4);
            break;
        }
        case Shape::Building: {
            pen(p, c);
            p.drawRect(2, 3, 12, 12);
            p.setPen(kPaper);
            for (int y = 5; y <= 11; y += 3)
                for (int x = 4; x <= 11; x += 3) p.drawPoint(x, y);
            p.fillRect(7, 12, 2, 3, kInk);
            break;
        }
        case Shape::Unit: {
            pen(p, c);
            p.drawRect(5, 1, 6, 4);
            p.drawRect(1, 10, 5, 4);
            p.drawRect(10, 10, 5, 4);
            p.setPen(kInk);
            p.drawLine(8, 5, 8, 8);
            p.drawLine(3, 8, 12, 8);
            p.drawLine(3, 8, 3, 10);
            p.drawLine(12, 8, 12, 10);
            break;
        }
        case Shape::Pie: {
            pen(p, kPaper);
            p.drawEllipse(1, 1, 13, 13);
            pen(p, c);
            p.drawPie(1, 1, 13, 13, 90 * 16, 120 * 16);
            break;
        }
        case Shape::Printer: {
            pen(p, kPaper);
            p.drawRect(4, 1, 8, 5);
            pen(p, c);
            p.drawRect(1, 6, 14, 6);
            pen(p, kPaper);
            p.drawRect(4, 10, 8, 5);
            break;
        }
        case Shape::Card: {
            pen(p, kPaper);
            p.drawRect(1, 3, 14, 10);
            pen(p, c);
            p.drawEllipse(3, 5, 4, 4);
            p.setPen(c);
            p.drawLine(9, 6, 13, 6);
            p.drawLine(9, 9, 13, 9);
            p.drawLine(3, 11, 13, 11);
            break;
        }
        case Shape::Stack: {
            for (int i = 0; i < 3; ++i) {
                pen(p, i == 2 ? c : kPaper);
                p.drawRect(1 + 2 * i, 1 + 3 * i, 9, 7);
            }
            break;
        }
        case Shape::Question: {
            pen(p, c);
            p.drawEllipse(1, 1, 13, 13);
            p.setPen(kPaper);
            QFont f = p.font();
            f.setPixelSize(11);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, "?");
            break;
        }
        case Shape::Cylinder: {
            pen(p, c);
            p.drawRect(2, 4, 12, 8);
            p.drawEllipse(2, 9, 12, 5);
            p.setPen(Qt::NoPen);
            p.drawRect(3, 5, 11, 7);
            pen(p, c.lighter(130));
            p.drawEllipse(2, 2, 12, 5);
            break;
        }
        case Shape::Globe: {
            pen(p, c);
            p.drawEllipse(1, 1, 13, 13);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(5, 1, 5, 13);
            p.drawLine(1, 8, 14, 8);
            p.drawLine(3, 4, 12, 4);
            p.drawLine(3, 11, 12, 11);
            break;
        }
        case Shape::TreeShape: {
            pen(p, QColor(130, 90, 50));
            p.drawRect(7, 10, 2, 5);
            pen(p, c);
            p.drawPolygon(QPolygon({{8, 1}, {14, 11}, {2, 11}}));
            break;
        }
        case Shape::Hat: {
            pen(p, c);
            p.drawPolygon(QPolygon({{8, 2}, {15, 6}, {8, 10}, {1, 6}}));
            p.drawRect(4, 8, 8, 4);
            p.setPen(QPen(QColor(230, 190, 50), 1));
            p.drawLine(14, 6, 14, 12);
            break;
        }
    }
}

void paintBadge(QPainter& p, const char* badge) {
    const QString text = QString::fromLatin1(badge);
    QFont f = p.font();
    f.setPixelSize(text.size() > 1 ? 7 : 9);
    f.setBold(true);
    f.setHintingPreference(QFont::PreferFullHinting);
    p.setFont(f);
    const QRect box = text.size() > 1 ? QRect(4, 9, 12, 7) : QRect(9, 7, 7, 9);
    p.fillRect(box, QColor(255, 250, 200));
    p.setPen(kInk);
    p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

QImage drawBrowserImage(int index) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (index < 0 || index >= image::Count) return image;
    const Picture& picture = kPictures[index];
    QPainter p(&image);
    paintShape(p, picture.shape, picture.colour);
    if (picture.badge) paintBadge(p, picture.badge);
    return image;
}

BrowserImageList::BrowserImageList() {
    icons_.reserve(image::Count);
    for (int i = 0; i < image::Count; ++i) {
        QPixmap pixmap = QPixmap::fromImage(drawBrowserImage(i));
        pixmap.setMask(pixmap.createMaskFromColor(Qt::white));
        icons_.emplace_back(pixmap);
    }
    for (int i = 0; i < msg::ClassNameCount; ++i)
        byClass_.emplace(platform::text::foldCase(messageText(msg::FirstClassName + i)), i);
}

int BrowserImageList::indexOfClass(std::string_view className) const {
    const auto it = byClass_.find(platform::text::foldCase(className));
    return it == byClass_.end() ? image::GenericObject : it->second;
}

}  // namespace session
