// Snapshots of parsed directories in the cache folder: a directory read back
// from one is the parsed one, and a snapshot that does not match its source,
// is damaged, or is inconsistent behind a correct checksum is never used.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>

#include "fixtures.h"
#include "outside/directory/cache.h"
#include "outside/directory/snapshot.h"

using namespace outside::directory;
using directorytest::kHeader;
namespace fs = std::filesystem;

namespace {

const std::string kOneUser = kHeader + "dn: cn=a,dc=T\nobjectClass: ktrUser\n";
// The same size as kOneUser, another name.
const std::string kOtherUser = kHeader + "dn: cn=b,dc=T\nobjectClass: ktrUser\n";

// Moves the file's modification time into the past: only a file that has
// not changed for a moment is snapshotted.
void settle(const fs::path& path, std::chrono::seconds age = std::chrono::hours(1)) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

// Every entry with its full name, class and values, and the schema, in the
// order of the directory; two directories that give the same text are the same.
std::string describe(const Directory& dir) {
    std::string out = dir.source() + "\n";
    const Schema& schema = dir.schema();
    for (AttributeId a = 0; a < schema.attributeCount(); ++a) {
        const AttributeType& t = schema.attribute(a);
        out += "attribute " + t.name + " " + t.oid + " " + t.syntax + " " +
               std::to_string(t.singleValue) + std::to_string(t.declared);
        for (const std::string& n : t.ldapNames)
            out += " " + n + "=" + std::to_string(*schema.attributeByLdapName(n));
        out += " by name " + std::to_string(schema.findAttribute(t.name).value_or(999)) + "\n";
    }
    for (ClassId c = 0; c < schema.classCount(); ++c) {
        const ObjectClass& k = schema.objectClass(c);
        out += "class " + k.name + " " + k.oid + " " + std::to_string(static_cast<int>(k.kind)) +
               std::to_string(k.declared) + std::to_string(k.named) + " fields";
        for (AttributeId f : k.fields) out += " " + std::to_string(f);
        for (const std::string& n : k.ldapNames)
            out += " " + n + "=" + std::to_string(*schema.classByLdapName(n));
        out += " by name " + std::to_string(schema.findClass(k.name).value_or(999));
        out += " inherits";
        for (ClassId d = 0; d < schema.classCount(); ++d) out += schema.inherits(c, d) ? "1" : "0";
        out += "\n";
    }
    out += "top " + std::to_string(schema.topClass()) + "\n";
    for (EntryId tree : dir.trees()) out += "tree " + std::to_string(tree) + "\n";
    for (EntryId id = 0; id < dir.size(); ++id) {
        out += dir.fullName(id) + " | " + dir.className(id) + " | parent " +
               std::to_string(dir.parent(id)) + " | children";
        for (EntryId child : dir.children(id)) out.append(" ").append(std::to_string(child));
        out += "\n";
        for (const Directory::Value& v : dir.allValues(id))
            out += "  " + schema.attribute(v.attribute).name + ": " + std::string(v.text) + "\n";
    }
    return out;
}

std::string searchResults(const Directory& dir) {
    std::string out;
    for (EntryId context : dir.trees()) {
        for (const char* pattern : {"*", "s*", "smith", "*ws*", "m\xC3\xBC*", "nobody*"}) {
            for (const Scope scope : {Scope::OneLevel, Scope::Subtree}) {
                for (const std::vector<std::string>& classes :
                     std::vector<std::vector<std::string>>{
                         {}, {"User"}, {"Workstation", "Alias"}}) {
                    SearchQuery query;
                    query.pattern = pattern;
                    query.scope = scope;
                    query.context = context;
                    query.classes = classes;
                    out += std::string(pattern) + ":";
                    for (EntryId hit : dir.search(query))
                        out.append(" ").append(std::to_string(hit));
                    out += "\n";
                }
            }
        }
    }
    return out;
}

void expectSame(const Directory& parsed, const Directory& restored) {
    EXPECT_EQ(describe(restored), describe(parsed));
    EXPECT_EQ(searchResults(restored), searchResults(parsed));
    for (EntryId id = 0; id < parsed.size(); ++id) {
        const std::string name = parsed.fullName(id);
        EXPECT_EQ(restored.find(name), id) << name;
        EXPECT_EQ(restored.findChild(parsed.parent(id), parsed.name(id)), id) << name;
    }
    EXPECT_EQ(restored.find("KTR:\\\\Nowhere"), kNoEntry);
    // The parsed tables may hold a little spare room; the restored ones hold none.
    EXPECT_LE(restored.memoryUsage(), parsed.memoryUsage());
    EXPECT_GE(restored.memoryUsage(), parsed.memoryUsage() * 8 / 10);
}

SnapshotHeader readHeader(const fs::path& file) {
    SnapshotHeader header{};
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(&header), sizeof header);
    return header;
}

// Writes bytes at offset, then makes both checksums fit again: only the
// reader's own checks can refuse what is left.
void patchAndReseal(const fs::path& file, std::uint64_t offset, const void* bytes,
                    std::size_t size) {
    std::string content = testsupport::readFile(file);
    ASSERT_LE(offset + size, content.size());
    std::memcpy(content.data() + offset, bytes, size);
    SnapshotHeader header;
    std::memcpy(&header, content.data(), sizeof header);
    header.payloadChecksum =
        payloadChecksum(content.data() + sizeof header, content.size() - sizeof header);
    header.headerChecksum = checksum(&header, offsetof(SnapshotHeader, headerChecksum));
    std::memcpy(content.data(), &header, sizeof header);
    testsupport::writeFile(file, content);
}

template <class T>
T elementAt(const fs::path& file, SnapshotSection section, std::size_t index) {
    const std::string bytes = testsupport::readFile(file);
    T value;
    std::memcpy(&value,
                bytes.data() + snapshotSectionOffset(readHeader(file), section) + index * sizeof(T),
                sizeof value);
    return value;
}

template <class T>
void patchElement(const fs::path& file, SnapshotSection section, std::size_t index, T value) {
    const std::uint64_t at = snapshotSectionOffset(readHeader(file), section) + index * sizeof(T);
    patchAndReseal(file, at, &value, sizeof value);
}

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        DirectoryCache::instance().clear();
        cacheHome_ = testsupport::freshDir("cache-home");
        cacheEnv_.emplace("XDG_CACHE_HOME", cacheHome_.string());
    }
    void TearDown() override { DirectoryCache::instance().clear(); }

    // A file of the test's own, settled so that it is snapshotted.
    fs::path source(const std::string& text) {
        const fs::path path = directorytest::writeLdif(text);
        settle(path);
        return path;
    }
    // A load as a new process makes it.
    LoadResult load(const fs::path& path, const LoadLimits& limits = {}) {
        DirectoryCache::instance().clear();
        return DirectoryCache::instance().get(path, limits);
    }
    fs::path snapshotOf(const fs::path& path) {
        return snapshotFile(cacheHome_ / "tolvane" / "directory", fs::canonical(path).string());
    }
    std::shared_ptr<const Directory> readBack(const fs::path& path) {
        return readSnapshot(snapshotOf(path), fs::canonical(path).string(), *stampOf(path));
    }
    // Loads path, whose snapshot is there, and expects the parsed directory.
    void expectParsedDirectory(const fs::path& path) {
        const LoadResult restored = load(path);
        ASSERT_TRUE(restored.ok()) << restored.error.describe();
        const LoadResult parsed = loadLdif(fs::canonical(path));
        ASSERT_TRUE(parsed.ok());
        expectSame(*parsed.directory, *restored.directory);
    }

    fs::path cacheHome_;
    std::optional<testsupport::ScopedEnv> cacheEnv_;
};

}  // namespace

TEST(SnapshotChecksum, DependsOnEveryByteButNotOnHowTheyAreSplit) {
    std::string bytes(1000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    const std::uint64_t whole = checksum(bytes.data(), bytes.size());
    for (std::size_t split : {1, 7, 31, 32, 33, 500, 999}) {
        Checksum pieces;
        pieces.update(bytes.data(), split);
        pieces.update(bytes.data() + split, 0);
        pieces.update(bytes.data() + split, bytes.size() - split);
        EXPECT_EQ(pieces.value(), whole) << split;
    }
    for (std::size_t at : {0, 31, 32, 998, 999}) {
        std::string flipped = bytes;
        flipped[at] ^= 0x10;
        EXPECT_NE(checksum(flipped.data(), flipped.size()), whole) << at;
    }
    // Trailing zeros count: the length is part of the sum.
    EXPECT_NE(checksum(bytes.data(), bytes.size() - 1), whole);
    EXPECT_NE(checksum("", 0), checksum("\0", 1));
}

TEST(SnapshotChecksum, ThePayloadsSumTakesEveryPieceInItsPlace) {
    // Around the sizes where the pieces start to be longer than one block.
    for (const std::size_t size : {std::size_t{0}, std::size_t{31}, std::size_t{1024},
                                   std::size_t{1025}, std::size_t{100003}}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + i / 251);
        const std::uint64_t whole = payloadChecksum(bytes.data(), size);
        for (const std::size_t split : {std::size_t{1}, std::size_t{32}, size / 3, size / 2}) {
            if (split > size) continue;
            PayloadChecksum pieces(size);
            pieces.update(bytes.data(), split);
            pieces.update(bytes.data() + split, size - split);
            EXPECT_EQ(pieces.value(), whole) << split;
        }
        if (size == 0) continue;
        for (const std::size_t at : {std::size_t{0}, size / 2, size - 1}) {
            std::string flipped = bytes;
            flipped[at] ^= 0x20;
            EXPECT_NE(payloadChecksum(flipped.data(), size), whole) << at;
        }
        // Two pieces swapped: each piece's sum counts in its place.
        const std::size_t piece = checksumPiece(size);
        if (size >= 2 * piece) {
            std::string swapped = bytes;
            std::swap_ranges(swapped.begin(), swapped.begin() + static_cast<long>(piece),
                             swapped.begin() + static_cast<long>(piece));
            EXPECT_NE(payloadChecksum(swapped.data(), size), whole);
        }
    }
}

// A schema whose own class takes the name "Top", types that the data and a
// class use without a definition, an empty value, and a tree whose entries
// do not come in directory order.
const std::string kOddSchema =
    "dn: cn=Subschema\n"
    "objectClass: subschema\n"
    "attributeTypes: ( 2.5.4.3 NAME ( 'cn' 'commonName' ) X-KTR-NAME 'CN' )\n"
    "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT )\n"
    "objectClasses: ( 1.1.9 NAME 'ktrTree' SUP top X-KTR-NAME 'Top' )\n"
    "objectClasses: ( 1.1.1 NAME 'ktrUnit' SUP top MAY ( cn $ seeAlso ) X-KTR-NAME 'Unit' )\n"
    "objectClasses: ( 1.1.2 NAME 'ktrUser' SUP top MUST cn X-KTR-NAME 'User' )\n"
    "\n"
    "dn: dc=Odd\nobjectClass: ktrTree\n\n"
    "dn: cn=A,dc=Odd\nobjectClass: ktrUnit\nseeAlso: cn=B,dc=Odd\n\n"
    "dn: cn=B,dc=Odd\nobjectClass: ktrUnit\nmail:\n\n"
    "dn: cn=x,cn=A,dc=Odd\nobjectClass: ktrUser\ncn: x\nMail: x@odd\n\n"
    "dn: cn=y,cn=B,dc=Odd\nobjectClass: ktrUser\ncommonName: y\n\n"
    "dn: cn=z,cn=A,dc=Odd\nobjectClass: ktrUser\ncn: z\n";

TEST_F(Snapshot, ADirectoryReadBackIsTheParsedOne) {
    for (const std::string& text :
         {testsupport::readFile(testsupport::sourceDir() / "demo" / "directory.ldif"),
          testsupport::readFile(directorytest::fixture("sample.ldif")), kOddSchema}) {
        SCOPED_TRACE(text.substr(0, 200));
        const fs::path path = source(text);
        const LoadResult first = load(path);
        ASSERT_TRUE(first.ok()) << first.error.describe();
        ASSERT_TRUE(fs::is_regular_file(snapshotOf(path)));
        const auto restored = readBack(path);
        ASSERT_TRUE(restored);
        expectSame(*first.directory, *restored);
        expectParsedDirectory(path);
    }
}

TEST_F(Snapshot, IsPrivateToTheUserAndLeavesNothingElseBehind) {
    const fs::path path = source(kOneUser);
    ASSERT_TRUE(load(path).ok());
    struct stat st {};
    ASSERT_EQ(::stat(snapshotOf(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (const fs::path& folder : {cacheHome_ / "tolvane", cacheHome_ / "tolvane" / "directory"}) {
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(snapshotOf(path).parent_path()),
                            fs::directory_iterator()),
              1);
}

TEST_F(Snapshot, ARewriteInPlaceThatPutsTheTimeBackIsReadAgain) {
    // Another text of the same size written in place, with the old time put
    // back: size, inode and modification time agree, the change time does not.
    const fs::path path = source(kOneUser);
    ASSERT_TRUE(load(path).ok());
    const auto time = fs::last_write_time(path);
    const auto inode = stampOf(path)->inode;
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.write(kOtherUser.data(), static_cast<std::streamsize>(kOtherUser.size()));
    }
    fs::last_write_time(path, time);
    ASSERT_EQ(stampOf(path)->inode, inode);
    ASSERT_EQ(stampOf(path)->modifiedNs, readHeader(snapshotOf(path)).modifiedNs);
    const LoadResult again = load(path);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.directory->find("KTR:\\\\T\\a"), kNoEntry);
    EXPECT_NE(again.directory->find("KTR:\\\\T\\b"), kNoEntry);
}

TEST_F(Snapshot, OnlyTheUsersOwnSnapshotInAFolderOfItsOwnIsTrusted) {
    // A snapshot forged behind correct checksums: the user's name changed
    // in every table that holds it.
    const std::string text = kHeader + "dn: cn=zzzzzz,dc=T\nobjectClass: ktrUser\n";
    const fs::path path = source(text);
    const auto forge = [&] {
        ASSERT_TRUE(load(path).ok());
        std::string bytes = testsupport::readFile(snapshotOf(path));
        for (std::size_t at = bytes.find("zzzzzz"); at != std::string::npos;
             at = bytes.find("zzzzzz", at))
            bytes.replace(at, 6, "yyyyyy");
        patchAndReseal(snapshotOf(path), 0, bytes.data(), bytes.size());
    };
    const auto nameRead = [&] {
        const LoadResult result = load(path);
        EXPECT_TRUE(result.ok()) << result.error.describe();
        if (!result.ok()) return std::string();
        const auto children = result.directory->children(result.directory->trees().front());
        return children.empty() ? std::string() : std::string(result.directory->name(children[0]));
    };
    // The forgery works while the file is the user's own: what the checks
    // below refuse is not refused for its contents.
    forge();
    ASSERT_EQ(nameRead(), "yyyyyy");

    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const fs::path file = snapshotOf(path);
    const fs::path folder = file.parent_path();
    const std::vector<Case> cases = {
        {"a snapshot that others may write",
         [&] { fs::permissions(file, fs::perms::others_write, fs::perm_options::add); }},
        {"a snapshot that the group may write",
         [&] { fs::permissions(file, fs::perms::group_write, fs::perm_options::add); }},
        {"a folder that everyone may write", [&] { fs::permissions(folder, fs::perms::all); }},
        {"a snapshot of another user", [&] { ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what).find("another user") != std::string::npos && ::geteuid() != 0) {
            continue;  // only root can give a file away
        }
        forge();
        c.change();
        EXPECT_EQ(nameRead(), "zzzzzz");
        // Parsed and replaced by one of the user's own, in a folder closed to others.
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0077, 0u);
        ASSERT_TRUE(readBack(path));
        EXPECT_EQ(nameRead(), "zzzzzz");
    }
}

TEST_F(Snapshot, ASnapshotOfAnotherStateOfTheSourceIsNotUsedAndIsReplaced) {
    const fs::path path = source(kOneUser);
    const auto expectOtherUser = [&](const char* change) {
        SCOPED_TRACE(change);
        const LoadResult result = load(path);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.directory->find("KTR:\\\\T\\a"), kNoEntry);
        EXPECT_NE(result.directory->find("KTR:\\\\T\\b"), kNoEntry);
        ASSERT_TRUE(readBack(path)) << "not replaced";
        EXPECT_NE(readBack(path)->find("KTR:\\\\T\\b"), kNoEntry);
    };
    const auto reset = [&] {
        testsupport::writeFile(path, kOneUser);
        settle(path);
        ASSERT_TRUE(load(path).ok());
        ASSERT_TRUE(readBack(path));
    };

    // The same size, another time.
    ASSERT_TRUE(load(path).ok());
    testsupport::writeFile(path, kOtherUser);
    settle(path, std::chrono::hours(2));
    expectOtherUser("another modification time");

    // Another size, the same time.
    reset();
    auto time = fs::last_write_time(path);
    testsupport::writeFile(path, kOtherUser + "\n");
    fs::last_write_time(path, time);
    expectOtherUser("another size");

    // Replaced by rename: the same size and time, another inode.
    reset();
    time = fs::last_write_time(path);
    const fs::path replacement = path.parent_path() / "replacement.ldif";
    testsupport::writeFile(replacement, kOtherUser);
    fs::last_write_time(replacement, time);
    fs::rename(replacement, path);
    expectOtherUser("another inode");

    // The same file under another path is a source of its own.
    const fs::path copy = path.parent_path() / "copy.ldif";
    fs::copy_file(path, copy);
    settle(copy);
    ASSERT_TRUE(load(copy).ok());
    EXPECT_NE(snapshotOf(copy), snapshotOf(path));
    EXPECT_FALSE(readSnapshot(snapshotOf(path), fs::canonical(copy).string(), *stampOf(path)));
}

TEST_F(Snapshot, ADamagedSnapshotIsIgnoredAndWrittenAgain) {
    const fs::path path = source(testsupport::readFile(directorytest::fixture("sample.ldif")));
    ASSERT_TRUE(load(path).ok());
    const fs::path file = snapshotOf(path);
    const std::string good = testsupport::readFile(file);
    const std::size_t header = sizeof(SnapshotHeader);

    struct Damage {
        const char* what;
        std::function<void()> apply;
    };
    const auto flip = [&](std::size_t at) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        testsupport::writeFile(file, bytes);
    };
    const std::vector<Damage> damages = {
        {"truncated", [&] { testsupport::writeFile(file, good.substr(0, good.size() - 9)); }},
        {"cut inside the header", [&] { testsupport::writeFile(file, good.substr(0, 40)); }},
        {"a byte flipped in the payload", [&] { flip(header + (good.size() - header) / 2); }},
        {"a byte flipped in the last section", [&] { flip(good.size() - 1); }},
        {"a byte flipped in the header's key", [&] { flip(offsetof(SnapshotHeader, inode)); }},
        {"a byte flipped in the header's sizes",
         [&] { flip(offsetof(SnapshotHeader, sectionBytes) + 8 * 2); }},
        {"another format version",
         [&] {
             SnapshotHeader h = readHeader(file);
             ++h.version;
             h.headerChecksum = checksum(&h, offsetof(SnapshotHeader, headerChecksum));
             std::string bytes = good;
             std::memcpy(bytes.data(), &h, sizeof h);
             testsupport::writeFile(file, bytes);
         }},
        {"garbage", [&] { testsupport::writeFile(file, std::string(good.size(), 'x')); }},
        {"an empty file", [&] { testsupport::writeFile(file, ""); }},
        {"a folder in its place",
         [&] {
             fs::remove(file);
             fs::create_directory(file);
         }},
        {"a link in its place",
         [&] {
             testsupport::writeFile(file.string() + ".elsewhere", good);
             fs::remove(file);
             fs::create_symlink(file.string() + ".elsewhere", file);
         }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        damage.apply();
        EXPECT_FALSE(readBack(path));
        expectParsedDirectory(path);
        // Written again: the next process reads the snapshot.
        ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        EXPECT_TRUE(readBack(path));
        EXPECT_EQ(testsupport::readFile(file), good);
        fs::remove(file.string() + ".elsewhere");
    }
}

TEST_F(Snapshot, AnInconsistentSnapshotIsRefusedEvenWithRightChecksums) {
    const fs::path path = source(testsupport::readFile(directorytest::fixture("sample.ldif")));
    ASSERT_TRUE(load(path).ok());
    const fs::path file = snapshotOf(path);
    const std::string good = testsupport::readFile(file);
    const SnapshotHeader header = readHeader(file);
    const std::uint32_t n = header.entries;
    const auto textBytes = static_cast<std::uint32_t>(
        header.sectionBytes[static_cast<std::size_t>(SnapshotSection::Text)]);
    ASSERT_GT(n, 10u);

    // Resealing alone changes nothing that matters.
    patchAndReseal(file, sizeof header, good.data() + sizeof header, 1);
    EXPECT_TRUE(readBack(path));

    struct TextRef {
        std::uint32_t offset, length;
    };
    struct Value {
        std::uint32_t attribute, offset, length;
    };
    struct Slot {
        std::uint32_t id, hash;
    };
    using S = SnapshotSection;
    struct Inconsistency {
        const char* what;
        std::function<void()> apply;
    };
    const std::vector<Inconsistency> cases = {
        {"a name past the text",
         [&] {
             patchElement(file, S::Name, 3, TextRef{textBytes - 2, 5});
         }},
        {"a folded name far past the text",
         [&] {
             patchElement(file, S::Folded, 0, TextRef{0xFFFFFFF0u, 0x20});
         }},
        {"a value past the text",
         [&] {
             patchElement(file, S::Values, 0, Value{0, textBytes, 1});
         }},
        {"a value of an attribute the schema lacks",
         [&] {
             patchElement(file, S::Values, 1, Value{100000, 0, 1});
         }},
        {"a parent out of the table", [&] { patchElement<std::uint32_t>(file, S::Parent, 4, n); }},
        {"a parent after its entry", [&] { patchElement<std::uint32_t>(file, S::Parent, 2, 5); }},
        {"a class the schema lacks", [&] { patchElement<std::uint16_t>(file, S::Class, 1, 9999); }},
        {"a subtree past the end",
         [&] { patchElement<std::uint32_t>(file, S::SubtreeEnd, 1, n + 1); }},
        {"child starts not ascending",
         [&] { patchElement<std::uint32_t>(file, S::ChildStart, 2, 0xFFFFu); }},
        {"value starts not ascending",
         [&] { patchElement<std::uint32_t>(file, S::ValueStart, 3, 0); }},
        {"a child start past the child list, all of them ascending",
         [&] {
             const auto children = static_cast<std::uint32_t>(
                 header.sectionBytes[static_cast<std::size_t>(S::ChildList)] / 4);
             for (std::uint32_t i = 2; i < n; ++i)
                 patchElement<std::uint32_t>(file, S::ChildStart, i, children + 3);
         }},
        {"a child out of the table",
         [&] { patchElement<std::uint32_t>(file, S::ChildList, 0, n); }},
        {"a child listed under another parent",
         [&] { patchElement<std::uint32_t>(file, S::ChildList, 0, 0); }},
        {"an entry twice in the name index",
         [&] { patchElement(file, S::ByName, 0, elementAt<std::uint32_t>(file, S::ByName, 1)); }},
        {"a hash slot out of the table",
         [&] {
             // The first used slot points past the entries.
             const std::string bytes = testsupport::readFile(file);
             const auto at = snapshotSectionOffset(readHeader(file), S::NameSlots);
             for (std::size_t i = 0;; ++i) {
                 Slot slot;
                 std::memcpy(&slot, bytes.data() + at + i * sizeof slot, sizeof slot);
                 if (slot.id == kNoEntry) continue;
                 patchElement(file, S::NameSlots, i, Slot{n + 7, slot.hash});
                 return;
             }
         }},
        {"a tree root that has a parent",
         [&] { patchElement<std::uint32_t>(file, S::Trees, 0, 1); }},
        {"a schema cut short",
         [&] {
             const auto at = snapshotSectionOffset(readHeader(file), S::Schema);
             const std::uint32_t huge = 0x7FFFFFFF;
             patchAndReseal(file, at + 4, &huge, sizeof huge);  // the first name's length
         }},
        {"a source path of another file",
         [&] {
             const auto at = snapshotSectionOffset(readHeader(file), S::Source);
             patchAndReseal(file, at + 1, "X", 1);
         }},
    };
    for (const Inconsistency& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::writeFile(file, good);
        c.apply();
        EXPECT_FALSE(readBack(path));
    }
    // Through the cache: refused, parsed, written again.
    expectParsedDirectory(path);
    EXPECT_EQ(testsupport::readFile(file), good);
}

// Large enough that the reader takes the checksum's pieces on two threads.
TEST_F(Snapshot, ALargeSnapshotIsReadWholeAndOneChangedByteInItsLastPieceRefusesIt) {
    std::string ldif = kHeader;
    const std::string value(40u << 20, 'd');
    ldif += "dn: cn=a,dc=T\nobjectClass: ktrUser\ncn: a\ncn: " + value + "\n\n";
    for (int i = 0; i < 2000; ++i)
        ldif += "dn: cn=u" + std::to_string(i) + ",dc=T\nobjectClass: ktrUser\n\n";
    const fs::path path = source(ldif);
    const LoadResult parsed = load(path);
    ASSERT_TRUE(parsed.ok()) << parsed.error.describe();
    const fs::path file = snapshotOf(path);
    ASSERT_GT(fs::file_size(file), 40u << 20);
    const auto restored = readBack(path);
    ASSERT_TRUE(restored);
    expectSame(*parsed.directory, *restored);

    const std::string good = testsupport::readFile(file);
    std::string changed = good;
    changed[changed.size() - 1] ^= 0x01;
    testsupport::writeFile(file, changed);
    EXPECT_FALSE(readBack(path));
    changed = good;
    changed[sizeof(SnapshotHeader) + 3] ^= 0x01;  // and in its first
    testsupport::writeFile(file, changed);
    EXPECT_FALSE(readBack(path));
}

// The tables of a directory read from its snapshot stay in the file: the
// file replaced (by the rename that every new snapshot comes with) or
// removed leaves the directory as it was read.
TEST_F(Snapshot, ADirectoryReadFromItsSnapshotOutlivesTheFile) {
    const fs::path path = source(testsupport::readFile(directorytest::fixture("sample.ldif")));
    const LoadResult parsed = load(path);
    ASSERT_TRUE(parsed.ok());
    const auto restored = readBack(path);
    ASSERT_TRUE(restored);
    const fs::path file = snapshotOf(path);
    const auto other = loadLdifText(kOneUser, "other.ldif");
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(
        writeSnapshot(file, fs::canonical(path).string(), *stampOf(path), *other.directory));
    expectSame(*parsed.directory, *restored);
    fs::remove(file);
    expectSame(*parsed.directory, *restored);
    EXPECT_GT(restored->memoryUsage(), 0u);
}

TEST_F(Snapshot, ASourceChangedWhileRunningIsReadAgain) {
    const fs::path path = source(kOneUser);
    const LoadResult first = DirectoryCache::instance().get(path);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(DirectoryCache::instance().get(path).directory, first.directory);
    testsupport::writeFile(path, kOtherUser + "\ndn: cn=c,dc=T\nobjectClass: ktrUser\n");
    settle(path, std::chrono::minutes(5));
    const LoadResult second = DirectoryCache::instance().get(path);
    ASSERT_TRUE(second.ok());
    EXPECT_NE(second.directory->find("KTR:\\\\T\\c"), kNoEntry);
    EXPECT_EQ(first.directory->find("KTR:\\\\T\\c"), kNoEntry);  // still what it was
    ASSERT_TRUE(readBack(path));
    EXPECT_NE(readBack(path)->find("KTR:\\\\T\\c"), kNoEntry);
}

TEST_F(Snapshot, OnlyGoodSettledDataWithinTheLimitIsSnapshotted) {
    // Bad data.
    const fs::path bad = source(kHeader + "dn: cn=a,dc=T\nobjectClass: ktrNothing\n");
    EXPECT_EQ(load(bad).status(), LoadStatus::BadData);
    EXPECT_FALSE(fs::exists(snapshotOf(bad)));

    // A file that has just changed may change again unseen.
    const fs::path fresh = directorytest::writeLdif(kOneUser);
    ASSERT_TRUE(load(fresh).ok());
    EXPECT_FALSE(fs::exists(snapshotOf(fresh)));
    settle(fresh);
    ASSERT_TRUE(load(fresh).ok());
    EXPECT_TRUE(fs::exists(snapshotOf(fresh)));

    // A file over the limit is refused, snapshot or not.
    LoadLimits limits;
    limits.maxSourceBytes = kOneUser.size() - 1;
    limits.limitName = "set by the test";
    const LoadResult refused = load(fresh, limits);
    EXPECT_EQ(refused.status(), LoadStatus::SourceLost);
    EXPECT_NE(refused.error.message.find("set by the test"), std::string::npos);

    // A source that cannot be read, or has gone, is lost whatever its
    // snapshot holds (root reads anyway).
    if (::geteuid() != 0) {
        fs::permissions(fresh, fs::perms::none);
        EXPECT_EQ(load(fresh).status(), LoadStatus::SourceLost);
        fs::permissions(fresh, fs::perms::owner_read | fs::perms::owner_write);
        ASSERT_TRUE(load(fresh).ok());
    }
    fs::remove(fresh);
    EXPECT_EQ(load(fresh).status(), LoadStatus::SourceLost);
}

TEST_F(Snapshot, ACacheFolderThatCannotBeWrittenOnlyCostsTheParse) {
    const fs::path path = source(kOneUser);
    // A file where the folder belongs.
    testsupport::writeFile(cacheHome_ / "tolvane", "not a folder");
    LoadResult result = load(path);
    ASSERT_TRUE(result.ok()) << result.error.describe();
    EXPECT_NE(result.directory->find("KTR:\\\\T\\a"), kNoEntry);

    // A folder without write permission (root writes anyway).
    fs::remove(cacheHome_ / "tolvane");
    fs::create_directories(cacheHome_ / "tolvane" / "directory");
    fs::permissions(cacheHome_ / "tolvane" / "directory",
                    fs::perms::owner_read | fs::perms::owner_exec);
    result = load(path);
    ASSERT_TRUE(result.ok()) << result.error.describe();
    if (::geteuid() != 0) {
        EXPECT_TRUE(fs::is_empty(cacheHome_ / "tolvane" / "directory"));
    }
    fs::permissions(cacheHome_ / "tolvane" / "directory", fs::perms::owner_all);

    // A snapshot larger than the process may write: the kernel would end
    // the process at the limit (SIGXFSZ), so none is written.
    fs::remove(snapshotOf(path));
    {
        struct rlimit saved {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit low = saved;
        low.rlim_cur = sizeof(SnapshotHeader) + 64;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
        result = load(path);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ASSERT_TRUE(result.ok()) << result.error.describe();
        EXPECT_FALSE(fs::exists(snapshotOf(path)));
        EXPECT_TRUE(fs::is_empty(cacheHome_ / "tolvane" / "directory"));
    }

    // No cache folder at all, and snapshots turned off.
    {
        testsupport::ScopedEnv noCache("XDG_CACHE_HOME", nullptr);
        testsupport::ScopedEnv noHome("HOME", nullptr);
        EXPECT_TRUE(snapshotFolder().empty());
        EXPECT_TRUE(load(path).ok());
    }
    fs::remove(snapshotOf(path));
    {
        testsupport::ScopedEnv off("KDDIR_SNAPSHOT", "0");
        EXPECT_TRUE(snapshotFolder().empty());
        EXPECT_TRUE(load(path).ok());
        EXPECT_FALSE(fs::exists(snapshotOf(path)));
    }
}

TEST_F(Snapshot, TheCacheFolderFollowsTheUsersSettings) {
    {
        testsupport::ScopedEnv cache("XDG_CACHE_HOME", "/somewhere/cache");
        EXPECT_EQ(snapshotFolder(), fs::path("/somewhere/cache/tolvane/directory"));
    }
    testsupport::ScopedEnv home("HOME", "/home/someone");
    for (const char* ignored : {"", "relative/cache"}) {
        testsupport::ScopedEnv cache("XDG_CACHE_HOME", ignored);
        EXPECT_EQ(snapshotFolder(), fs::path("/home/someone/.cache/tolvane/directory"));
    }
    // One file per source, named after it.
    const fs::path a = snapshotFile("/f", "/data/corp tree.ldif");
    EXPECT_EQ(a.parent_path(), fs::path("/f"));
    EXPECT_TRUE(a.filename().string().starts_with("corp_tree.ldif-")) << a;
    EXPECT_NE(snapshotFile("/f", "/other/corp tree.ldif"), a);
}

TEST_F(Snapshot, AbandonedTemporaryFilesAreCleanedUp) {
    const fs::path path = source(kOneUser);
    const fs::path folder = cacheHome_ / "tolvane" / "directory";
    fs::create_directories(folder);
    const fs::path old = folder / "x.snap.tmp-AbCdEf";
    const fs::path recent = folder / "y.snap.tmp-GhIjKl";
    testsupport::writeFile(old, "left by a killed process");
    testsupport::writeFile(recent, "being written by another process");
    settle(old, std::chrono::hours(2));
    ASSERT_TRUE(load(path).ok());
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(recent));
    EXPECT_TRUE(fs::exists(snapshotOf(path)));
}
