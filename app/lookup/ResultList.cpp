// What the administrator does in the result list: choosing an item makes it
// the target of the main button and the action menu and shows its
// attributes; a double click or Enter runs the default action on it; the
// right button offers the action menu. Message items cannot be acted on.
#include "app/lookup/ResultList.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/actions/RemoteActions.h"
#include "app/browser/AttributeView.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"

namespace tvn {

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
void showItem(frmMain& form, int row) {
    resumeNext([&] { getKTRinfo(form, form.lstMultiple->keyAt(row)); });
    form.ImageCombo1->setEditText(form.lstMultiple->textAt(row));
    form.Command1->setEnabled(true);
    form.showDefaultActionCaption();
}

// The default action on an item. A search hit is itself the chosen object;
// a workstation of a resolved user is acted on for that user.
void actOn(frmMain& form, int row) {
    if (refuseKeylessItem(form, row)) return;
    const QString key = form.lstMultiple->keyAt(row);
    if (form.lstMultiple->smallIconAt(row) == "User") {
        form.chosenKey = key;
        form.chosenImage = "User";
    }
    RemoteActions::StartRemoteAction(form, key);
}

}  // namespace

bool isMessageItem(const QString& text) {
    return text.contains("Workstation not in database", Qt::CaseInsensitive);
}

bool refuseKeylessItem(frmMain& form, int row) {
    if (!form.lstMultiple->keyAt(row).isEmpty()) return false;
    const QString text = form.lstMultiple->textAt(row);
    form.setStatusText(isMessageItem(text) ? QString(kUpdateDatabase) : text);
    return true;
}

void frmMain::lstMultiple_Click() {
    const int row = lstMultiple->selectedRow();
    if (row < 0 || lstMultiple->keyAt(row).isEmpty()) return;
    showItem(*this, row);
    chooseResultList(*this);
}

void frmMain::lstMultiple_ItemClick(int Item) {
    if (lstMultiple->count() == 0 || Item < 0 || Item >= lstMultiple->count()) return;
    chooseResultList(*this);
    if (isMessageItem(lstMultiple->textAt(Item)))
        setStatusText(kUpdateDatabase);
    else
        showItem(*this, Item);
}

void frmMain::lstMultiple_DblClick() {
    const int row = lstMultiple->selectedRow();
    if (row < 0) return;
    chooseResultList(*this);
    actOn(*this, row);
}

void frmMain::lstMultiple_KeyPress(int KeyAscii) {
    const int row = lstMultiple->selectedRow();
    if (row < 0) return;
    chooseResultList(*this);
    showItem(*this, row);
    if (KeyAscii == 13 && !isMessageItem(lstMultiple->textAt(row))) actOn(*this, row);
}

void frmMain::lstMultiple_MouseDown(int Button, int, double X, double Y) {
    if (lstMultiple->count() == 0) return;
    setStatusText("");
    if (Button != platform::forms::mouse::kRightButton) return;
    // The menu acts on the item under the pointer.
    const QPoint at(toPixels(X), toPixels(Y));
    if (const int row = lstMultiple->rowAtPoint(at); row >= 0) lstMultiple->setCurrentRow(row);
    if (lstMultiple->selectedRow() < 0) return;
    chooseResultList(*this);
    svc_.menus->popup(*mnuMain, *lstMultiple->viewport(), at, 2);
}

void frmMain::lstMultiple_ContextMenuKey() {
    if (lstMultiple->count() == 0) return;
    setStatusText("");
    // The current item, as the keys left it, is the one the menu acts on.
    const QModelIndex current = lstMultiple->currentIndex();
    if (current.isValid()) lstMultiple->setCurrentRow(current.row());
    const int row = lstMultiple->selectedRow();
    if (row < 0) return;
    chooseResultList(*this);
    lstMultiple->scrollTo(lstMultiple->model()->index(row, 0));
    const QRect place = lstMultiple->rowRect(row);
    svc_.menus->popup(*mnuMain, *lstMultiple->viewport(),
                      QPoint(place.left() + place.height(), place.bottom()), 2);
}

}  // namespace tvn
