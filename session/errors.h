// The control's string table and how failures reach automation callers: the
// exception carries a message number (or the code a caller must see), the
// message text from the table and help context -1. Codes of the network
// client are turned into message numbers by one table, here.
#pragma once

#include <string>

#include "platform/automation/error.h"

namespace session {

// Message numbers of the string table that code refers to by name.
namespace msg {
inline constexpr int TypeName = 1;  // the control's type name
inline constexpr int PropPageName = 2;
inline constexpr int GeneralPageCaption = 100;
inline constexpr int BrowserPageName = 102;
// The directory classes the network browser has pictures for, one string
// each from here on.
inline constexpr int FirstClassName = 120;
inline constexpr int ClassNameCount = 37;
inline constexpr int GeneralClientError = 600;
inline constexpr int NotAFileServer = 607;
inline constexpr int InvalidObject = 608;
inline constexpr int NotADirectoryServer = 611;
inline constexpr int DriveMapping = 612;
inline constexpr int NotConnected = 613;
inline constexpr int NotAuthenticated = 614;
inline constexpr int InvalidPort = 615;
inline constexpr int InvalidQueueName = 616;
inline constexpr int InvalidDirectoryName = 617;
inline constexpr int PortNotCaptured = 651;
}  // namespace msg

// The text of a message of the string table; "" for a number it lacks.
const std::string& messageText(int number);

// The exception for message `number`; its code is `code`, or the number
// itself when the caller gives none.
platform::automation::AutomationError messageError(int number);
platform::automation::AutomationError messageError(int number, int code);
[[noreturn]] void raiseMessage(int number);
[[noreturn]] void raiseMessage(int number, int code);

// The message number a client code maps to; 0 for the codes that are the
// framework's out-of-memory error.
int messageForClientCode(int clientCode);
// The exception a client code becomes.
platform::automation::AutomationError clientError(int clientCode);
[[noreturn]] void raiseClientError(int clientCode);
// Raises the mapped exception unless the client call succeeded.
inline void check(int clientCode) {
    if (clientCode != 0) raiseClientError(clientCode);
}

}  // namespace session
