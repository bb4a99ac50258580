// The attribute lists of the "KTR Attributes" page, filled from the
// directory's "user" and "workstation" layouts, and the attribute view
// lvwKTRinfo: one row per value of every checked attribute of the chosen
// object, in the order of the list.
#include "app/browser/AttributeView.h"

#include <QComboBox>
#include <QTreeWidgetItem>
#include <optional>

#include "app/lookup/KDDirCtrl.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/keyedlist.h"

namespace tvn {

using platform::forms::KeyedList;

void BuildKTRLayoutList(frmMain& form) {
    for (KeyedList* list : form.lstKTRInfoSelect) list->clearItems();
    const char* const layouts[] = {"user", "workstation"};
    KDDirCtrl& directory = *need(form.KDDirUser.get());
    for (int i = 0; i < 2; ++i)
        for (const QString& field : directory.LayoutFields(layouts[i]))
            form.lstKTRInfoSelect[i]->addItem({}, field);
}

void frmMain::cmbKTRInfoLayout_Click() {
    const bool user = cmbKTRInfoLayout->currentText() == "User";
    lstKTRInfoSelect[0]->setVisible(user);
    lstKTRInfoSelect[1]->setVisible(!user);
}

void getKTRinfo(frmMain& form, const QString& KTRObject) {
    // Each step stands alone: what fails is passed over and the view keeps
    // what the steps before it showed.
    std::optional<KDDirEntry> entry;
    std::exception_ptr openFailure;
    try {
        entry.emplace(need(form.KDDirRCTree.get())->OpenEntry(KTRObject));
    } catch (...) {
        openFailure = std::current_exception();
    }
    QString image;
    if (entry) resumeNext([&] { image = entry->LayoutName(); });
    const KeyedList* chosen = form.lstKTRInfoSelect[image == "Workstation" ? 1 : 0];
    KeyedList* view = form.lvwKTRinfo;
    view->clearItems();
    // A lost connection is the one failure the caller must hear of.
    if (openFailure && errorNumber(openFailure) == err::kConnectionLost)
        std::rethrow_exception(openFailure);
    if (!entry) return;

    for (int row = 0; row < chosen->count(); ++row) {
        const QTreeWidgetItem* item = chosen->itemAt(row);
        if (!KeyedList::isChecked(item)) continue;
        const QString field = item->text(0);
        resumeNext([&] {
            for (const std::optional<QString>& value : entry->GetFieldValues(field)) {
                QTreeWidgetItem* line = view->addItem({}, field);
                if (value) line->setText(1, *value);
            }
        });
    }
}

}  // namespace tvn
