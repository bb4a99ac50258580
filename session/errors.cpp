// The string table and the mapping of client codes to messages.
#include "session/errors.h"

#include <unordered_map>

namespace session {
namespace {

using platform::automation::AutomationError;

// Help context of every exception the control raises.
constexpr int kNoHelp = -1;

const std::unordered_map<int, std::string>& stringTable() {
    static const std::unordered_map<int, std::string> table = {
        {1, "Marrel Session Control"},
        {2, "Marrel Session Property Page"},
        {100, "General Properties"},
        {102, "Network Browser"},
        {120, "Generic KTR Object (default)"},
        {121, "AFP Server"},
        {122, "Alias"},
        {123, "Application"},
        {124, "Application (DOS)"},
        {125, "Application (Windows 3.x)"},
        {126, "Application (Windows 95)"},
        {127, "Application (Windows NT)"},
        {128, "Audit:File Object"},
        {129, "Bindery Object"},
        {130, "Bindery Queue"},
        {131, "Computer"},
        {132, "Country"},
        {133, "Device"},
        {134, "Directory Map"},
        {135, "External Entity"},
        {136, "Group"},
        {137, "Locality"},
        {138, "Messaging Server"},
        {139, "KXP Server"},
        {140, "TPX License Server"},
        {141, "TPXLicenseCertificate"},
        {142, "Organization"},
        {143, "Organizational Person"},
        {144, "Organizational Role"},
        {145, "Organizational Unit"},
        {146, "Partition"},
        {147, "Person"},
        {148, "Print Server"},
        {149, "Printer"},
        {150, "Profile"},
        {151, "Queue"},
        {152, "Server"},
        {153, "Template"},
        {154, "Unknown"},
        {155, "User"},
        {156, "Volume"},
        {600, "General Kalder API error : %d"},
        {601, "Connection request attempted with no connection handle attached."},
        {602, "Default connection not retrieved as primary connection is not set."},
        {603, "Invalid parameter passed  !!!"},
        {604, "Buffer overflow while receiving data !!!"},
        {605, "The context is invalid"},
        {606, "Unknown file server"},
        {607, "The object specified is  not a kalder file server"},
        {608, "The object specified is invalid"},
        {609, "Could not connect to the specified server"},
        {610, "The connection could not be licensed on the specified server"},
        {611, "The server specified  is not a DS Server"},
        {612, "Drive mapping error."},
        {613, "Not connected to specified tree or server."},
        {614, "Not authenticated."},
        {615, "Invalid port specified."},
        {616, "Invalid queue full name specified."},
        {617, "Invalid directory name"},
        {618, "Directory entry not found"},
        {619, "Directory field data not found"},
        {620, "Directory field not found"},
        {621, "Directory layout not found"},
        {622, "Directory partition not found"},
        {623, "Directory entry already exists"},
        {624, "Illegal directory field"},
        {625, "Mandatory directory field is missing"},
        {626, "Cannot create objects of this layout within this container"},
        {627, "Directory access violation - No rights"},
        {628, "Directory field already exists"},
        {629, "Directory layout already exists"},
        {630, "This field my only have one value"},
        {631, "Directory full"},
        {632, "Queue I/O failure"},
        {633, "No queue"},
        {634, "No queue server"},
        {635, "No queue rights"},
        {636, "Queue is full"},
        {637, "No queue job"},
        {638, "No queue job rights"},
        {639, "Queue in service"},
        {640, "Queue is not active"},
        {641, "Queue stn not server"},
        {642, "Queue halted"},
        {643, "Queue max servers"},
        {644, "Server out of memory"},
        {645, "Bindery locked"},
        {646, "Invalid file handle"},
        {647, "Invalid bindery security"},
        {648, "Hardware failure"},
        {649, "No read privileges"},
        {650, "No such property"},
        {651, "Specified port has not been captured or is an invalid port "},
    };
    return table;
}

const std::unordered_map<int, int>& clientCodeTable() {
    static const std::unordered_map<int, int> table = {
        {0x8801, 601}, {0x89FC, 606}, {0x8988, 646}, {0x8993, 649}, {0x8996, 644}, {0x8999, 631},
        {0x89D0, 632}, {0x89D1, 633}, {0x89D2, 634}, {0x89D3, 635}, {0x89D4, 636}, {0x89D5, 637},
        {0x89D6, 638}, {0x89D7, 639}, {0x89D8, 640}, {0x89D9, 641}, {0x89DA, 642}, {0x89DB, 643},
        {0x89F1, 647}, {0x89FB, 650}, {0x89FE, 645}, {0x89FF, 648}, {-672, 627},   {-653, 628},
        {-652, 628},   {-615, 628},   {-645, 629},   {-612, 630},   {-611, 626},   {-609, 625},
        {-608, 624},   {-606, 623},   {-605, 622},   {-604, 621},   {-603, 620},   {-602, 619},
        {-601, 618},   {-342, 617},   {-301, 0},     {-150, 0},
    };
    return table;
}

}  // namespace

const std::string& messageText(int number) {
    static const std::string none;
    const auto& table = stringTable();
    const auto it = table.find(number);
    return it == table.end() ? none : it->second;
}

AutomationError messageError(int number) {
    return messageError(number, number);
}

AutomationError messageError(int number, int code) {
    // A code of 0 would read as "no error" to a host that tests the number
    // after the call; the message number stands in for it.
    return AutomationError(code != 0 ? code : number, messageText(number), kNoHelp);
}

void raiseMessage(int number) {
    throw messageError(number);
}

void raiseMessage(int number, int code) {
    throw messageError(number, code);
}

int messageForClientCode(int clientCode) {
    const auto& table = clientCodeTable();
    const auto it = table.find(clientCode);
    return it == table.end() ? msg::GeneralClientError : it->second;
}

AutomationError clientError(int clientCode) {
    const int number = messageForClientCode(clientCode);
    if (number == 0) return AutomationError::standard(platform::automation::error::OutOfMemory);
    if (number == msg::GeneralClientError) {
        std::string text = messageText(number);
        text.replace(text.find("%d"), 2, std::to_string(clientCode));
        return AutomationError(number, text, kNoHelp);
    }
    return messageError(number);
}

void raiseClientError(int clientCode) {
    throw clientError(clientCode);
}

}  // namespace session
