// The dotted-name conversion.
#include "app/actions/UNCtoDOTConversion.h"

#include <algorithm>

namespace tvn::UNCtoDOTConversion {

SplitName splitFullName(const QString& fullName) {
    // The prefix before "\\" is not examined; without "\\" the name is read
    // from its second character on.
    const qsizetype start = fullName.indexOf(QLatin1String("\\\\"));
    const QString rest = start < 0 ? fullName.mid(1) : fullName.mid(start + 2);
    QStringList parts = rest.split(QLatin1Char('\\'), Qt::KeepEmptyParts);
    SplitName name;
    name.tree = parts.takeFirst();
    name.levels = parts;
    return name;
}

QString dotted(const SplitName& name) {
    QStringList leafFirst = name.levels;
    std::reverse(leafFirst.begin(), leafFirst.end());
    return leafFirst.join(QLatin1Char('.'));
}

QString ConvertUNCtoDOT(QString& Name) {
    const SplitName name = splitFullName(Name);
    Name = name.levels.isEmpty() ? name.tree : dotted(name);
    return Name;
}

}  // namespace tvn::UNCtoDOTConversion
