// Sources that must not hang or read other files: a FIFO or a device named
// as the source or by an "include:" line, and sources over the size limit.
// A load that blocks would hang the test, so each load runs on a thread of
// its own and is freed (by opening the FIFO's other end) when it takes too
// long.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "fixtures.h"
#include "outside/directory/cache.h"
#include "outside/directory/ldif.h"

using namespace outside::directory;
using directorytest::kHeader;
using directorytest::writeLdif;

namespace {

namespace fs = std::filesystem;

fs::path makeFifo() {
    const fs::path fifo = testsupport::freshDir("fifo") / "source.ldif";
    if (::mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("cannot make a FIFO");
    return fifo;
}

// Runs load and answers its result, or fails the test when it has not
// returned within a few seconds (and then unblocks it through the FIFO).
LoadResult withoutBlocking(const std::function<LoadResult()>& load, const fs::path& fifo = {}) {
    auto pending = std::async(std::launch::async, load);
    if (pending.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return pending.get();
    ADD_FAILURE() << "the load blocked";
    if (!fifo.empty()) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    return pending.get();
}

}  // namespace

TEST(Source, AFifoOrADeviceIsRefusedWithoutReadingFromIt) {
    const fs::path fifo = makeFifo();
    const LoadResult direct = withoutBlocking([&] { return loadLdif(fifo); }, fifo);
    EXPECT_EQ(direct.status(), LoadStatus::SourceLost);
    EXPECT_EQ(direct.error.describe(), fifo.string() + ": not a regular file");

    const LoadResult cached =
        withoutBlocking([&] { return DirectoryCache::instance().get(fifo); }, fifo);
    EXPECT_EQ(cached.status(), LoadStatus::SourceLost);

    for (const char* device : {"/dev/zero", "/dev/null"}) {
        const LoadResult result = withoutBlocking([&] { return loadLdif(device); });
        EXPECT_EQ(result.status(), LoadStatus::SourceLost) << device;
        EXPECT_NE(result.error.message.find("not a regular file"), std::string::npos) << device;
    }
}

TEST(Source, IncludeLinesAreRefusedBeforeTheFileTheyNameIsOpened) {
    const fs::path fifo = makeFifo();
    for (const std::string& target : {"file://" + fifo.string(), std::string("file:///dev/zero")}) {
        // Where a record begins, also after comments; in any case.
        for (const std::string& text :
             {kHeader + "include: " + target + "\n",
              kHeader + "# a comment\n#  more\ninclude: " + target + "\n\ndn: cn=a,dc=T\n",
              kHeader + "INCLUDE:" + target + "\n"}) {
            const LoadResult result =
                withoutBlocking([&] { return loadLdif(writeLdif(text)); }, fifo);
            EXPECT_EQ(result.status(), LoadStatus::BadData) << text;
            EXPECT_NE(result.error.message.find("\"include:\" lines are not allowed"),
                      std::string::npos)
                << result.error.message;
        }
    }
    const LoadResult commented =
        loadLdif(writeLdif(kHeader + "# a comment\n#  more\ninclude: file:///dev/zero\n"));
    EXPECT_EQ(commented.error.line, 14u);
}

TEST(Source, ASourceOverTheLimitIsRefusedWithTheLimitNamed) {
    const std::string text = kHeader + "dn: cn=a,dc=T\nobjectClass: ktrUser\n";
    const fs::path file = writeLdif(text);
    const LoadLimits exact{text.size(), "the value Limit", {}};
    EXPECT_TRUE(loadLdif(file, exact).ok());

    const LoadLimits below{text.size() - 1, "the value Limit", {}};
    const LoadResult refused = loadLdif(file, below);
    EXPECT_EQ(refused.status(), LoadStatus::SourceLost);
    EXPECT_EQ(refused.error.message, "the file is larger than the limit of " +
                                         std::to_string(text.size() - 1) + " bytes (" +
                                         std::to_string(text.size()) +
                                         " bytes); the limit is the value Limit");

    // The cache does not hand out what it loaded under a larger limit.
    DirectoryCache::instance().clear();
    ASSERT_TRUE(DirectoryCache::instance().get(file).ok());
    EXPECT_EQ(DirectoryCache::instance().get(file, below).status(), LoadStatus::SourceLost);
    EXPECT_TRUE(DirectoryCache::instance().get(file, exact).ok());
    EXPECT_EQ(LoadLimits().maxSourceBytes, 2147483648u);
}

TEST(Source, RecordsReadTheSameFromAFileAndFromMemory) {
    // Line ends of both kinds, comments between and inside records, runs of
    // blank lines, no line end at the very end.
    const std::string text = kHeader +
                             "# about a\r\n\r\n\r\ndn: cn=a,dc=T\r\nobjectClass: ktrUser\r\n"
                             "# inside\r\ncn: a\r\n  folded\r\n\n\n# about b\n"
                             "dn: cn=b,dc=T\nobjectClass: ktrUser\ncn: b";
    const LoadResult file = loadLdif(writeLdif(text));
    const LoadResult memory = loadLdifText(text, "memory");
    ASSERT_TRUE(file.ok()) << file.error.describe();
    ASSERT_TRUE(memory.ok()) << memory.error.describe();
    for (const auto& dir : {file.directory, memory.directory}) {
        EXPECT_EQ(dir->size(), 3u);
        EXPECT_EQ(dir->values(dir->find("KTR:\\\\T\\a"), "CN"),
                  (std::vector<std::string_view>{"a folded"}));
        EXPECT_EQ(dir->values(dir->find("KTR:\\\\T\\b"), "CN"),
                  (std::vector<std::string_view>{"b"}));
    }
    // Lines are counted in both.
    const std::string bad = text + "\n\ndn: cn=c,dc=T\nobjectClass: nothing\n";
    EXPECT_EQ(loadLdif(writeLdif(bad)).error.line, 28u);
    EXPECT_EQ(loadLdifText(bad, "memory").error.describe(),
              "memory:28: the class \"nothing\" is not in the schema");
}

TEST(Source, ANulByteIsRefusedRatherThanCuttingTheLineShort) {
    const std::string text =
        kHeader + "dn: cn=a,dc=T\nobjectClass: ktrUser\ncn: a" + std::string(1, '\0') + "b\n";
    const LoadResult result = loadLdifText(text, "memory");
    EXPECT_EQ(result.status(), LoadStatus::BadData);
    EXPECT_EQ(result.error.line, 14u);
    EXPECT_NE(result.error.message.find("NUL"), std::string::npos);
}

// Past its first few thousand entries the loader makes room for the rest of
// the file at once, judged from what the first ones took. Entries that come
// out much larger (or smaller) than judged must still all be there, with
// their values, and the memory held must be what the entries need.
TEST(Source, EntriesPastTheFirstThousandsLoadWhateverTheirSize) {
    std::string text = kHeader;
    const auto entry = [&](int i, std::size_t valueBytes) {
        const std::string n = std::to_string(i);
        text.append("dn: cn=u").append(n).append(",dc=T\nobjectClass: ktrUser\ncn: u").append(n);
        text.append("\nsurname: ").append(valueBytes, 'x').append("\n\n");
    };
    for (int i = 0; i < 5000; ++i) entry(i, 1);
    for (int i = 5000; i < 7000; ++i) entry(i, 400);  // far more than the first ones judged
    for (int i = 7000; i < 9000; ++i) entry(i, 0);
    const LoadResult file = loadLdif(writeLdif(text));
    ASSERT_TRUE(file.ok()) << file.error.describe();
    const Directory& dir = *file.directory;
    EXPECT_EQ(dir.size(), 9001u);
    for (int i : {0, 4095, 4096, 4097, 6999, 8999}) {
        const std::string name = std::string("KTR:\\\\T\\u").append(std::to_string(i));
        const EntryId id = dir.find(name);
        ASSERT_NE(id, kNoEntry) << i;
        EXPECT_EQ(dir.fullName(id), name);
        const std::size_t length = i < 5000 ? 1 : i < 7000 ? 400 : 0;
        const auto surname = dir.values(id, "Surname");
        ASSERT_EQ(surname.size(), 1u) << i;
        EXPECT_EQ(surname[0], std::string(length, 'x')) << i;
    }
    // The file's text is about 1.3 MB, most of it the long surnames.
    EXPECT_LT(dir.memoryUsage(), 2u * 1024 * 1024);
}
