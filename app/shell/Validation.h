// The blank-text test of the name entry: the character codes of a text
// (single-byte code page) added up and divided by 32. A text counts as blank
// when the result equals its length, as it does for blanks only and for "".
#pragma once

#include <QString>

namespace tvn::Validation {

float CheckBlank(QString& text);

}  // namespace tvn::Validation
