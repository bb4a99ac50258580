// The action table.
#include "app/actions/ActionCatalogue.h"

#include <array>

namespace tvn {

namespace {
constexpr std::array<Action, 8> kActions{{
    {"RC", "Remote Control", "mnuRC", "mnuDefRC", "vorplin.exe -w", "Remote Control", true},
    {"RV", "Remote View", "mnuRV", "mnuDefRV", "vorplin.exe -w", "Remote View", false},
    {"RE", "Remote Execute", "mnuRe", "mnuDefRE", "drevmin.exe -w", "Remote Execute", false},
    {"RF", "File Transfer", "mnuFT", "mnuDefFileTransfer", "drevmin.exe -w", "File Transfer",
     false},
    {"CH", "Chat", "mnuCH", "mnuDefCH", "drevmin.exe -w", "Chat", false},
    {"RD", "Diagnostics", "mnuRD", "mnuDefDiag", "drevmin.exe -w", "Diagnostics", false},
    {"RI", "Inventory", "mnuRI", "mnuDefInventory", "drevmin.exe -w", "Inventory", false},
    {"RP", "Ping RM Agent", "mnuRP", "mnuDefPing", "drevmin.exe -w", "Ping", false},
}};
}  // namespace

std::span<const Action> actionCatalogue() {
    return kActions;
}

const Action* findAction(const QString& code) {
    for (const Action& action : kActions)
        if (code == QLatin1String(action.code)) return &action;
    return nullptr;
}

}  // namespace tvn
