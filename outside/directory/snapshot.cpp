// Reading and writing directory snapshots: the tables of a Directory as they
// lie in memory, written in large pieces and used again where they lie in
// the mapped file (no copy, so loading peaks at what it keeps).
#include "outside/directory/snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <future>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "outside/directory/filedescriptor.h"
#include "platform/text/casefold.h"

namespace outside::directory {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'T', 'V', 'N', 'D', 'I', 'R', 'S', 'N'};
constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::string_view kProbeName = "tolvane";

constexpr std::uint64_t kMulA = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kMulB = 0xD6E8FEB86659FD93ull;
constexpr std::uint64_t kMulC = 0xBF58476D1CE4E5B9ull;
constexpr std::uint64_t kMulD = 0x94D049BB133111EBull;

std::uint64_t rotl(std::uint64_t v, int r) {
    return (v << r) | (v >> (64 - r));
}

std::uint64_t load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint64_t avalanche(std::uint64_t h) {
    h ^= h >> 31;
    h *= kMulC;
    h ^= h >> 29;
    h *= kMulD;
    return h ^ (h >> 32);
}

std::uint64_t padded(std::uint64_t bytes) {
    return (bytes + 7) & ~std::uint64_t{7};
}

}  // namespace

Checksum::Checksum() : lanes_{kMulA, kMulB, kMulC, kMulD} {}

void Checksum::block(const unsigned char* data) {
    // Four independent lanes keep the multipliers busy.
    for (std::size_t i = 0; i < lanes_.size(); ++i)
        lanes_[i] = rotl(lanes_[i] + load64(data + 8 * i) * kMulB, 31) * kMulA;
}

void Checksum::update(const void* data, std::size_t size) {
    if (size == 0) return;
    auto p = static_cast<const unsigned char*>(data);
    total_ += size;
    if (pendingSize_ > 0) {
        const std::size_t take = std::min(size, pending_.size() - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, p, take);
        pendingSize_ += take;
        p += take;
        size -= take;
        if (pendingSize_ < pending_.size()) return;
        block(pending_.data());
        pendingSize_ = 0;
    }
    for (; size >= pending_.size(); p += pending_.size(), size -= pending_.size()) block(p);
    if (size > 0) std::memcpy(pending_.data(), p, size);
    pendingSize_ = size;
}

std::uint64_t Checksum::value() const {
    std::uint64_t h = total_ * kMulD;
    for (std::uint64_t lane : lanes_) h = (h ^ avalanche(lane)) * kMulA + kMulC;
    const unsigned char* p = pending_.data();
    std::size_t left = pendingSize_;
    for (; left >= 8; p += 8, left -= 8) h = rotl(h ^ avalanche(load64(p)), 27) * kMulA + kMulB;
    if (left > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, left);
        h = rotl(h ^ avalanche(word ^ left), 23) * kMulC;
    }
    return avalanche(h);
}

std::uint64_t checksum(const void* data, std::size_t size) {
    Checksum sum;
    sum.update(data, size);
    return sum.value();
}

std::uint64_t checksumPiece(std::uint64_t payloadBytes) {
    // Whole blocks of the checksum, and never empty, so that every piece but
    // the last few is taken at full speed.
    const std::uint64_t piece = (payloadBytes + kChecksumPieces - 1) / kChecksumPieces;
    return std::max<std::uint64_t>(32, (piece + 31) & ~std::uint64_t{31});
}

PayloadChecksum::PayloadChecksum(std::uint64_t payloadBytes)
    : pieceBytes_(checksumPiece(payloadBytes)), leftInPiece_(pieceBytes_) {}

void PayloadChecksum::update(const void* data, std::size_t size) {
    auto p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (leftInPiece_ == 0 && piece_ + 1 < kChecksumPieces) {
            sums_[piece_++] = current_.value();
            current_ = Checksum();
            leftInPiece_ = pieceBytes_;
        }
        // The last piece takes whatever a wrong total leaves over.
        const bool last = piece_ + 1 == kChecksumPieces;
        const std::size_t take =
            last ? size : static_cast<std::size_t>(std::min<std::uint64_t>(size, leftInPiece_));
        current_.update(p, take);
        leftInPiece_ -= std::min<std::uint64_t>(take, leftInPiece_);
        p += take;
        size -= take;
    }
}

std::uint64_t PayloadChecksum::value() const {
    std::array<std::uint64_t, kChecksumPieces> sums = sums_;
    const std::uint64_t empty = Checksum().value();
    for (std::size_t i = piece_ + 1; i < kChecksumPieces; ++i) sums[i] = empty;
    sums[piece_] = current_.value();
    return checksum(sums.data(), sizeof sums);
}

std::uint64_t payloadChecksum(const void* data, std::size_t size) {
    PayloadChecksum sum(size);
    sum.update(data, size);
    return sum.value();
}

std::uint64_t snapshotSectionOffset(const SnapshotHeader& header, SnapshotSection section) {
    std::uint64_t offset = sizeof(SnapshotHeader);
    for (std::size_t s = 0; s < static_cast<std::size_t>(section); ++s)
        offset += padded(header.sectionBytes[s]);
    return offset;
}

std::optional<SourceStamp> stampOf(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return SourceStamp{
        static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
        static_cast<std::uint64_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
        static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec};
}

fs::path snapshotFolder() {
    if (const char* setting = std::getenv("KDDIR_SNAPSHOT"); setting && *setting) {
        const std::string value = platform::text::foldCase(setting);
        if (value == "0" || value == "off" || value == "no" || value == "false") return {};
    }
    fs::path base;
    // A relative XDG_CACHE_HOME is invalid and ignored, as the basedir rules say.
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/') {
        base = cache;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        base = fs::path(home) / ".cache";
    } else {
        return {};
    }
    return base / "tolvane" / "directory";
}

fs::path snapshotFile(const fs::path& folder, const std::string& canonicalSource) {
    // The file's own name keeps the folder readable; the checksum of the
    // whole path tells sources of one name apart.
    std::string stem = fs::path(canonicalSource).filename().string().substr(0, 64);
    for (char& c : stem) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain) c = '_';
    }
    char hex[17];
    std::snprintf(
        hex, sizeof hex, "%016llx",
        static_cast<unsigned long long>(checksum(canonicalSource.data(), canonicalSource.size())));
    return folder / (stem + "-" + hex + ".snap");
}

namespace {

// The schema as a byte string: every class and attribute type with what
// defines it. The indexes by name and the layouts are derived again on
// reading (Schema::reindex).
class SchemaWriter {
public:
    void number(std::uint32_t value) { bytes_.append(reinterpret_cast<const char*>(&value), 4); }
    void text(const std::string& value) {
        number(static_cast<std::uint32_t>(value.size()));
        bytes_.append(value);
    }
    void texts(const std::vector<std::string>& values) {
        number(static_cast<std::uint32_t>(values.size()));
        for (const std::string& value : values) text(value);
    }
    void numbers(const std::vector<std::uint32_t>& values) {
        number(static_cast<std::uint32_t>(values.size()));
        for (std::uint32_t value : values) number(value);
    }
    std::string take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

// Reads what SchemaWriter wrote; throws std::runtime_error at the first
// number or text that runs past the end.
class SchemaReader {
public:
    explicit SchemaReader(std::string_view bytes) : bytes_(bytes) {}
    std::uint32_t number() {
        std::uint32_t value;
        std::memcpy(&value, take(4).data(), 4);
        return value;
    }
    std::string text() { return std::string(take(number())); }
    std::vector<std::string> texts() {
        std::vector<std::string> out(count(4));
        for (std::string& value : out) value = text();
        return out;
    }
    std::vector<std::uint32_t> numbers(std::uint32_t below) {
        std::vector<std::uint32_t> out(count(4));
        for (std::uint32_t& value : out) value = bounded(below);
        return out;
    }
    std::uint32_t bounded(std::uint32_t below) {
        const std::uint32_t value = number();
        if (value >= below) throw std::runtime_error("a number out of range");
        return value;
    }
    bool atEnd() const { return bytes_.empty(); }

private:
    // A count of items of at least minimum bytes each, which must fit.
    std::size_t count(std::size_t minimum) {
        const std::uint32_t n = number();
        if (n > bytes_.size() / minimum) throw std::runtime_error("a count past the end");
        return n;
    }
    std::string_view take(std::size_t size) {
        if (size > bytes_.size()) throw std::runtime_error("the schema is cut short");
        const std::string_view out = bytes_.substr(0, size);
        bytes_.remove_prefix(size);
        return out;
    }
    std::string_view bytes_;
};

bool readFully(int fd, void* into, std::size_t bytes, Checksum* sum) {
    auto p = static_cast<char*>(into);
    while (bytes > 0) {
        const ssize_t n = ::read(fd, p, std::min(bytes, kChunk));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (sum) sum->update(p, static_cast<std::size_t>(n));
        p += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFully(int fd, const void* from, std::size_t bytes, PayloadChecksum* sum) {
    auto p = static_cast<const char*>(from);
    if (sum) sum->update(p, bytes);
    while (bytes > 0) {
        const ssize_t n = ::write(fd, p, std::min(bytes, kChunk));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

template <class T>
constexpr bool kPlain =
    std::is_trivially_copyable_v<T>&& std::has_unique_object_representations_v<T>;

std::string_view asBytes(const auto& table) {
    return {reinterpret_cast<const char*>(table.data()), table.size() * sizeof(table[0])};
}

std::uint32_t nameHashProbe() {
    return nameHash(0, kProbeName);
}

}  // namespace

// Friend of Directory and of the tables it holds: the only code besides
// DirectoryBuilder that knows their layout.
class DirectorySnapshot {
public:
    static std::shared_ptr<const Directory> read(int fd, std::uint64_t fileSize,
                                                 const std::string& source,
                                                 const SourceStamp& stamp);
    static bool write(int fd, const std::string& source, const SourceStamp& stamp,
                      const Directory& directory);

private:
    using Slot = NameTable::Slot;
    static_assert(kPlain<EntryId> && kPlain<Directory::TextRef> && kPlain<Directory::StoredValue> &&
                  kPlain<Slot> && kPlain<std::uint16_t>);

    static constexpr std::size_t kElementSize[kSnapshotSections] = {
        1,                               // Source
        1,                               // Schema
        1,                               // Text
        sizeof(EntryId),                 // Parent
        sizeof(Directory::TextRef),      // Name
        sizeof(Directory::TextRef),      // Folded
        sizeof(std::uint16_t),           // Class
        sizeof(EntryId),                 // SubtreeEnd
        sizeof(std::uint32_t),           // ChildStart
        sizeof(EntryId),                 // ChildList
        sizeof(std::uint32_t),           // ValueStart
        sizeof(Directory::StoredValue),  // Values
        sizeof(EntryId),                 // ByName
        sizeof(Slot),                    // NameSlots
        sizeof(EntryId),                 // Trees
    };
    static_assert(std::ranges::none_of(kElementSize, [](std::size_t size) { return size == 0; }),
                  "every section has its element size");

    static std::string encodeSchema(const Schema& schema);
    static bool decodeSchema(std::string_view bytes, Schema& schema);
    static bool headerFits(const SnapshotHeader& header, std::uint64_t fileSize,
                           const std::string& source, const SourceStamp& stamp);
    static bool consistent(const Directory& dir);
};

static_assert(kPlain<SnapshotHeader>, "the header's checksum covers no padding");

std::string DirectorySnapshot::encodeSchema(const Schema& schema) {
    SchemaWriter out;
    out.number(static_cast<std::uint32_t>(schema.attributes_.size()));
    for (const AttributeType& type : schema.attributes_) {
        out.text(type.name);
        out.text(type.oid);
        out.texts(type.ldapNames);
        out.text(type.syntax);
        out.number((type.singleValue ? 1u : 0u) | (type.declared ? 2u : 0u));
    }
    out.number(static_cast<std::uint32_t>(schema.classes_.size()));
    for (const ObjectClass& cls : schema.classes_) {
        out.text(cls.name);
        out.text(cls.oid);
        out.texts(cls.ldapNames);
        out.number(static_cast<std::uint32_t>(cls.kind));
        out.number((cls.declared ? 1u : 0u) | (cls.named ? 2u : 0u));
        out.numbers(cls.superclasses);
        out.numbers(cls.must);
        out.numbers(cls.may);
    }
    out.number(schema.top_);
    out.number(schema.objectClassAttribute_);
    return out.take();
}

bool DirectorySnapshot::decodeSchema(std::string_view bytes, Schema& schema) {
    try {
        SchemaReader in(bytes);
        const std::uint32_t attributes = in.number();
        if (attributes > bytes.size()) return false;
        schema.attributes_.resize(attributes);
        for (AttributeType& type : schema.attributes_) {
            type.name = in.text();
            type.oid = in.text();
            type.ldapNames = in.texts();
            type.syntax = in.text();
            const std::uint32_t flags = in.bounded(4);
            type.singleValue = flags & 1u;
            type.declared = flags & 2u;
        }
        const std::uint32_t classes = in.number();
        if (classes > bytes.size() || classes > std::numeric_limits<std::uint16_t>::max())
            return false;
        schema.classes_.resize(classes);
        for (ObjectClass& cls : schema.classes_) {
            cls.name = in.text();
            cls.oid = in.text();
            cls.ldapNames = in.texts();
            cls.kind = static_cast<ObjectClass::Kind>(
                in.bounded(static_cast<std::uint32_t>(ObjectClass::Kind::Auxiliary) + 1));
            const std::uint32_t flags = in.bounded(4);
            cls.declared = flags & 1u;
            cls.named = flags & 2u;
            cls.superclasses = in.numbers(classes);
            cls.must = in.numbers(attributes);
            cls.may = in.numbers(attributes);
        }
        schema.top_ = in.bounded(classes);
        schema.objectClassAttribute_ = in.bounded(attributes);
        if (!in.atEnd()) return false;
        schema.reindex();
        return true;
    } catch (const std::runtime_error&) {  // SchemaError (a SUP cycle) included
        return false;
    }
}

bool DirectorySnapshot::headerFits(const SnapshotHeader& h, std::uint64_t fileSize,
                                   const std::string& source, const SourceStamp& stamp) {
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.byteOrder != kSnapshotByteOrder ||
        h.version != kSnapshotVersion ||
        h.headerChecksum != checksum(&h, offsetof(SnapshotHeader, headerChecksum))) {
        return false;
    }
    if (h.device != stamp.device || h.inode != stamp.inode || h.size != stamp.size ||
        h.modifiedNs != stamp.modifiedNs || h.changedNs != stamp.changedNs ||
        h.sourceChecksum != checksum(source.data(), source.size()) ||
        h.nameHashProbe != nameHashProbe() || h.entries >= kNoEntry) {
        return false;
    }
    // Every section within the file, a whole number of its elements, and
    // as many as the entries call for.
    std::uint64_t payload = 0;
    std::uint64_t count[kSnapshotSections];
    for (std::size_t s = 0; s < kSnapshotSections; ++s) {
        if (h.sectionBytes[s] > fileSize || h.sectionBytes[s] % kElementSize[s] != 0) return false;
        count[s] = h.sectionBytes[s] / kElementSize[s];
        payload += padded(h.sectionBytes[s]);
    }
    if (payload != h.payloadBytes || fileSize != sizeof(SnapshotHeader) + payload) return false;
    using S = SnapshotSection;
    const auto of = [&count](S s) { return count[static_cast<std::size_t>(s)]; };
    const std::uint64_t n = h.entries;
    for (S s : {S::Parent, S::Name, S::Folded, S::Class, S::SubtreeEnd, S::ByName}) {
        if (of(s) != n) return false;
    }
    const std::uint64_t slots = of(S::NameSlots);
    return of(S::Source) == source.size() && of(S::ChildStart) == n + 1 &&
           of(S::ValueStart) == n + 1 && of(S::ChildList) + of(S::Trees) == n &&
           of(S::Values) < kNoEntry &&
           // The hash table's probes end at a free slot.
           (n == 0 ? slots == 0 || (slots & (slots - 1)) == 0
                   : slots > n && (slots & (slots - 1)) == 0);
}

bool DirectorySnapshot::consistent(const Directory& d) {
    const std::size_t n = d.parent_.size();
    const std::uint64_t textBytes = d.text_.size();
    const auto inText = [textBytes](Directory::TextRef ref) {
        return std::uint64_t{ref.offset} + ref.length <= textBytes;
    };
    const std::size_t classes = d.schema_.classCount();
    const std::size_t attributes = d.schema_.attributeCount();
    if (d.childStart_[0] != 0 || d.childStart_[n] != d.childList_.size() || d.valueStart_[0] != 0 ||
        d.valueStart_[n] != d.values_.size()) {
        return false;
    }
    std::size_t roots = 0;
    for (EntryId i = 0; i < n; ++i) {
        const EntryId parent = d.parent_[i];
        // Directory order: a parent before its entries, a subtree in one piece.
        if (parent == kNoEntry) {
            ++roots;
        } else if (parent >= i || d.subtreeEnd_[i] > d.subtreeEnd_[parent]) {
            return false;
        }
        if (d.subtreeEnd_[i] <= i || d.subtreeEnd_[i] > n) return false;
        if (!inText(d.name_[i]) || !inText(d.folded_[i]) || d.class_[i] >= classes) return false;
        // Every start within its list before the list is read through it.
        if (d.childStart_[i] > d.childStart_[i + 1] || d.valueStart_[i] > d.valueStart_[i + 1] ||
            d.childStart_[i + 1] > d.childList_.size() || d.valueStart_[i + 1] > d.values_.size())
            return false;
        for (std::uint32_t c = d.childStart_[i]; c < d.childStart_[i + 1]; ++c) {
            const EntryId child = d.childList_[c];
            if (child >= n || d.parent_[child] != i) return false;
        }
    }
    for (const Directory::StoredValue& value : d.values_) {
        if (value.attribute >= attributes || !inText(value.text)) return false;
    }
    std::vector<bool> seen(n, false);
    for (EntryId id : d.byName_) {
        if (id >= n || seen[id]) return false;
        seen[id] = true;
    }
    // Counted without a branch: whether a slot is free is a coin toss.
    std::size_t used = 0;
    std::size_t outside = 0;
    for (const Slot& slot : d.table_.slots_) {
        used += slot.id < n;
        outside += slot.id >= n && slot.id != kNoEntry;
    }
    if (outside != 0) return false;
    if (used != n || roots != d.trees_.size()) return false;
    EntryId previous = kNoEntry;
    for (EntryId tree : d.trees_) {
        if (tree >= n || d.parent_[tree] != kNoEntry || (previous != kNoEntry && tree <= previous))
            return false;
        previous = tree;
    }
    return true;
}

namespace {

// The whole file in memory of its own, for a file system that cannot map it;
// an empty mapping when even that fails.
MappedFile copyOf(int fd, std::size_t size) {
    void* address =
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) return {};
    MappedFile copy(address, size);
    if (::lseek(fd, 0, SEEK_SET) != 0 || !readFully(fd, address, size, nullptr)) return {};
    ::mprotect(address, size, PROT_READ);
    return copy;
}

// The pieces of PayloadChecksum, each taken by whoever comes first: a thread
// of its own and the reader once its other checks are done.
class PieceSums {
public:
    PieceSums(const unsigned char* payload, std::uint64_t bytes)
        : payload_(payload), bytes_(bytes), pieceBytes_(checksumPiece(bytes)) {}
    void work() {
        for (std::size_t i; (i = next_.fetch_add(1)) < kChecksumPieces;) {
            const std::uint64_t begin = std::min(bytes_, i * pieceBytes_);
            const std::uint64_t end =
                i + 1 == kChecksumPieces ? bytes_ : std::min(bytes_, begin + pieceBytes_);
            sums_[i] = checksum(payload_ + begin, static_cast<std::size_t>(end - begin));
        }
    }
    std::uint64_t value() const { return checksum(sums_.data(), sizeof sums_); }

private:
    const unsigned char* payload_;
    std::uint64_t bytes_;
    std::uint64_t pieceBytes_;
    std::atomic<std::size_t> next_{0};
    std::array<std::uint64_t, kChecksumPieces> sums_{};
};

}  // namespace

std::shared_ptr<const Directory> DirectorySnapshot::read(int fd, std::uint64_t fileSize,
                                                         const std::string& source,
                                                         const SourceStamp& stamp) {
    SnapshotHeader header{};
    if (fileSize < sizeof header || fileSize > std::numeric_limits<std::size_t>::max() ||
        !readFully(fd, &header, sizeof header, nullptr) ||
        !headerFits(header, fileSize, source, stamp)) {
        return nullptr;
    }
    // The tables are used where they lie in the file, mapped private and
    // read-only: nothing is copied, and pages the file cache holds cost no
    // memory of ours. Snapshots are only ever replaced by a rename, never
    // rewritten in place, so the mapped file keeps its size and content for
    // as long as it is mapped (a file cut short under a mapping would end
    // the process at the first read past its new end); the folder and the
    // file are the user's alone, which readSnapshot checked.
    const auto size = static_cast<std::size_t>(fileSize);
    MappedFile mapping;
    if (void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        address != MAP_FAILED) {
        mapping = MappedFile(address, size);
    } else {
        mapping = copyOf(fd, size);
    }
    // The tables are read through the header as mapped, which must be the
    // one checked above, of a file that still has the size checked.
    struct stat now {};
    if (mapping.size() != size || std::memcmp(mapping.bytes(), &header, sizeof header) != 0 ||
        ::fstat(fd, &now) != 0 || static_cast<std::uint64_t>(now.st_size) != fileSize) {
        return nullptr;
    }

    std::shared_ptr<Directory> dir(new Directory());
    const unsigned char* const base = mapping.bytes();
    const std::size_t n = header.entries;
    using S = SnapshotSection;
    const auto bytes = [&header](S s) {
        return static_cast<std::size_t>(header.sectionBytes[static_cast<std::size_t>(s)]);
    };
    const auto at = [&](S s) { return base + snapshotSectionOffset(header, s); };
    const auto column = [&]<class T>(Column<T>& into, S s) {
        into = Column<T>::view(reinterpret_cast<const T*>(at(s)), bytes(s) / sizeof(T));
    };
    const std::string_view sourceStored(reinterpret_cast<const char*>(at(S::Source)),
                                        bytes(S::Source));
    const std::string_view schemaBytes(reinterpret_cast<const char*>(at(S::Schema)),
                                       bytes(S::Schema));
    dir->text_ = TextStore::view(reinterpret_cast<const char*>(at(S::Text)), bytes(S::Text));
    column(dir->parent_, S::Parent);
    column(dir->name_, S::Name);
    column(dir->folded_, S::Folded);
    column(dir->class_, S::Class);
    column(dir->subtreeEnd_, S::SubtreeEnd);
    column(dir->childStart_, S::ChildStart);
    column(dir->childList_, S::ChildList);
    column(dir->valueStart_, S::ValueStart);
    column(dir->values_, S::Values);
    column(dir->byName_, S::ByName);
    column(dir->table_.slots_, S::NameSlots);
    dir->table_.count_ = n;
    column(dir->trees_, S::Trees);
    dir->mapping_ = std::move(mapping);

    // The payload's checksum is taken beside the checks of the tables, which
    // read no byte outside them however damaged they are: on a large
    // snapshot both take long, and a second core shares the work.
    PieceSums sums(base + sizeof header, header.payloadBytes);
    constexpr std::uint64_t kAlongside = std::uint64_t{32} << 20;
    std::future<void> helper;
    if (header.payloadBytes >= kAlongside) {
        try {
            helper = std::async(std::launch::async, [&sums] { sums.work(); });
        } catch (const std::system_error&) {  // no thread to be had: the reader alone
        }
    }
    const bool sound =
        sourceStored == source && decodeSchema(schemaBytes, dir->schema_) && consistent(*dir);
    sums.work();
    if (helper.valid()) helper.get();
    if (!sound || sums.value() != header.payloadChecksum) return nullptr;
    dir->source_ = source;
    return dir;
}

bool DirectorySnapshot::write(int fd, const std::string& source, const SourceStamp& stamp,
                              const Directory& d) {
    const std::string schema = encodeSchema(d.schema_);
    const std::string_view sections[kSnapshotSections] = {
        source,
        schema,
        std::string_view(d.text_.data(), d.text_.size()),
        asBytes(d.parent_),
        asBytes(d.name_),
        asBytes(d.folded_),
        asBytes(d.class_),
        asBytes(d.subtreeEnd_),
        asBytes(d.childStart_),
        asBytes(d.childList_),
        asBytes(d.valueStart_),
        asBytes(d.values_),
        asBytes(d.byName_),
        asBytes(d.table_.slots_),
        asBytes(d.trees_),
    };
    SnapshotHeader header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.byteOrder = kSnapshotByteOrder;
    header.version = kSnapshotVersion;
    header.device = stamp.device;
    header.inode = stamp.inode;
    header.size = stamp.size;
    header.modifiedNs = stamp.modifiedNs;
    header.changedNs = stamp.changedNs;
    header.sourceChecksum = checksum(source.data(), source.size());
    header.nameHashProbe = nameHashProbe();
    header.entries = static_cast<std::uint32_t>(d.size());

    for (std::size_t s = 0; s < kSnapshotSections; ++s) {
        header.sectionBytes[s] = sections[s].size();
        header.payloadBytes += padded(sections[s].size());
    }
    // Past the process's file size limit the kernel would end the process.
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        sizeof header + header.payloadBytes > limit.rlim_cur) {
        return false;
    }

    // The header goes in last, once the payload's checksum is known.
    if (::lseek(fd, sizeof header, SEEK_SET) != static_cast<off_t>(sizeof header)) return false;
    PayloadChecksum sum(header.payloadBytes);
    static constexpr char kZeros[8] = {};
    for (std::size_t s = 0; s < kSnapshotSections; ++s) {
        if (!writeFully(fd, sections[s].data(), sections[s].size(), &sum) ||
            !writeFully(fd, kZeros, padded(sections[s].size()) - sections[s].size(), &sum))
            return false;
    }
    header.payloadChecksum = sum.value();
    header.headerChecksum = checksum(&header, offsetof(SnapshotHeader, headerChecksum));
    return ::lseek(fd, 0, SEEK_SET) == 0 && writeFully(fd, &header, sizeof header, nullptr);
}

namespace {

// Owned by the user running the program and writable by nobody else (the
// rule that ssh applies to its files).
bool ownedAlone(const struct stat& st) {
    return st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool privateFolder(const fs::path& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ownedAlone(st);
}

}  // namespace

std::shared_ptr<const Directory> readSnapshot(const fs::path& file,
                                              const std::string& canonicalSource,
                                              const SourceStamp& stamp) {
    // What another user could have written is not used, however sound it
    // looks: its checksums prove nothing about who made it.
    if (!privateFolder(file.parent_path())) return nullptr;
    FileDescriptor snapshot(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (snapshot.fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(snapshot.fd, &st) != 0 || !S_ISREG(st.st_mode) || !ownedAlone(st)) return nullptr;
    try {
        return DirectorySnapshot::read(snapshot.fd, static_cast<std::uint64_t>(st.st_size),
                                       canonicalSource, stamp);
    } catch (const std::bad_alloc&) {
        return nullptr;  // parsing the source may still fit
    }
}

namespace {

// Creates the folders of path that are missing, readable by the user only.
// A folder of the user's own that others may write to is closed to them
// (a snapshot written there is then safe to read again); one that belongs
// to someone else is not written to at all.
bool makeFolder(const fs::path& folder) {
    fs::path at;
    for (const fs::path& part : folder) {
        at /= part;
        if (::mkdir(at.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && ::chmod(folder.c_str(), 0700) != 0) return false;
    return true;
}

constexpr std::string_view kTemporaryMark = ".tmp-";

// Temporary files that a process ended while writing (killed, power lost)
// left behind; one hour is far beyond any write in progress.
void removeAbandoned(const fs::path& folder) {
    DIR* listing = ::opendir(folder.c_str());
    if (!listing) return;
    const std::time_t hourAgo = std::time(nullptr) - 3600;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name.find(kTemporaryMark) == std::string_view::npos) continue;
        struct stat st {};
        if (::fstatat(::dirfd(listing), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_mtime < hourAgo) {
            ::unlinkat(::dirfd(listing), entry->d_name, 0);
        }
    }
    ::closedir(listing);
}

}  // namespace

bool writeSnapshot(const fs::path& file, const std::string& canonicalSource,
                   const SourceStamp& stamp, const Directory& directory) {
    const fs::path folder = file.parent_path();
    if (!makeFolder(folder)) return false;
    removeAbandoned(folder);
    std::string temporary = file.string() + std::string(kTemporaryMark) + "XXXXXX";
    FileDescriptor out(::mkostemp(temporary.data(), O_CLOEXEC));  // mode 0600
    if (out.fd < 0) return false;
    bool done = false;
    try {
        done = DirectorySnapshot::write(out.fd, canonicalSource, stamp, directory);
    } catch (const std::bad_alloc&) {
    }
    // No fsync: a snapshot cut short by a crash fails its checksum and is
    // written again, which costs less than waiting for the disk every time.
    done = ::close(std::exchange(out.fd, -1)) == 0 && done;
    if (done && ::rename(temporary.c_str(), file.c_str()) != 0) {
        // A folder where the snapshot belongs is moved out of the way when empty.
        done = errno == EISDIR && ::rmdir(file.c_str()) == 0 &&
               ::rename(temporary.c_str(), file.c_str()) == 0;
    }
    if (!done) ::unlink(temporary.c_str());
    return done;
}

}  // namespace outside::directory
