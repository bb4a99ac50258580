// The action menu mnuMain: each of its eight items runs its action once on
// the current target (the result list's selected item when the list was the
// last source chosen, else the node selected in the remote-action tree) and
// leaves the default action as it was.
#include <QLineEdit>
#include <QTreeWidgetItem>

#include "app/actions/RemoteActions.h"
#include "app/lookup/ResultList.h"
#include "app/shell/frmMain.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"

namespace tvn {

using platform::forms::KeyedTree;

void frmMain::mnuAction_Click(const QString& code) {
    savedDefaultAction = defaultAction;
    defaultAction = code;
    if (code == "RI" && txtInvServer->text().isEmpty()) {
        showInventoryWarning();
    } else if (resultListFlag != true) {
        if (const QTreeWidgetItem* node = TreeViewRC->selectedNode()) {
            chosenKey = KeyedTree::keyOf(node);
            chosenImage = KeyedTree::imageOf(node);
            RemoteActions::StartRemoteAction(*this, chosenKey);
        }
    } else if (const int row = lstMultiple->selectedRow();
               row >= 0 && !refuseKeylessItem(*this, row)) {
        chosenKey = lstMultiple->keyAt(row);
        chosenImage = lstMultiple->smallIconAt(row);
        if (chosenImage == "User")
            RemoteActions::StartRemoteAction(*this, chosenKey);
        else
            RemoteActions::launch(*this, chosenKey, chosenKey, "Workstation");
    }
    defaultAction = savedDefaultAction;
}

}  // namespace tvn
