// The index of the workstation database gives the answer of reading the file
// line by line for every key (duplicates, case, lines of other forms, files
// drawn at random), and is kept only while the file stays the same file: an
// entry appended, a file replaced by rename or rewritten is read again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/lookup/DatabaseFile.h"
#include "app/lookup/DatabaseIndex.h"
#include "app/lookup/DatabaseRecords.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using tvn::DatabaseIndex;
using namespace tvn::WorkstationDatabase;

namespace {

// Keys worth asking for in contents: each part of every address that reads
// as a record, as stored, in the other case and cut short, and whole values.
std::vector<std::string> keysOf(std::string_view contents) {
    std::set<std::string> keys{"", " ", ":", "nowhere"};
    std::string_view rest = contents;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const auto record = parseRecord(line);
        if (!record) continue;
        for (const std::string_view address : {record->address1, record->address2}) {
            keys.insert(std::string(address));
            forEachAddressPart(address, [&](std::string_view part) {
                std::string other(part);
                for (char& c : other)
                    c = c >= 'a' && c <= 'z'   ? static_cast<char>(c - 32)
                        : c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32)
                                               : c;
                keys.insert(std::string(part));
                keys.insert(other);
                std::string spaced(" ");
                spaced += part;
                keys.insert(std::move(spaced));
                if (!part.empty()) keys.insert(std::string(part.substr(1)));
                return false;
            });
        }
    }
    return {keys.begin(), keys.end()};
}

// The index finds the very line that the line-by-line read finds, or none
// when it finds none, for every key of the contents and the extra ones.
void expectSameAnswers(const std::string& contents, std::vector<std::string> extra = {}) {
    const DatabaseIndex index{contents};
    std::vector<std::string> keys = keysOf(contents);
    keys.insert(keys.end(), extra.begin(), extra.end());
    for (const std::string& key : keys) {
        const auto byLines = findWorkstation(contents, key);
        const auto indexed = index.findWorkstation(key);
        ASSERT_EQ(byLines.has_value(), indexed.has_value()) << "key '" << key << "' in\n"
                                                            << contents;
        if (byLines) {
            EXPECT_EQ(byLines->data() - contents.data(), indexed->data() - index.contents().data())
                << "key '" << key << "' in\n"
                << contents;
        }
    }
}

const std::string kDuplicates =
    "\"KTR:\\\\T\\O\\A\",\"TCP 10.0.0.5\",\"\"\r\n"
    "\"KTR:\\\\T\\O\\B\",\"IPX 0000AC10:00A0C9112233:4003\",\"TCP 10.0.0.5\"\r\n"
    "\"KTR:\\\\T\\O\\C\",\"TCP 10.0.0.6\",\"IPX 0000AC10:00A0C9112233:4003\"\r\n"
    "\"KTR:\\\\T\\O\\A\",\"TCP 10.0.0.7\",\"\"\r\n";

}  // namespace

// ---- the same answer as the line-by-line read ----

TEST(DatabaseIndex, AmongDuplicatesTheFirstLineWinsInEitherField) {
    const DatabaseIndex index{kDuplicates};
    EXPECT_EQ(index.findWorkstation("10.0.0.5"), "KTR:\\\\T\\O\\A");
    EXPECT_EQ(index.findWorkstation("00A0C9112233"), "KTR:\\\\T\\O\\B");
    EXPECT_EQ(index.findWorkstation("4003"), "KTR:\\\\T\\O\\B") << "a part shared by lines";
    EXPECT_EQ(index.findWorkstation("10.0.0.6"), "KTR:\\\\T\\O\\C");
    EXPECT_EQ(index.findWorkstation("10.0.0.7"), "KTR:\\\\T\\O\\A") << "a workstation listed twice";
    for (const char* none :
         {"10.0.0.8", "", "IPX", "TCP 10.0.0.5", "10.0.0", "0000AC10:00A0C9112233"})
        EXPECT_FALSE(index.findWorkstation(none)) << none;
    expectSameAnswers(kDuplicates);
}

TEST(DatabaseIndex, IgnoresTheCaseOfAsciiLettersOnlyAsTheLineByLineReadDoes) {
    const std::string file =
        "\"KTR:\\\\T\\O\\Lower\",\"IPX 0000ac10:00a0c9112233:4003\",\"\"\r\n"
        "\"KTR:\\\\T\\O\\Upper\",\"IPX 0000AC10:00A0C9112233:4003\",\"TCP host-\xC3\x84\"\r\n"
        "\"KTR:\\\\T\\O\\Other\",\"TCP host-\xC3\xA4\",\"\"\r\n";
    const DatabaseIndex index{file};
    for (const char* key : {"00A0C9112233", "00a0c9112233", "00a0C9112233"})
        EXPECT_EQ(index.findWorkstation(key), "KTR:\\\\T\\O\\Lower") << key;
    // Ä and ä are other bytes: told apart, as the line-by-line read does.
    EXPECT_EQ(index.findWorkstation("HOST-\xC3\x84"), "KTR:\\\\T\\O\\Upper");
    EXPECT_EQ(index.findWorkstation("host-\xC3\xA4"), "KTR:\\\\T\\O\\Other");
    EXPECT_EQ(index.findWorkstation("HOST-\xC3\xA4"), "KTR:\\\\T\\O\\Other");
    EXPECT_EQ(findWorkstation(file, "HOST-\xC3\x84"), "KTR:\\\\T\\O\\Upper");
    expectSameAnswers(file, {"HOST-\xC3\x84", "Host-\xC3\xA4"});
}

TEST(DatabaseIndex, AgreesOnLinesOfOtherFormsBlanksAndEmptyParts) {
    const std::string file =
        "10.0.0.6\r\n"                                  // no record
        "\"KTR:\\\\T\\O\\A\",\"TCP 10.0.0.\",\"\"\r\n"  // cut across the line end
        "6\",\"\",\"\"\r\n"                             //
        "\"KTR:\\\\T\\O\\Blank\",\"  TCP  10.1.1.1 \",\"IPX  a : b ::c\"\n"  // LF only
        "\"KTR:\\\\T\\O\\\"Q\",\"\",\"\"\r\n"                                // a quote in the name
        "\"KTR:\\\\T\\O\\NoKind\",\"10.2.2.2\",\"\"\r\n"       // an address without a kind
        "\"\",\"TCP 10.3.3.3\",\"\"\r\n"                       // no name
        "\"KTR:\\\\T\\O\\B\",\"IPX 1:2:3\",\"TCP 10.0.0.6\"";  // no line end at the end
    const DatabaseIndex index{file};
    EXPECT_EQ(index.findWorkstation("10.0.0.6"), "KTR:\\\\T\\O\\B");
    EXPECT_EQ(index.findWorkstation("10.1.1.1"), "KTR:\\\\T\\O\\Blank");
    EXPECT_EQ(index.findWorkstation("b"), "KTR:\\\\T\\O\\Blank");
    EXPECT_EQ(index.findWorkstation("10.3.3.3"), "");
    EXPECT_FALSE(index.findWorkstation(""));
    expectSameAnswers(file, {"10.2.2.2", "TCP", "IPX", "c", "a ", "3"});
    expectSameAnswers("");
    expectSameAnswers("\r\n\r\n\n");
}

TEST(DatabaseIndex, AgreesOnRandomFilesWhoseLinesShareTheirPartsInEveryCase) {
    std::mt19937 random(20261209);
    const std::vector<std::string> parts = {"a",  "A",        "b",    "B",   "ab", "aB",
                                            "Ab", "10.0.0.1", "4003", " c ", "",   "\xC3\xA4"};
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    for (int round = 0; round < 300; ++round) {
        std::string contents;
        const std::size_t lines = 1 + pick(25);
        for (std::size_t line = 0; line < lines; ++line) {
            std::string address[2];
            for (std::string& a : address) {
                if (pick(4) == 0) continue;
                a = pick(2) ? "IPX " : "TCP ";
                for (std::size_t p = 0, n = 1 + pick(4); p < n; ++p)
                    a += (p ? ":" : "") + parts[pick(parts.size())];
            }
            contents += pick(10) == 0 ? std::string("garbage\r\n")
                                      : formatRecord("KTR:\\\\T\\W" + std::to_string(line),
                                                     address[0], address[1]);
        }
        expectSameAnswers(contents);
        if (testing::Test::HasFailure()) return;
    }
}

TEST(DatabaseIndex, LinesWithManyPartsEachAreAllFound) {
    // More parts than the table was sized for from the number of lines.
    std::string contents;
    for (int line = 0; line < 200; ++line) {
        std::string address = "IPX ";
        for (int part = 0; part < 40; ++part) {
            if (part) address += ':';
            address += std::to_string(line * 100 + part);
        }
        std::string name = "KTR:\\\\T\\W";
        name += std::to_string(line);
        contents += formatRecord(name, address, "");
    }
    const DatabaseIndex index{contents};
    for (int line = 0; line < 200; ++line)
        for (int part = 0; part < 40; part += 13)
            ASSERT_EQ(index.findWorkstation(std::to_string(line * 100 + part)),
                      "KTR:\\\\T\\W" + std::to_string(line));
    EXPECT_FALSE(index.findWorkstation("99999"));
}

// ---- kept while the file stays the same ----

namespace {

class IndexedFile : public ::testing::Test {
protected:
    std::shared_ptr<const DatabaseIndex> read() const {
        const int fd = tvn::openDatabaseFile(file);
        EXPECT_GE(fd, 0);
        auto index = tvn::indexedDatabase(fd, file);
        ::close(fd);
        return index;
    }
    static std::string line(const std::string& name, const std::string& address) {
        return formatRecord("KTR:\\\\Corp\\" + name, address, "");
    }
    // Gives the file at path the modification time of the file at like.
    static void sameTime(const fs::path& path, const fs::path& like) {
        struct stat st {};
        ASSERT_EQ(::stat(like.c_str(), &st), 0);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    fs::path dir = testsupport::freshDir("index");
    fs::path file = dir / "Corp.lst";
};

}  // namespace

TEST_F(IndexedFile, IsReadOnceWhileTheFileStaysTheSame) {
    testsupport::writeFile(file, line("WS01", "TCP 10.0.0.1"));
    const auto first = read();
    EXPECT_EQ(read().get(), first.get());
    EXPECT_EQ(first->findWorkstation("10.0.0.1"), "KTR:\\\\Corp\\WS01");
    // Nothing is written beside the database, whose folder users may not write.
    fs::permissions(dir, fs::perms(0555));
    EXPECT_EQ(read().get(), first.get());
    fs::permissions(dir, fs::perms(0755));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(IndexedFile, AnEntryAppendedAfterTheIndexWasBuiltIsFoundAndTheFirstStillWins) {
    testsupport::writeFile(file, line("WS01", "TCP 10.0.0.1"));
    const auto before = read();
    EXPECT_FALSE(before->findWorkstation("10.0.0.2"));
    {
        std::ofstream out(file, std::ios::app | std::ios::binary);
        out << line("WS02", "TCP 10.0.0.2") << line("Late", "TCP 10.0.0.1");
    }
    const auto after = read();
    EXPECT_EQ(after->findWorkstation("10.0.0.2"), "KTR:\\\\Corp\\WS02");
    EXPECT_EQ(after->findWorkstation("10.0.0.1"), "KTR:\\\\Corp\\WS01");
    EXPECT_EQ(after->findWorkstation("10.0.0.1"),
              findWorkstation(testsupport::readFile(file), "10.0.0.1"));
    EXPECT_FALSE(before->findWorkstation("10.0.0.2")) << "an index handed out stays as it was";
}

TEST_F(IndexedFile, AFileReplacedByRenameIsReadAgainWithTheSameSizeAndTime) {
    testsupport::writeFile(file, line("WS01", "TCP 10.0.0.1"));
    const auto before = read();
    // As a build commits: a new file renamed over the old one.
    const fs::path replacement = dir / "Corp.lst.new";
    testsupport::writeFile(replacement, line("WS09", "TCP 10.0.0.9"));
    ASSERT_EQ(fs::file_size(replacement), fs::file_size(file));
    sameTime(replacement, file);
    fs::rename(replacement, file);
    const auto after = read();
    EXPECT_EQ(after->findWorkstation("10.0.0.9"), "KTR:\\\\Corp\\WS09");
    EXPECT_FALSE(after->findWorkstation("10.0.0.1"));
}

TEST_F(IndexedFile, AFileRewrittenInPlaceWithTheSameSizeIsReadAgainOnceItsTimeMoved) {
    testsupport::writeFile(file, line("WS01", "TCP 10.0.0.1"));
    const auto before = read();
    const std::string rewritten = line("WS07", "TCP 10.0.0.7");
    ASSERT_EQ(rewritten.size(), fs::file_size(file));
    testsupport::writeFile(file, rewritten);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, {st.st_mtim.tv_sec + 2, st.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(read()->findWorkstation("10.0.0.7"), "KTR:\\\\Corp\\WS07");
}

TEST_F(IndexedFile, AnotherDatabaseIsNotAnsweredFromTheFirstOnesIndex) {
    testsupport::writeFile(file, line("WS01", "TCP 10.0.0.1"));
    const fs::path other = dir / "Lab.lst";
    testsupport::writeFile(other, line("LAB1", "TCP 10.0.0.1"));
    sameTime(other, file);
    EXPECT_EQ(read()->findWorkstation("10.0.0.1"), "KTR:\\\\Corp\\WS01");
    const int fd = tvn::openDatabaseFile(other);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(tvn::indexedDatabase(fd, other)->findWorkstation("10.0.0.1"), "KTR:\\\\Corp\\LAB1");
    ::close(fd);
}
