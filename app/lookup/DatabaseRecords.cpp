// Lines of the workstation database and the address match.
#include "app/lookup/DatabaseRecords.h"

namespace tvn::WorkstationDatabase {

namespace {

constexpr std::string_view kSeparator = "\",\"";

using detail::trimBlanks;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    return true;
}

// The text after the first blank; nothing when there is none.
std::optional<std::string_view> afterFirstBlank(std::string_view text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    return text.substr(blank + 1);
}

}  // namespace

std::string formatRecord(std::string_view workstation, std::string_view address1,
                         std::string_view address2) {
    std::string line;
    line.reserve(workstation.size() + address1.size() + address2.size() + 10);
    line += '"';
    line += workstation;
    line += kSeparator;
    line += address1;
    line += kSeparator;
    line += address2;
    line += "\"\r\n";
    return line;
}

std::optional<Record> parseRecord(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 2 + 2 * kSeparator.size() || line.front() != '"' || line.back() != '"')
        return std::nullopt;
    std::string_view inner = line.substr(1, line.size() - 2);
    // From the right: a workstation's name may hold anything, its addresses
    // hold no quotes.
    const std::size_t second = inner.rfind(kSeparator);
    if (second == std::string_view::npos) return std::nullopt;
    Record record;
    record.address2 = inner.substr(second + kSeparator.size());
    inner = inner.substr(0, second);
    const std::size_t first = inner.rfind(kSeparator);
    if (first == std::string_view::npos) return std::nullopt;
    record.address1 = inner.substr(first + kSeparator.size());
    record.workstation = inner.substr(0, first);
    return record;
}

std::optional<std::string> lookupKey(std::string_view addressValue) {
    const std::string_view value = trimBlanks(addressValue);
    const std::string_view kind = value.substr(0, 3);
    if (kind != "IPX" && kind != "TCP") return std::nullopt;
    std::optional<std::string_view> key = afterFirstBlank(value);
    if (!key) return std::nullopt;
    if (kind == "IPX") {
        // network:node:socket; without colons the whole text is the node.
        const std::size_t colon = key->find(':');
        if (colon != std::string_view::npos) key = key->substr(colon + 1);
        key = key->substr(0, key->find(':'));
    }
    const std::string_view trimmed = trimBlanks(*key);
    if (trimmed.empty()) return std::nullopt;
    return std::string(trimmed);
}

bool holdsAddressPart(std::string_view address, std::string_view key) {
    if (key.empty()) return false;
    return forEachAddressPart(address,
                              [&](std::string_view part) { return equalIgnoringCase(part, key); });
}

std::optional<std::string_view> findWorkstation(std::string_view contents, std::string_view key) {
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        const std::string_view line = contents.substr(0, end);
        contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);
        const std::optional<Record> record = parseRecord(line);
        if (record &&
            (holdsAddressPart(record->address1, key) || holdsAddressPart(record->address2, key)))
            return record->workstation;
    }
    return std::nullopt;
}

}  // namespace tvn::WorkstationDatabase
