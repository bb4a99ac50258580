// The console version detection.
#include "app/actions/VersionCheck.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/lookup/KDDirCtrl.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"

namespace tvn::VersionCheck {

namespace {
// Its own instance, by the ProgID spelt as the program has always spelt it
// here (ProgIDs do not depend on case).
constexpr const char* kProgId = "KDDirLib.KDdirCtrl.1";
constexpr const char* kNewerFieldType = "RK:Harbex File Transfer";
// The action-menu items the older consoles lack, in the order they are set.
constexpr const char* kNewerActions[] = {"mnuCH", "mnuFT", "mnuRe", "mnuRV",
                                         "mnuRP", "mnuRD", "mnuRI"};
}  // namespace

void CheckConsoleVersion(frmMain& form) {
    const KDDirCtrl control(form.createObject(kProgId));
    const int failure = errorNumberOf([&] { control.FieldTypeName(kNewerFieldType); });
    form.consoleNewGeneration = failure != err::kNoSuchFieldType;

    const bool newer = form.consoleNewGeneration;
    for (const char* item : kNewerActions) form.menuItem(item)->setVisible(newer);
    for (const char* item : kNewerActions) form.menuItem(item)->setEnabled(newer);
    form.Command1->setVisible(newer);
    if (!newer) form.defaultAction = "RC";
    form.lblInvServer->setVisible(newer);
    form.txtInvServer->setVisible(newer);
}

}  // namespace tvn::VersionCheck
