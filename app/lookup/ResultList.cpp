// What the administrator does in the result list: choosing an item makes it
// the target of the main button and the action menu and shows its
// attributes; a double click or Enter runs the default action on it; the
// right button offers the action menu. Message items cannot be acted on.
#include "app/lookup/ResultList.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidgetItem>

#include "app/actions/RemoteActions.h"
#include "app/browser/AttributeView.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"

namespace tvn {

using platform::forms::KeyedList;
using platform::forms::toPixels;

namespace {

constexpr const char* kUpdateDatabase =
    "Unable to perform Remote Actions - please update the Workstation Database!";

void chooseResultList(frmMain& form) {
    form.treeFlag = false;
    form.historyFlag = false;
    form.resultListFlag = true;
}

// The item becomes the target: its attributes, its name in the name box,
// the default action on the main button.
void showItem(frmMain& form, const QTreeWidgetItem* item) {
    resumeNext([&] { getKTRinfo(form, KeyedList::keyOf(item)); });
    form.ImageCombo1->setEditText(item->text(0));
    form.Command1->setEnabled(true);
    form.showDefaultActionCaption();
}

// The default action on an item. A search hit is itself the chosen object;
// a workstation of a resolved user is acted on for that user.
void actOn(frmMain& form, const QTreeWidgetItem* item) {
    if (refuseKeylessItem(form, item)) return;
    const QString key = KeyedList::keyOf(item);
    if (KeyedList::smallIconOf(item) == "User") {
        form.chosenKey = key;
        form.chosenImage = "User";
    }
    RemoteActions::StartRemoteAction(form, key);
}

}  // namespace

bool isMessageItem(const QTreeWidgetItem* item) {
    return item->text(0).contains("Workstation not in database", Qt::CaseInsensitive);
}

bool refuseKeylessItem(frmMain& form, const QTreeWidgetItem* item) {
    if (!KeyedList::keyOf(item).isEmpty()) return false;
    form.setStatusText(isMessageItem(item) ? QString(kUpdateDatabase) : item->text(0));
    return true;
}

void frmMain::lstMultiple_Click() {
    const QTreeWidgetItem* item = lstMultiple->selectedItem();
    if (!item || KeyedList::keyOf(item).isEmpty()) return;
    showItem(*this, item);
    chooseResultList(*this);
}

void frmMain::lstMultiple_ItemClick(QTreeWidgetItem* Item) {
    if (lstMultiple->count() == 0 || !Item) return;
    chooseResultList(*this);
    if (isMessageItem(Item))
        setStatusText(kUpdateDatabase);
    else
        showItem(*this, Item);
}

void frmMain::lstMultiple_DblClick() {
    const QTreeWidgetItem* item = lstMultiple->selectedItem();
    if (!item) return;
    chooseResultList(*this);
    actOn(*this, item);
}

void frmMain::lstMultiple_KeyPress(int KeyAscii) {
    const QTreeWidgetItem* item = lstMultiple->selectedItem();
    if (!item) return;
    chooseResultList(*this);
    showItem(*this, item);
    if (KeyAscii == 13 && !isMessageItem(item)) actOn(*this, item);
}

void frmMain::lstMultiple_MouseDown(int Button, int, double X, double Y) {
    if (lstMultiple->count() == 0) return;
    setStatusText("");
    if (Button != platform::forms::mouse::kRightButton) return;
    // The menu acts on the item under the pointer.
    const QPoint at(toPixels(X), toPixels(Y));
    if (QTreeWidgetItem* item = lstMultiple->itemAtPoint(at)) {
        lstMultiple->setCurrentItem(item);
        item->setSelected(true);
    }
    if (!lstMultiple->selectedItem()) return;
    chooseResultList(*this);
    svc_.menus->popup(*mnuMain, *lstMultiple->viewport(), at, 2);
}

}  // namespace tvn
