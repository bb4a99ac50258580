// The blank-text test.
#include "app/shell/Validation.h"

namespace tvn::Validation {

float CheckBlank(QString& text) {
    // Characters outside the single-byte code page count as "?", as they
    // would after conversion to it.
    const QByteArray bytes = text.toLatin1();
    float sum = 0;
    for (char c : bytes) sum += static_cast<float>(static_cast<unsigned char>(c));
    return sum / 32;
}

}  // namespace tvn::Validation
