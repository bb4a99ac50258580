// The LDIF source: our own reader splits the file into records, libldap
// parses each record (ldap_parse_ldif_record); this file checks what libldap
// does not, turns the records into schema and entries, and points errors at
// lines.
#include "outside/directory/ldif.h"

#include <cstdio>  // first: <ldif.h> uses FILE without including it

#include <fcntl.h>
#include <ldap.h>
#include <ldif.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "outside/directory/builder.h"
#include "outside/directory/filedescriptor.h"

namespace outside::directory {
namespace {

struct Failure {
    LoadError error;
};

struct ParsedRecord {
    LDIFRecord record{};
    ~ParsedRecord() { ldap_ldif_record_done(&record); }
};

std::string_view view(const berval& bv) {
    return {bv.bv_val, bv.bv_len};
}

// Keywords, attribute types and DNs compared here are ASCII.
bool equalsAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsAscii(text.substr(0, prefix.size()), prefix);
}

// The attribute type without options, for comparing types as written.
bool sameType(std::string_view a, std::string_view b) {
    return equalsAscii(a.substr(0, a.find(';')), b.substr(0, b.find(';')));
}

std::string_view trimmed(std::string_view text) {
    const auto begin = text.find_first_not_of(" \r");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \r") - begin + 1);
}

std::string shortened(std::string_view text) {
    return text.size() > 60 ? std::string(text.substr(0, 57)) + "..." : std::string(text);
}

// The physical lines of a record, each without its line end.
std::vector<std::string_view> physicalLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

struct LogicalLine {
    std::string text;
    unsigned long line;
};

// Unfolds a record into its lines without comments. Used only to check lines
// libldap would take wrongly and to find the line an error is about.
std::vector<LogicalLine> logicalLines(std::string_view record, unsigned long first) {
    std::vector<LogicalLine> out;
    bool inComment = false;
    const auto lines = physicalLines(record);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!line.empty() && line.front() == ' ') {
            if (!inComment && !out.empty()) out.back().text.append(line.substr(1));
            continue;
        }
        inComment = !line.empty() && line.front() == '#';
        if (!inComment && !line.empty()) out.push_back({std::string(line), first + i});
    }
    return out;
}

std::atomic<bool> dropParserMessages{false};

// libldap's record parser, with stderr pointed away while it runs when its
// messages are dropped (glibc's stderr is a plain variable).
int parseRecord(berval* text, unsigned long first, LDIFRecord* record, const char* name) {
    static std::FILE* const sink = std::fopen("/dev/null", "we");
    std::FILE* const saved = stderr;
    const bool drop = sink && dropParserMessages.load(std::memory_order_relaxed);
    if (drop) stderr = sink;
    const int rc =
        ldap_parse_ldif_record(text, first, record, name, LDIF_DEFAULT_ADD | LDIF_NO_CONTROLS);
    if (drop) stderr = saved;
    return rc;
}

// Gathers the lines of a source into records and reads them. The source is
// fed in pieces as it is read; records end at blank lines, and comment lines
// before a record belong to it (as libldap's own record reader takes them,
// whose record parser reads each one). Nothing here opens a file: an
// "include:" line is refused where a record would begin, and a ":<" value
// before it reaches the parser.
class Reader {
public:
    Reader(std::string name, MappingChoice mapping)
        : name_(std::move(name)), mapping_(std::move(mapping)) {}
    // The size of the whole source, when known: room is made for it.
    void expectBytes(std::size_t bytes) { expectedBytes_ = bytes; }
    void feed(std::string_view bytes);
    std::shared_ptr<const Directory> finish();

    [[noreturn]] void fail(LoadStatus status, unsigned long line,
                           const std::string& message) const {
        throw Failure{LoadError{status, name_, line, message}};
    }

private:
    [[noreturn]] void bad(unsigned long line, const std::string& message) const {
        fail(LoadStatus::BadData, line, message);
    }
    void line(std::string_view text);
    void endRecord();
    void record(std::string_view text, unsigned long first, bool firstRecord);
    void checkLines(std::string_view text, unsigned long first) const;
    [[noreturn]] void malformed() const;
    unsigned long lineOf(std::string_view type, std::string_view value) const;
    void readSchema(std::string_view dn);
    bool isSubschema(std::string_view dn) const;

    static constexpr std::size_t kSampleEntries = 4096;

    std::shared_ptr<const Mapping> chosenMapping();
    bool schemaRead_ = false;  // the source opened with its subschema entry

    std::string name_;
    MappingChoice mapping_;
    std::size_t expectedBytes_ = 0;
    std::size_t bytesSeen_ = 0;  // of the lines read so far
    std::unique_ptr<DirectoryBuilder> builder_;
    // Gathering: the unfinished last line of the bytes fed so far, the lines
    // of the record so far, and where it stands.
    std::string partial_;
    std::string gathered_;
    unsigned long lineCount_ = 0;
    unsigned long gatheredFirst_ = 0;
    bool inRecord_ = false;
    bool topComment_ = false;
    bool firstRecord_ = true;
    // The record being read.
    std::string raw_;
    unsigned long first_ = 0;
    std::vector<std::string_view> values_;
    std::vector<DirectoryBuilder::Attribute> attributes_;
};

void Reader::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        if (end == std::string_view::npos) {
            partial_.append(bytes);
            return;
        }
        if (partial_.empty()) {
            line(bytes.substr(0, end));
        } else {
            partial_.append(bytes.substr(0, end));
            line(partial_);
            partial_.clear();
        }
        bytes.remove_prefix(end + 1);
    }
}

// One physical line, without its line end.
void Reader::line(std::string_view text) {
    ++lineCount_;
    bytesSeen_ += text.size() + 1;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.find('\0') != std::string_view::npos) bad(lineCount_, "a NUL byte in the line");
    // A file with CR alone for line ends is one long line; a CR that belongs
    // to a value is written in base64.
    if (text.find('\r') != std::string_view::npos)
        bad(lineCount_, "a carriage return inside the line (lines end in LF or CR LF)");
    if (text.empty()) {
        if (inRecord_) {
            endRecord();
        } else {
            gathered_.clear();  // comments before a blank line belong to no record
            topComment_ = false;
        }
        return;
    }
    if (!inRecord_) {
        if (text.front() == '#') {
            topComment_ = true;
        } else if (!(topComment_ && text.front() == ' ')) {
            inRecord_ = true;
            if (startsWithIgnoringCase(text, "include:"))
                bad(lineCount_, "\"include:\" lines are not allowed");
        }
    }
    if (gathered_.empty()) gatheredFirst_ = lineCount_;
    gathered_.append(text).push_back('\n');
}

void Reader::endRecord() {
    record(gathered_, gatheredFirst_, firstRecord_);
    firstRecord_ = false;
    gathered_.clear();
    inRecord_ = false;
    topComment_ = false;
}

std::shared_ptr<const Directory> Reader::finish() {
    if (!partial_.empty()) {
        line(partial_);
        partial_.clear();
    }
    if (inRecord_) endRecord();
    if (!builder_) bad(0, "no subschema entry (dn: cn=Subschema) and no entries");
    try {
        builder_->addWaiting();
        return builder_->finish();
    } catch (const EntryError& error) {
        bad(0, error.what());
    }
}

void Reader::record(std::string_view text, unsigned long first, bool firstRecord) {
    if (firstRecord) {
        // "version: 1" may open the file, alone or at the top of the first record.
        std::string_view rest = text;
        unsigned long at = first;
        while (!rest.empty() && (rest[0] == '#' || rest[0] == ' ')) {
            const auto end = rest.find('\n');
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            ++at;
        }
        if (startsWithIgnoringCase(rest, "version:")) {
            const auto end = rest.find('\n');
            const std::string_view version = trimmed(rest.substr(8, end - 8));
            if (version != "1")
                bad(at, "unsupported LDIF version \"" + std::string(version) + "\"");
            text = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            first = at + 1;
            if (logicalLines(text, first).empty()) return;
        }
    }
    checkLines(text, first);
    raw_.assign(text);
    first_ = first;

    ParsedRecord parsed;
    berval bv{text.size(), const_cast<char*>(text.data())};
    if (parseRecord(&bv, first, &parsed.record, name_.c_str()) != LDAP_SUCCESS) malformed();
    const LDIFRecord& rec = parsed.record;
    if (rec.lr_op != LDAP_REQ_ADD) {
        bad(first, rec.lr_dn.bv_len == 0 ? "a record without \"dn:\""
                                         : "change records are not supported, only entries");
    }
    const std::string_view dn = view(rec.lr_dn);

    values_.clear();
    attributes_.clear();
    std::vector<std::pair<std::string_view, std::size_t>> counts;
    for (LDAPMod** mod = rec.lrop_mods; mod && *mod; ++mod) {
        std::size_t count = 0;
        for (berval** value = (*mod)->mod_bvalues; value && *value; ++value, ++count) {
            values_.push_back(view(**value));
        }
        counts.emplace_back((*mod)->mod_type, count);
    }
    std::size_t at = 0;
    for (const auto& [type, count] : counts) {
        attributes_.push_back(
            {type, std::span<const std::string_view>(values_.data() + at, count)});
        at += count;
    }

    if (!builder_) return readSchema(dn);
    if (isSubschema(dn))
        bad(first, schemaRead_ ? "a second subschema entry"
                               : "the subschema entry (dn: cn=Subschema) must come before every "
                                 "other entry");
    try {
        builder_->addEntry(dn, attributes_, first);
        if (builder_->size() == kSampleEntries && expectedBytes_ > bytesSeen_) {
            // The first entries tell what the rest of the source will take;
            // room for that and a little more is made at once, so that the
            // tables neither grow step by step nor are trimmed by a copy.
            builder_->reserveScaled(1.08 * static_cast<double>(expectedBytes_) /
                                    static_cast<double>(bytesSeen_));
        }
    } catch (const EntryError& error) {
        bad(error.type.empty() ? first : lineOf(error.type, error.value), error.what());
    }
}

// libldap crashes on a line that starts with ":" (no attribute type) and on a
// lone "-" (a change-record separator) in an entry, and fetches the file of
// a ":<" value; none of them gets that far.
void Reader::checkLines(std::string_view text, unsigned long first) const {
    unsigned long line = first;
    for (std::size_t at = 0; at < text.size(); ++line) {
        if (text[at] == ':') bad(line, "a line without an attribute type");
        if (text[at] == '-' &&
            (at + 1 == text.size() || text[at + 1] == '\n' || text[at + 1] == '\r')) {
            // A change record is known by its "changetype:" line, which
            // comes before its first "-".
            unsigned long changetype = line;
            for (const LogicalLine& before : logicalLines(text.substr(0, at), first)) {
                if (startsWithIgnoringCase(before.text, "changetype:")) {
                    changetype = before.line;
                    break;
                }
            }
            bad(changetype, "change records are not supported, only entries");
        }
        const auto end = text.find('\n', at);
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    if (text.find('<') == std::string_view::npos) return;
    for (const LogicalLine& line : logicalLines(text, first)) {
        const auto colon = line.text.find(':');
        if (colon != std::string::npos && line.text.compare(colon, 2, ":<") == 0) {
            bad(line.line, "values read from a URL (\":<\") are not allowed");
        }
    }
}

// Finds the line libldap refused: the first that its line parser rejects.
void Reader::malformed() const {
    for (const LogicalLine& line : logicalLines(raw_, first_)) {
        std::string copy = line.text;
        berval type{}, value{};
        int freeValue = 0;
        if (ldif_parse_line2(copy.data(), &type, &value, &freeValue) < 0) {
            bad(line.line, "malformed line \"" + shortened(line.text) + "\"");
        }
        if (freeValue) ber_memfree(value.bv_val);
    }
    bad(first_, "malformed record");
}

// The line of the record that holds this value of this attribute.
unsigned long Reader::lineOf(std::string_view type, std::string_view value) const {
    for (const LogicalLine& line : logicalLines(raw_, first_)) {
        std::string copy = line.text;
        berval t{}, v{};
        int freeValue = 0;
        if (ldif_parse_line2(copy.data(), &t, &v, &freeValue) < 0) continue;
        const bool match = sameType(view(t), type) && view(v) == value;
        if (freeValue) ber_memfree(v.bv_val);
        if (match) return line.line;
    }
    return first_;
}

bool Reader::isSubschema(std::string_view dn) const {
    if (equalsAscii(dn, "cn=subschema")) return true;
    for (const auto& attribute : attributes_) {
        if (!sameType(attribute.type, "objectClass")) continue;
        for (std::string_view value : attribute.values) {
            if (equalsAscii(value, "subschema")) return true;
        }
    }
    return false;
}

std::shared_ptr<const Mapping> Reader::chosenMapping() {
    try {
        return mapping_.resolve();
    } catch (const MappingError& error) {
        fail(LoadStatus::BadData, 0, std::string("the mapping cannot be used: ") + error.what());
    }
}

void Reader::readSchema(std::string_view dn) {
    if (!isSubschema(dn)) {
        // An export without its schema is read through the mapping's classes.
        auto mapping = chosenMapping();
        if (mapping && mapping->ktr)
            bad(first_,
                "the subschema entry (dn: cn=Subschema) must come before every other entry "
                "(the mapping is ktr)");
        if (!mapping) mapping = builtinMapping("standard");
        builder_ = std::make_unique<DirectoryBuilder>(Schema::parse({}, {}, mapping), name_, true);
        try {
            builder_->addEntry(dn, attributes_, first_);
        } catch (const EntryError& error) {
            bad(error.type.empty() ? first_ : lineOf(error.type, error.value), error.what());
        }
        return;
    }
    std::vector<std::string_view> attributeTypes, objectClasses;
    for (const auto& attribute : attributes_) {
        if (sameType(attribute.type, "attributeTypes")) {
            attributeTypes.insert(attributeTypes.end(), attribute.values.begin(),
                                  attribute.values.end());
        } else if (sameType(attribute.type, "objectClasses")) {
            objectClasses.insert(objectClasses.end(), attribute.values.begin(),
                                 attribute.values.end());
        }
    }
    schemaRead_ = true;
    auto mapping = chosenMapping();
    if (!mapping) {
        // A schema written for us names its classes itself.
        const bool ours = std::any_of(
            objectClasses.begin(), objectClasses.end(),
            [](std::string_view d) { return d.find("X-KTR-NAME") != std::string_view::npos; });
        mapping = builtinMapping(ours ? "ktr" : "standard");
    }
    try {
        builder_ = std::make_unique<DirectoryBuilder>(
            Schema::parse(attributeTypes, objectClasses, mapping), name_);
    } catch (const SchemaError& error) {
        const auto& list = error.list == "attributeTypes" ? attributeTypes : objectClasses;
        bad(error.index < list.size() ? lineOf(error.list, list[error.index]) : first_,
            error.what());
    } catch (const EntryError& error) {
        bad(first_, error.what());
    }
}

}  // namespace

std::string LoadError::describe() const {
    std::string out = source;
    if (line) out.append(":").append(std::to_string(line));
    return out.append(": ").append(message);
}

namespace {

std::string bytesText(std::uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

// Reads the file into the reader. It is opened without waiting (a FIFO or a
// device would block open() or never end) and must be a regular file before
// a byte is read.
void readFile(Reader& reader, const std::filesystem::path& path, const LoadLimits& limits) {
    FileDescriptor file;
    do {
        file.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd < 0)
        reader.fail(LoadStatus::SourceLost, 0, std::string("cannot open: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        reader.fail(LoadStatus::SourceLost, 0, std::string("cannot read: ") + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) reader.fail(LoadStatus::SourceLost, 0, "not a regular file");
    const auto tooLarge = [&](std::uint64_t size) {
        std::string message = "the file is larger than the limit of " +
                              bytesText(limits.maxSourceBytes) + " (" + bytesText(size);
        if (size != static_cast<std::uint64_t>(st.st_size)) message += " read so far";
        message += ")";
        if (!limits.limitName.empty()) message += "; the limit is " + limits.limitName;
        reader.fail(LoadStatus::SourceLost, 0, message);
    };
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > limits.maxSourceBytes) tooLarge(size);
    reader.expectBytes(static_cast<std::size_t>(size));

    // A file that grows while it is read is cut off at the limit.
    std::vector<char> buffer(1 << 20);
    std::uint64_t total = 0;
    while (true) {
        const ssize_t n = ::read(file.fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            reader.fail(LoadStatus::SourceLost, 0,
                        std::string("read error: ") + std::strerror(errno));
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
        if (total > limits.maxSourceBytes) tooLarge(total);
        reader.feed({buffer.data(), static_cast<std::size_t>(n)});
    }
}

// libldap complains about malformed text on stderr; our errors name the
// file and the line instead. The complaints that go through liblber's log
// function are dropped here; the line that the record parser prints itself
// cannot be stopped from a library (kddir-check keeps it out of its output).
void quietLibldap() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const BER_LOG_PRINT_FN drop = [](const char*) {};
        ber_set_option(nullptr, LBER_OPT_LOG_PRINT_FN, reinterpret_cast<const void*>(drop));
    });
}

}  // namespace

void dropLibldapRecordMessages(bool drop) {
    dropParserMessages.store(drop);
}

LoadResult loadLdif(const std::filesystem::path& path, const LoadLimits& limits) {
    quietLibldap();
    try {
        Reader reader(path.string(), limits.mapping);
        readFile(reader, path, limits);
        return LoadResult{reader.finish(), {}};
    } catch (const Failure& failure) {
        return LoadResult{nullptr, failure.error};
    }
}

LoadResult loadLdifText(std::string_view text, const std::string& name,
                        const MappingChoice& mapping) {
    quietLibldap();
    try {
        Reader reader(name, mapping);
        reader.expectBytes(text.size());
        reader.feed(text);
        return LoadResult{reader.finish(), {}};
    } catch (const Failure& failure) {
        return LoadResult{nullptr, failure.error};
    }
}

}  // namespace outside::directory
