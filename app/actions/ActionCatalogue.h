// The eight remote-management actions: code, caption (menu items and the main
// button), the names of their items in the action menu and the default-action
// menu, the console program that performs them and the text it receives. The
// order is the order of both menus.
#pragma once

#include <QString>
#include <span>

namespace tvn {

struct Action {
    const char* code;             // two letters, compared exactly
    const char* caption;          // "Ping RM Agent"
    const char* actionMenuItem;   // mnuRP
    const char* defaultMenuItem;  // mnuDefPing
    const char* program;          // "drevmin.exe -w"
    const char* consoleText;      // "Ping"
    bool onOlderGeneration;       // offered by the older consoles
};

std::span<const Action> actionCatalogue();
// The action of a code, or nullptr for anything but the eight codes.
const Action* findAction(const QString& code);

}  // namespace tvn
