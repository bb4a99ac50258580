// The blank-text test of the name entry: the character codes of a text
// (single-byte code page) added up and divided by 32. A text counts as blank
// when the result equals its length, as it does for blanks only and for "".
// Blanks (code 32) are also the only characters tvn trims from names and
// option values; tabs stay.
#pragma once

#include <QString>

namespace tvn::Validation {

float CheckBlank(QString& text);

// The text without leading and trailing blanks; tabs and other spaces stay.
QString trimBlanks(const QString& text);

}  // namespace tvn::Validation
