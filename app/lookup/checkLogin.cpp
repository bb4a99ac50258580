// Resolving the user of a single search hit: the result list shows the
// workstations the user is logged in from, one item per address.
#include "app/lookup/checkLogin.h"

#include <optional>

#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/UserWorkstations.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/services.h"

namespace tvn {

void checkLogin(frmMain& form, const QString& userFullName) {
    form.lstMultiple->clearItems();
    QStringList addresses;
    try {
        const KDDirEntry entry = need(form.KDDirWSAddress.get())->OpenEntry(userFullName);
        // An alias or anything else that is not a user leaves the list empty.
        if (entry.LayoutName() != "User") return;
        addresses = networkAddresses(entry);
    } catch (...) {
        form.reportFailure("Could not read the addresses of " + userFullName + ": " +
                           QString::fromStdString(errorDescription(std::current_exception())));
        return;
    }

    if (addresses.value(0).isEmpty()) {
        form.lstMultiple->addItem({}, "User not logged in!", "User");
        form.setStatusText("User not logged in!");
        form.setMousePointer(platform::forms::pointer::kDefault);
        return;
    }
    const std::shared_ptr<const DatabaseIndex> database = openDatabase(form);
    if (!database) return;
    for (const QString& address : addresses) {
        const auto key = WorkstationDatabase::lookupKey(address.toStdString());
        if (!key || *key == WorkstationDatabase::kServerNode) continue;
        addWorkstationItem(form, *database, *key, address);
    }
    form.lstMultiple->setColumnHeader(1, "Workstation(s) currently in use ...");
    form.setStatusText("");
}

}  // namespace tvn
