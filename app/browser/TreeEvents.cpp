// What the administrator does in the trees: choosing a node (a container
// becomes the search context, a user or workstation the target and its
// attributes are shown), keys, the right button and the two commands of the
// tree menu (reading a container again, fixing the search anchor). No
// failure leaves a handler; a lost directory connection while a node is
// chosen ends the program with a message.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidgetItem>

#include "app/actions/UNCtoDOTConversion.h"
#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"

namespace tvn {

using platform::forms::KeyedTree;
using platform::forms::toPixels;
namespace pointer = platform::forms::pointer;

namespace {

bool isTarget(const QString& image) {
    return image == "User" || image == "Workstation";
}

}  // namespace

void frmMain::TreeViewWS_NodeClick(QTreeWidgetItem* Node) {
    setStatusText("Context: " + KeyedTree::tagOf(Node));
}

void frmMain::TreeViewRC_NodeClick(QTreeWidgetItem* Node) {
    const int failed = errorNumberOf([&] {
        const QString image = KeyedTree::imageOf(Node);
        if (isContainerClass(image)) {
            currentContext = KeyedTree::tagOf(Node);
            setStatusText("Context: " + currentContext);
            lstMultiple->clearItems();
            lstMultiple->setColumnHeader(1, "Search Results");
            lvwKTRinfo->clearItems();
        } else if (isTarget(image)) {
            Command1->setEnabled(true);
            showDefaultActionCaption();
            getKTRinfo(*this, KeyedTree::keyOf(Node));
            treeFlag = true;
            historyFlag = false;
            resultListFlag = false;
            QString dotted = KeyedTree::keyOf(Node);
            ImageCombo1->setEditText(UNCtoDOTConversion::ConvertUNCtoDOT(dotted));
        }
        // Other classes (an alias) change nothing.
    });
    if (failed == err::kConnectionLost) {
        svc_.msgBox("Lost connection to KTR!", platform::forms::msgbox::kOkOnly, "Tolvane");
        close();
    }
}

void frmMain::TreeViewRC_KeyPress(int KeyAscii) {
    treeFlag = true;
    historyFlag = false;
    resultListFlag = false;
    if (KeyAscii == 13) TreeViewRC_DblClick();
}

void frmMain::TreeViewRC_DblClick() {
    treeFlag = true;
    historyFlag = false;
    resultListFlag = false;
    // Starting the default action on the node is not built yet.
}

void frmMain::TreeViewRC_MouseDown(int Button, int, double X, double Y) {
    TreeViewRC->clearSelection();
    setStatusText("");
    if (Button != platform::forms::mouse::kRightButton) return;
    const QPoint at(toPixels(X), toPixels(Y));
    QTreeWidgetItem* node = TreeViewRC->nodeAt(at);
    if (!node) return;
    TreeViewRC->selectNode(node);
    // A user or workstation gets the action menu, which is not built yet.
    if (isContainerClass(KeyedTree::imageOf(node)))
        svc_.menus->popup(*mnuTreeManipulate, *TreeViewRC->viewport(), at, 2);
}

void frmMain::mnuRefreshTreeBranch_Click() {
    QString key;
    try {
        QTreeWidgetItem* node = need(TreeViewRC->selectedNode());
        key = KeyedTree::keyOf(node);
        readAgain(*this, node);
    } catch (...) {
        reportUnreadable(*this, key, std::current_exception());
    }
    setMousePointer(pointer::kDefault);
    if (anchorFixed) resumeNext([&] { showSearchAnchor(*this); });
}

void frmMain::mnuSearchAnchor_Click() {
    QAction* item = menuItem("mnuSearchAnchor");
    QTreeWidgetItem* selected = TreeViewRC->selectedNode();
    if (item->isChecked()) {
        if (!selected) {
            item->setChecked(false);
            return;
        }
        const QString key = KeyedTree::keyOf(selected);
        setStatusText(" Searching always from: " + key);
        if (anchorFixed)
            if (QTreeWidgetItem* old = TreeViewRC->node(searchAnchor)) markAnchor(old, false);
        searchAnchor = key;
        txtSearchAnchor->setText(key);
        markAnchor(selected, true);
        anchorFixed = true;
    } else {
        setStatusText("");
        anchorFixed = false;
        const QString old = searchAnchor;
        searchAnchor.clear();
        if (QTreeWidgetItem* node = TreeViewRC->node(old)) markAnchor(node, false);
        txtSearchAnchor->setText(kNoSearchAnchor);
    }
}

}  // namespace tvn
