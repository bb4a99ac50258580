// The session records of the login publisher, on their own: what counts as
// a live session, and names that must not leave their folder.
#include "outside/agent/logon/sessions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "testsupport/testsupport.h"

namespace {

using namespace outside::agent::logon;
namespace fs = std::filesystem;

TEST(SessionRecords, ALeaderOfAnotherBootOrStartIsNoLiveSession) {
    const fs::path dir = testsupport::freshDir("state");
    SessionStore store(dir / "logon");
    const Leader me = leaderOf(::getpid());
    ASSERT_FALSE(me.boot.empty());
    ASSERT_NE(me.startTime, 0u);
    EXPECT_EQ(store.open("anna", "1", me), 1);
    // The same process ID in a boot before a power cut, or a process that
    // got the ID later: both sessions are over.
    Leader earlierBoot = me;
    earlierBoot.boot = "00000000-0000-0000-0000-000000000000";
    EXPECT_EQ(store.open("bert", "1", earlierBoot), 0);
    Leader reused = me;
    reused.startTime = me.startTime + 1;
    EXPECT_EQ(store.open("carl", "1", reused), 0);
    EXPECT_EQ(store.live("anna"), 1);
    EXPECT_EQ(store.close("anna", "1"), 0);
}

TEST(SessionRecords, OpenedTwiceClosesTwice) {
    SessionStore store(testsupport::freshDir("state") / "logon");
    const Leader me = leaderOf(::getpid());
    store.open("anna", "pts/1", me);
    store.open("anna", "pts/1", me);
    EXPECT_EQ(store.close("anna", "pts/1"), 1);
    EXPECT_EQ(store.close("anna", "pts/1"), 0);
    // One close too many is no error.
    EXPECT_EQ(store.close("anna", "pts/1"), 0);
}

TEST(SessionRecords, NamesStayInsideTheFolder) {
    const fs::path dir = testsupport::freshDir("state") / "logon";
    SessionStore store(dir);
    const Leader me = leaderOf(::getpid());
    for (const std::string user : {"..", ".", "../evil", "a/b", "", "ÄÖ ü\n"}) {
        store.open(user, "../../x", me);
        store.setPublished(user, {"cn=x", "owner", "v"});
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        EXPECT_EQ(entry.path().string().rfind(dir.string(), 0), 0u);
    std::vector<std::string> users = store.users();
    std::sort(users.begin(), users.end());
    EXPECT_EQ(users, (std::vector<std::string>{"", ".", "..", "../evil", "a/b", "ÄÖ ü\n"}));
    EXPECT_FALSE(fs::exists(dir.parent_path() / "evil"));
    // A value with a line break would corrupt the record: refused.
    EXPECT_THROW(store.setPublished("anna", {"cn=x\ncn=y", "owner", "v"}), StoreError);
}

}  // namespace
