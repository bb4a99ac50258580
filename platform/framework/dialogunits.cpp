// Dialog units from a font's metrics.
#include "platform/framework/dialogunits.h"

#include <QFontMetrics>
#include <QString>

namespace platform::framework {

QFont dialogFont() {
    return QFont("MS Sans Serif", 8);
}

QSize dialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // Rounded the way dialog templates have always been: half the width of
    // two average characters, rounded up.
    const int average = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return QSize(average, metrics.height());
}

QSize dialogUnitsToPixels(QSize units, const QFont& font) {
    const QSize base = dialogBaseUnits(font);
    return QSize(units.width() * base.width() / 4, units.height() * base.height() / 8);
}

QRect dialogUnitsToPixels(const QRect& units, const QFont& font) {
    const QSize base = dialogBaseUnits(font);
    return QRect(units.x() * base.width() / 4, units.y() * base.height() / 8,
                 units.width() * base.width() / 4, units.height() * base.height() / 8);
}

}  // namespace platform::framework
