// The blank-text test and blank trimming.
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

QString trimBlanks(const QString& text) {
    qsizetype first = 0, last = text.size();
    while (first < last && text[first] == u' ') ++first;
    while (last > first && text[last - 1] == u' ') --last;
    return text.mid(first, last - first);
}

}  // namespace tvn::Validation
