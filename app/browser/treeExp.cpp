// The directory trees are not built yet: both stay empty, and expanding to
// an object selects nothing. The remote-action tree's start already reopens
// the saved context as the context of name searches, so that it survives
// the runs; the anchor marking is settled.
#include "app/browser/treeExp.h"

#include <QBrush>
#include <QTreeWidgetItem>

#include "app/lookup/KDDirCtrl.h"
#include "app/shell/RegistrySettings.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"

namespace tvn {

void BrowseStartWS(frmMain&) {}

void BrowseStartRC(frmMain& form) {
    form.currentContext = RegistrySettings::setting(form, "Settings", "Current Context",
                                                    need(form.KDDirRCTree.get())->ContextPath());
    treeExp(form, form.currentContext);
}

void treeExp(frmMain&, const QString&) {}

void markAnchor(QTreeWidgetItem* node, bool marked) {
    QFont font = node->font(0);
    font.setBold(marked);
    node->setFont(0, font);
    // The system's window colour is the list's own background.
    node->setBackground(0, marked ? QBrush(QColor(0xFF, 0xE0, 0xC0)) : QBrush());
}

}  // namespace tvn
