// The process-wide cache: one directory per file, reloaded on change, and
// the difference between a lost source and bad data.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fixtures.h"
#include "outside/directory/cache.h"

using namespace outside::directory;
using directorytest::kHeader;

namespace {

namespace fs = std::filesystem;

// Rewrites a file and moves its modification time on, so that the change
// shows even when the clock has not ticked since the last write.
void rewrite(const fs::path& path, const std::string& text) {
    const auto before = fs::last_write_time(path);
    testsupport::writeFile(path, text);
    fs::last_write_time(path, before + std::chrono::seconds(1));
}

const std::string kOneUser = kHeader + "dn: cn=a,dc=T\nobjectClass: ktrUser\n";
const std::string kTwoUsers = kOneUser + "\ndn: cn=b,dc=T\nobjectClass: ktrUser\n";

class Cache : public ::testing::Test {
protected:
    void SetUp() override {
        DirectoryCache::instance().clear();
        dir_ = testsupport::freshDir("cache");
        file_ = dir_ / "tree.ldif";
        testsupport::writeFile(file_, kOneUser);
    }
    LoadResult get(const fs::path& path) { return DirectoryCache::instance().get(path); }

    fs::path dir_;
    fs::path file_;
};

}  // namespace

TEST_F(Cache, OneFileIsLoadedOnceAndShared) {
    const LoadResult first = get(file_);
    ASSERT_TRUE(first.ok()) << first.error.describe();
    EXPECT_EQ(get(file_).directory, first.directory);
    // Other spellings of the same file.
    EXPECT_EQ(get(dir_ / "." / ".." / dir_.filename() / "tree.ldif").directory, first.directory);
    fs::create_symlink(file_, dir_ / "link.ldif");
    EXPECT_EQ(get(dir_ / "link.ldif").directory, first.directory);
}

TEST_F(Cache, AChangedFileIsReadAgainAndOldDataStaysValid) {
    const auto before = get(file_).directory;
    ASSERT_TRUE(before);
    rewrite(file_, kTwoUsers);
    const auto after = get(file_).directory;
    ASSERT_TRUE(after);
    EXPECT_NE(after, before);
    EXPECT_NE(after->find("KTR:\\\\T\\b"), kNoEntry);
    EXPECT_EQ(before->find("KTR:\\\\T\\b"), kNoEntry);  // held by its users, unchanged
    EXPECT_EQ(get(file_).directory, after);

    // Replaced by another file under the same name (new inode, same size and time).
    const auto time = fs::last_write_time(file_);
    testsupport::writeFile(dir_ / "new.ldif", kTwoUsers);
    fs::last_write_time(dir_ / "new.ldif", time);
    fs::rename(dir_ / "new.ldif", file_);
    EXPECT_NE(get(file_).directory, after);
}

TEST_F(Cache, BadDataIsReportedUntilTheFileIsMended) {
    rewrite(file_, kHeader + "dn: cn=a,dc=T\nobjectClass: ktrNothing\n");
    const LoadResult bad = get(file_);
    EXPECT_EQ(bad.status(), LoadStatus::BadData);
    EXPECT_EQ(bad.error.line, 13u);
    EXPECT_EQ(get(file_).error.message, bad.error.message);
    rewrite(file_, kOneUser);
    EXPECT_TRUE(get(file_).ok());
}

TEST_F(Cache, AVanishedFileIsALostSourceUntilItReturns) {
    ASSERT_TRUE(get(file_).ok());
    fs::rename(file_, dir_ / "away.ldif");
    const LoadResult lost = get(file_);
    EXPECT_EQ(lost.status(), LoadStatus::SourceLost);
    EXPECT_FALSE(lost.directory);
    EXPECT_EQ(get(dir_ / "never-there.ldif").status(), LoadStatus::SourceLost);
    fs::rename(dir_ / "away.ldif", file_);
    EXPECT_TRUE(get(file_).ok());
}

TEST_F(Cache, CallersOnManyThreadsShareOneLoad) {
    std::string big = kHeader;
    for (int i = 0; i < 5000; ++i) {
        big += "dn: cn=u" + std::to_string(i) + ",dc=T\nobjectClass: ktrUser\n\n";
    }
    rewrite(file_, big);
    std::vector<std::shared_ptr<const Directory>> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] { seen[i] = get(file_).directory; });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(seen[0]);
    EXPECT_EQ(seen[0]->size(), 5001u);
    for (const auto& dir : seen) EXPECT_EQ(dir, seen[0]);
}
