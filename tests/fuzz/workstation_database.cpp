// The workstation database reader on any bytes: the first line is a user's
// address value, the rest the database file. A workstation found for it is
// the name of a line whose addresses hold the key, the index of the file
// finds the same line as reading it line by line (for the key and for the
// value itself), and every line that reads as a record is written back by
// formatRecord into a line that reads the same.
#include <cstdint>
#include <string_view>

#include "app/lookup/DatabaseIndex.h"
#include "app/lookup/DatabaseRecords.h"
#include "fuzzcheck.h"

using namespace tvn::WorkstationDatabase;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view value = input.substr(0, newline);
    const std::string_view contents =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    std::string_view rest = contents;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const auto record = parseRecord(line);
        if (!record || record->address1.find("\",\"") != std::string_view::npos ||
            record->address2.find("\",\"") != std::string_view::npos)
            continue;
        const std::string written =
            formatRecord(record->workstation, record->address1, record->address2);
        FUZZ_CHECK(written.ends_with("\r\n"));
        const auto again = parseRecord(std::string_view(written).substr(0, written.size() - 1));
        FUZZ_CHECK(again && again->workstation == record->workstation &&
                   again->address1 == record->address1 && again->address2 == record->address2);
    }

    // The same line, at the same place in the index's copy of the file.
    const tvn::DatabaseIndex index{std::string(contents)};
    const auto sameAsLines = [&](std::string_view key) {
        const auto byLines = findWorkstation(contents, key);
        const auto indexed = index.findWorkstation(key);
        FUZZ_CHECK(byLines.has_value() == indexed.has_value());
        if (byLines)
            FUZZ_CHECK(*byLines == *indexed && byLines->data() - contents.data() ==
                                                   indexed->data() - index.contents().data());
    };
    sameAsLines(value);

    const auto key = lookupKey(value);
    if (!key) return 0;
    sameAsLines(*key);
    FUZZ_CHECK(!key->empty() && key->front() != ' ' && key->back() != ' ');
    const auto found = findWorkstation(contents, *key);
    if (found) {
        // A view into the file, of a line that holds the key.
        FUZZ_CHECK(found->data() >= contents.data() &&
                   found->data() + found->size() <= contents.data() + contents.size());
        const std::size_t lineStart = contents.rfind('\n', found->data() - contents.data());
        const std::size_t from = lineStart == std::string_view::npos ? 0 : lineStart + 1;
        const auto record = parseRecord(contents.substr(from, contents.find('\n', from) - from));
        FUZZ_CHECK(record && (holdsAddressPart(record->address1, *key) ||
                              holdsAddressPart(record->address2, *key)));
    }
    return 0;
}
