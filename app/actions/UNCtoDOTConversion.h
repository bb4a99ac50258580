// Full names in backslash form ("KTR:\\CorpTree\Acme\Sales\WS042") and the
// dotted form administrators type and the consoles take ("WS042.Sales.Acme").
// The conversion only goes one way: a "." inside a relative name is copied as
// it stands.
#pragma once

#include <QString>
#include <QStringList>

namespace tvn::UNCtoDOTConversion {

// A full name taken apart: the tree name and the relative names from the top
// container down, exactly as they stand (empty levels and blanks included).
struct SplitName {
    QString tree;
    QStringList levels;
};
SplitName splitFullName(const QString& fullName);

// The levels leaf first, joined by ".".
QString dotted(const SplitName& name);

// Converts Name to its dotted form (the tree name for a tree root), stores the
// result in Name and returns it. Callers that still need the full name pass a copy.
QString ConvertUNCtoDOT(QString& Name);

}  // namespace tvn::UNCtoDOTConversion
