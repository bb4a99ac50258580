// The lines of the workstation database and how a user's address finds its
// workstation in them. A line holds three fields in double quotes, separated
// by commas and ended by CR LF: the workstation's full name and its first and
// second network address (empty when it has one). Everything here works on
// the file's bytes (UTF-8) alone, so that it can be tried on any input.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tvn::WorkstationDatabase {

// The node of a file server's internal network: an address that belongs to
// no workstation, never looked up among several addresses.
inline constexpr std::string_view kServerNode = "000000000001";

// One line of the file. Names and addresses are written as they are, without
// escaping; formatRecord and parseRecord agree for every workstation name and
// for every address without the three characters "," in a row.
struct Record {
    std::string_view workstation;
    std::string_view address1;
    std::string_view address2;
};

// The line of a workstation, with its CR LF.
std::string formatRecord(std::string_view workstation, std::string_view address1,
                         std::string_view address2);

// Reads one line (without its line end; a trailing CR is dropped). A line
// that is not three quoted fields separated by commas gives nothing.
std::optional<Record> parseRecord(std::string_view line);

// The lookup key of a user's address value: for "IPX net:node:socket" the
// node, for "TCP a.b.c.d" the address. The kind is the first three
// characters of the value without its surrounding blanks, compared exactly;
// a value of another kind, or without anything after the blank, has no key.
std::optional<std::string> lookupKey(std::string_view addressValue);

// Addresses are ASCII: their letters compare ignoring case, other bytes
// exactly.
inline char foldAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Calls part(text) for each part of a stored address, in order: the pieces of
// the text after the kind and its blank, separated by colons and without the
// blanks around them ("IPX 0000AC10:00C04F6C8C59:4003" has the parts
// 0000AC10, 00C04F6C8C59 and 4003). Stops when part returns true; answers
// whether it did.
template <class Part>
bool forEachAddressPart(std::string_view address, Part&& part);

// Whether the key equals one whole part of a stored address, ignoring case.
// An empty key matches nothing.
bool holdsAddressPart(std::string_view address, std::string_view key);

// The workstation of the first line of the file one of whose addresses holds
// the key; lines that cannot be read are passed over.
std::optional<std::string_view> findWorkstation(std::string_view contents, std::string_view key);

namespace detail {
inline std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}
}  // namespace detail

template <class Part>
bool forEachAddressPart(std::string_view address, Part&& part) {
    std::string_view data = detail::trimBlanks(address);
    if (const std::size_t blank = data.find(' '); blank != std::string_view::npos)
        data.remove_prefix(blank + 1);
    while (true) {
        const std::size_t colon = data.find(':');
        if (part(detail::trimBlanks(data.substr(0, colon)))) return true;
        if (colon == std::string_view::npos) return false;
        data.remove_prefix(colon + 1);
    }
}

}  // namespace tvn::WorkstationDatabase
