// Dialog units, the measure dialog templates are written in: a horizontal
// unit is a quarter of the dialog font's average character width, a vertical
// unit an eighth of its height. Pages and dialogs that give their layout in
// dialog units keep their proportions whatever font the desktop substitutes.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace platform::framework {

// The font dialogs are designed for ("MS Sans Serif", 8 points); the desktop
// substitutes its nearest match.
QFont dialogFont();

// The font's average character width (over "A".."Z" and "a".."z") and height.
QSize dialogBaseUnits(const QFont& font);

QSize dialogUnitsToPixels(QSize units, const QFont& font);
QRect dialogUnitsToPixels(const QRect& units, const QFont& font);

}  // namespace platform::framework
