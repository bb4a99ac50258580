// The database's lines and the address match, and the file that replaces the
// database only once it is complete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "app/lookup/DatabaseFile.h"
#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/ReplacementFile.h"
#include "app/shell/RuntimeError.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using namespace tvn::WorkstationDatabase;

// ---- lines ----

TEST(DatabaseLines, AWorkstationIsOneLineOfThreeQuotedFieldsEndedByCrLf) {
    EXPECT_EQ(formatRecord("KTR:\\\\Corp\\Acme\\WS01", "IPX 0000AC10:00C04F6C8C59:4003", ""),
              "\"KTR:\\\\Corp\\Acme\\WS01\",\"IPX 0000AC10:00C04F6C8C59:4003\",\"\"\r\n");

    // Names are written unchanged, quotes and commas included, and read back.
    for (const char* name :
         {"KTR:\\\\Corp\\WS \"7\"", "KTR:\\\\Corp\\a\",\"b", "KTR:\\\\Corp\\Zoë"}) {
        const std::string line = formatRecord(name, "TCP 10.0.0.5", "IPX 1:2:3");
        const auto record = parseRecord(std::string_view(line).substr(0, line.size() - 1));
        ASSERT_TRUE(record) << line;
        EXPECT_EQ(record->workstation, name);
        EXPECT_EQ(record->address1, "TCP 10.0.0.5");
        EXPECT_EQ(record->address2, "IPX 1:2:3");
    }
}

TEST(DatabaseLines, LinesOfAnotherFormAreNotRead) {
    for (const char* line : {"", "\"", "\"\"", "\"a\",\"b\"", "a,b,c", "\"a\",\"b\",\"c",
                             "x\"a\",\"b\",\"c\"", "\"a\";\"b\";\"c\""})
        EXPECT_FALSE(parseRecord(line)) << line;
    ASSERT_TRUE(parseRecord("\"\",\"\",\"\""));
    EXPECT_EQ(parseRecord("\"\",\"\",\"\"")->workstation, "");
}

// ---- lookup keys ----

TEST(LookupKey, IpxGivesTheNodeAndTcpTheWholeAddress) {
    EXPECT_EQ(lookupKey("IPX 0000AC10:00C04F6C8C59:4003"), "00C04F6C8C59");
    EXPECT_EQ(lookupKey("  IPX 0000AC10:00c04f6c8c59:8063  "), "00c04f6c8c59");
    EXPECT_EQ(lookupKey("IPX 0000AC10:00C04F6C8C59"), "00C04F6C8C59") << "no socket";
    EXPECT_EQ(lookupKey("IPX 00C04F6C8C59"), "00C04F6C8C59") << "no colon: all of it";
    EXPECT_EQ(lookupKey("TCP 10.0.0.5"), "10.0.0.5");
    EXPECT_EQ(lookupKey("IPX 5A17C0DE:000000000001:0451"), std::string(kServerNode));
    // The kind is compared exactly; without data there is no key.
    for (const char* none : {"", "ipx 0000AC10:00C04F6C8C59:4003", "SPX 1:2:3", "UDP 10.0.0.5",
                             "TCP", "TCP ", "IPX 0000AC10::4003"})
        EXPECT_FALSE(lookupKey(none)) << none;
}

// ---- the address match ----

TEST(AddressMatch, TheKeyMustEqualAWholePartOfAnAddressIgnoringCase) {
    EXPECT_TRUE(holdsAddressPart("TCP 10.0.0.5", "10.0.0.5"));
    EXPECT_FALSE(holdsAddressPart("TCP 10.0.0.50", "10.0.0.5")) << "a prefix is no match";
    EXPECT_FALSE(holdsAddressPart("TCP 110.0.0.5", "10.0.0.5")) << "nor a suffix";
    EXPECT_TRUE(holdsAddressPart("IPX 0000AC10:00C04F6C8C59:4003", "00c04f6c8c59"));
    EXPECT_TRUE(holdsAddressPart("ipx 0000ac10:00c04f6c8c59:4003", "00C04F6C8C59"));
    EXPECT_FALSE(holdsAddressPart("IPX 0000AC10:00C04F6C8C591:4003", "00C04F6C8C59"));
    EXPECT_FALSE(holdsAddressPart("IPX 0000AC10:00C04F6C8C59:4003", "IPX")) << "not the kind";
    EXPECT_FALSE(holdsAddressPart("", ""));
    EXPECT_FALSE(holdsAddressPart("TCP ", ""));
}

TEST(AddressMatch, TheFirstLineWithTheAddressWinsInEitherField) {
    const std::string file =
        "\"KTR:\\\\T\\O\\WS50\",\"TCP 10.0.0.50\",\"\"\r\n"
        "not a line of the database\r\n"
        "\"KTR:\\\\T\\O\\WS02\",\"IPX 0000AC10:00A0C9112233:4003\",\"TCP 10.0.0.5\"\r\n"
        "\"KTR:\\\\T\\O\\WS05\",\"TCP 10.0.0.5\",\"\"";  // no line end at the end
    EXPECT_EQ(findWorkstation(file, "10.0.0.5"), "KTR:\\\\T\\O\\WS02");
    EXPECT_EQ(findWorkstation(file, "10.0.0.50"), "KTR:\\\\T\\O\\WS50");
    EXPECT_EQ(findWorkstation(file, "00a0c9112233"), "KTR:\\\\T\\O\\WS02");
    EXPECT_FALSE(findWorkstation(file, "10.0.0"));
    EXPECT_FALSE(findWorkstation("", "10.0.0.5"));
    // The two address fields are not read as one text.
    EXPECT_FALSE(findWorkstation("\"W\",\"TCP 10.0.0.5\",\"0\"\r\n", "10.0.0.50"));
    // The key in a line that is not of the database's form, at the file's
    // start, across a line end, and in the last line alone.
    const std::string edges =
        "10.0.0.6\r\n\"KTR:\\\\T\\O\\A\",\"TCP 10.0.0.\",\"\"\r\n6\",\"\",\"\"\r\n"
        "\"KTR:\\\\T\\O\\B\",\"IPX 1:2:3\",\"TCP 10.0.0.6\"";
    EXPECT_EQ(findWorkstation(edges, "10.0.0.6"), "KTR:\\\\T\\O\\B");
    EXPECT_FALSE(findWorkstation(edges, "10.0.0.60"));
}

// ---- replacing the database ----

namespace {

class Replacement : public ::testing::Test {
protected:
    fs::path dir = testsupport::freshDir("replace");
    fs::path target = dir / "Corp.lst";

    std::vector<std::string> others() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path() != target) names.push_back(entry.path().filename().string());
        return names;
    }
};

int numberOf(const std::function<void()>& step) {
    return tvn::errorNumberOf(step);
}

}  // namespace

TEST_F(Replacement, TheTargetChangesOnlyAtCommitAndKeepsItsPermissions) {
    testsupport::writeFile(target, "old\r\n");
    fs::permissions(target, fs::perms(0640));
    {
        tvn::ReplacementFile file(target);
        EXPECT_EQ(file.temporary().parent_path(), dir);
        file.write("new\r\n");
        EXPECT_EQ(testsupport::readFile(target), "old\r\n");
        file.commit();
    }
    EXPECT_EQ(testsupport::readFile(target), "new\r\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_TRUE(others().empty());

    // Appending: the old lines first.
    tvn::ReplacementFile append(target);
    append.copyTarget();
    append.write("more\r\n");
    append.commit();
    EXPECT_EQ(testsupport::readFile(target), "new\r\nmore\r\n");
}

TEST_F(Replacement, ANewFileGetsTheUsualPermissions) {
    const mode_t mask = umask(022);
    tvn::ReplacementFile file(target);
    file.copyTarget();  // nothing to copy
    file.commit();
    umask(mask);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST_F(Replacement, AFileThrownAwayOrNotWrittenLeavesTheOldOne) {
    testsupport::writeFile(target, "old\r\n");
    {
        tvn::ReplacementFile file(target);
        file.write("new\r\n");
    }
    EXPECT_EQ(testsupport::readFile(target), "old\r\n");
    EXPECT_TRUE(others().empty());

    // A write beyond the file-size limit fails (the signal that would end the
    // process is ignored here): commit reports it and the old file stays.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    int number = 0;
    std::string why;
    {
        tvn::ReplacementFile file(target);
        file.write(std::string(10000, 'x'));
        try {
            file.commit();
        } catch (const tvn::RuntimeError& e) {
            number = e.number();
            why = e.what();
        }
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(number, tvn::err::kPathFileAccess);
    EXPECT_NE(why.find("Cannot write"), std::string::npos) << why;
    EXPECT_EQ(testsupport::readFile(target), "old\r\n");
    EXPECT_TRUE(others().empty());
}

TEST_F(Replacement, AFileLeftByAKilledWriterGoesButOneInUseStays) {
    testsupport::writeFile(dir / "Corp.lst.tvn-Ab12Cd", "half");
    testsupport::writeFile(dir / "Corp.lst.tvn-InUse1", "half");
    testsupport::writeFile(dir / "Lab.lst.tvn-Zz99Zz", "another database's");
    testsupport::writeFile(dir / "Corp.lst.bak", "not ours");
    const int held = open((dir / "Corp.lst.tvn-InUse1").c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);

    tvn::ReplacementFile file(target);
    std::vector<std::string> names = others();
    std::sort(names.begin(), names.end());
    close(held);
    // The new file's random name may sort anywhere among the others.
    std::vector<std::string> expected = {"Corp.lst.bak", "Corp.lst.tvn-InUse1",
                                         file.temporary().filename().string(),
                                         "Lab.lst.tvn-Zz99Zz"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST_F(Replacement, AMissingFolderIs76AndAWriteProtectedTargetOrFolderIs75) {
    EXPECT_EQ(numberOf([&] { tvn::ReplacementFile(dir / "gone" / "Corp.lst"); }),
              tvn::err::kPathNotFound);

    testsupport::writeFile(target, "old\r\n");
    fs::permissions(target, fs::perms(0444));
    EXPECT_EQ(numberOf([&] { tvn::ReplacementFile{target}; }), tvn::err::kPathFileAccess);
    fs::permissions(target, fs::perms(0644));

    fs::permissions(dir, fs::perms(0555));
    EXPECT_EQ(numberOf([&] { tvn::ReplacementFile{target}; }), tvn::err::kPathFileAccess);
    fs::permissions(dir, fs::perms(0755));
    EXPECT_EQ(testsupport::readFile(target), "old\r\n");
    EXPECT_TRUE(others().empty());
}

TEST_F(Replacement, AnAbruptEndRemovesTheFilesInTheMakingAndNothingElse) {
    testsupport::writeFile(target, "old");
    const fs::path other = dir / "Lab.lst";
    {
        tvn::ReplacementFile done(other);
        done.write("new");
        done.commit();
    }
    tvn::ReplacementFile discarded(dir / "Gone.lst");
    discarded.discard();
    tvn::ReplacementFile making(target);
    making.write("half");
    ASSERT_TRUE(fs::exists(making.temporary()));

    tvn::ReplacementFile::removeUncommitted();
    EXPECT_FALSE(fs::exists(making.temporary()));
    std::vector<std::string> names = others();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>{"Lab.lst"});
    EXPECT_EQ(testsupport::readFile(target), "old");
    EXPECT_EQ(testsupport::readFile(other), "new");
    EXPECT_EQ(numberOf([&] { making.commit(); }), tvn::err::kPathFileAccess)
        << "what was removed cannot be put in place";
    EXPECT_EQ(testsupport::readFile(target), "old");
}

TEST_F(Replacement, ALinkToTheDatabaseStaysALinkAndItsTargetGetsTheNewContent) {
    const fs::path elsewhere = testsupport::freshDir("shared") / "corp-workstations.lst";
    testsupport::writeFile(elsewhere, "old\r\n");
    fs::create_symlink(elsewhere, target);
    // A link to a link, relative, as sites set them up.
    const fs::path second = dir / "Again.lst";
    fs::create_symlink("Corp.lst", second);
    for (const fs::path& link : {target, second}) {
        tvn::ReplacementFile file(link);
        EXPECT_EQ(file.temporary().parent_path(), elsewhere.parent_path());
        file.copyTarget();
        file.write("new\r\n");
        file.commit();
    }
    EXPECT_TRUE(fs::is_symlink(target));
    EXPECT_TRUE(fs::is_symlink(second));
    EXPECT_EQ(testsupport::readFile(elsewhere), "old\r\nnew\r\nnew\r\n");
    EXPECT_EQ(
        std::distance(fs::directory_iterator(elsewhere.parent_path()), fs::directory_iterator()),
        1);

    // A link that leads to nothing yet: the database is made where it points.
    const fs::path dangling = dir / "Lab.lst";
    fs::create_symlink(elsewhere.parent_path() / "lab.lst", dangling);
    tvn::ReplacementFile fresh(dangling);
    fresh.write("lab\r\n");
    fresh.commit();
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(testsupport::readFile(elsewhere.parent_path() / "lab.lst"), "lab\r\n");

    const fs::path loop = dir / "Loop.lst";
    fs::create_symlink("Loop.lst", loop);
    EXPECT_EQ(numberOf([&] { tvn::ReplacementFile looped(loop); }), 75);
}

TEST_F(Replacement, TheOldLinesAreCopiedOnlyFromARegularFileOfADatabasesSize) {
    ASSERT_EQ(::mkfifo(target.c_str(), 0644), 0);
    {
        tvn::ReplacementFile file(target);
        EXPECT_EQ(numberOf([&] { file.copyTarget(); }), 75) << "a FIFO, which no writer opens";
    }
    fs::remove(target);
    fs::create_symlink("/dev/zero", target);
    {
        tvn::ReplacementFile file(target);
        try {
            file.copyTarget();
            ADD_FAILURE() << "/dev/zero was read";
        } catch (const tvn::RuntimeError& e) {
            EXPECT_EQ(e.number(), 75);
            EXPECT_NE(std::string(e.what()).find("a character device"), std::string::npos)
                << e.what();
        }
    }
    fs::remove(target);
    // A sparse file just over the limit.
    testsupport::writeFile(target, "x");
    fs::resize_file(target, tvn::kMaxDatabaseBytes + 1);
    tvn::ReplacementFile file(target);
    try {
        file.copyTarget();
        ADD_FAILURE() << "a file over the limit was read";
    } catch (const tvn::RuntimeError& e) {
        EXPECT_EQ(e.number(), 75);
        EXPECT_NE(std::string(e.what()).find("more than 256 MB"), std::string::npos) << e.what();
    }
}
