// The default action: the default-action menu and the two warnings that send
// the administrator to a missing setting on the "Remote Management" page.
#include <QLineEdit>
#include <QPushButton>

#include "app/actions/ActionCatalogue.h"
#include "app/shell/frmMain.h"
#include "platform/forms/services.h"
#include "platform/forms/tabstrip.h"

namespace tvn {

namespace {

void showRemoteManagementSettings(frmMain& form) {
    form.TabStrip->select(2);
    form.TabStripSettings->select(1);
    form.setStatusText("");
}

}  // namespace

void frmMain::showDefaultActionCaption() {
    if (const Action* action = findAction(defaultAction)) cmdRC->setText(action->caption);
}

void frmMain::mnuDefaultAction_Click(const QString& code) {
    if (code == "RI" && txtInvServer->text().isEmpty()) {
        showInventoryWarning();
        return;
    }
    defaultAction = code;
    showDefaultActionCaption();
    cmdRC->setFocus();
}

void frmMain::showInventoryWarning() {
    services().msgBox(
        "In order to invoke the Inventory function either the IP name or the IP address\r\n"
        "of the Inventory Server must be entered.",
        platform::forms::msgbox::kCritical, "Warning!");
    showRemoteManagementSettings(*this);
}

void frmMain::showConsoleFilesMissing() {
    services().msgBox(
        "Could not find files needed to launch Harbex Remote Management!\r\n"
        "These files are usually located on your server beneath \\sys\\public\\.\r\n"
        "Please choose a server where you have installed Harbex files!",
        platform::forms::msgbox::kCritical, "Warning!");
    showRemoteManagementSettings(*this);
}

}  // namespace tvn
