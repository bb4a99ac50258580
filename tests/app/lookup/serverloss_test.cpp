// tvn on a private directory server that goes away or stops answering while
// it works: a database build that loses the server (unattended or from the
// window) keeps nothing of what it read, and a search the server leaves unanswered says so and
// shows no hits of an earlier search.
#include <signal.h>

#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>

#include "lookupfixture.h"
#include "platform/registry/store.h"
#include "testsupport/slapd.h"

namespace fs = std::filesystem;
using tvn::frmMain;

namespace {

// The lookup's directory on a slapd of its own.
class OnASlapd : public LookupTest {
protected:
    explicit OnASlapd(int pageSize = 0)
        : server({.ldif = testsupport::dataDir() / "lookup" / "directory.ldif",
                  .pageSize = pageSize}) {}
    void SetUp() override {
        LookupTest::SetUp();
        useDirectory(server.url());
        testsupport::storeCredentials(server);
    }
    void TearDown() override {
        testsupport::forgetCredentials();
        LookupTest::TearDown();
    }

    testsupport::Slapd server;
};

class ServerLossTest : public OnASlapd {
protected:
    // Whether every thread of a process is stopped (state T in /proc).
    static bool stopped(pid_t pid) {
        std::error_code error;
        bool any = false;
        for (const auto& task :
             fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
            const std::string stat = testsupport::readFile(task.path() / "stat");
            const auto close = stat.rfind(')');
            if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'T')
                return false;
            any = true;
        }
        return any;
    }
    // Suspends the server (it keeps its connections but answers nothing)
    // while `during` runs.
    void suspended(const std::function<void()>& during) {
        const pid_t pid =
            static_cast<pid_t>(std::stol(testsupport::readFile(server.dir() / "slapd.pid")));
        ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        // The stop is delivered in its own time, thread by thread: on a
        // busy machine the server could still answer what is sent at once
        // (and the hits it sends carry their entries: nothing else would
        // ask it again).
        ASSERT_TRUE(QTest::qWaitFor([&] { return stopped(pid); }, 5000))
            << "slapd did not stop";
        during();
        ASSERT_EQ(::kill(pid, SIGCONT), 0);
    }
};

// A server that hands out a search's hits two at a time.
class PagedServerBuildTest : public OnASlapd {
protected:
    PagedServerBuildTest() : OnASlapd(2) {}
};

}  // namespace

TEST_F(PagedServerBuildTest, EveryPageOfTheServersHitsGoesIntoTheDatabase) {
    ASSERT_EQ(load("/dbpath=" + platformForm(dbDir) + " /dbbuild=" + key() + " /autoclose"),
              frmMain::LoadResult::Closed)
        << form->failureReason().toStdString();
    const std::string written = database();
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 5) << written;
}

// The hits of a build come with their values, a page at a time: a server
// lost after the first page leaves the rest unread, and the build fails.
TEST_F(PagedServerBuildTest, AServerLostMidwayFailsTheBuildAndKeepsTheOldDatabase) {
    const std::string old = "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n";
    writeDatabase(old);
    int opened = 0;
    objects.beforeCall = [&](const fakes::FakeObjects::Call& call) {
        if (call.control == 4 && call.member == "OpenEntry" && ++opened == 1) server.stop();
    };
    ASSERT_EQ(load("/dbpath=" + platformForm(dbDir) + " /dbbuild=" + key() + " /autoclose"),
              frmMain::LoadResult::Failed);
    EXPECT_EQ(opened, 2) << "the first page's workstations are read, without the server";
    EXPECT_TRUE(form->failureReason().startsWith(
        "The Workstation Database was not built: the directory's hits could not be read after "
        "2 workstation(s): "))
        << form->failureReason().toStdString();
    EXPECT_EQ(rec.errors->lines.value(0), form->failureReason());
    EXPECT_EQ(database(), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dbDir), fs::directory_iterator()), 1)
        << "no file in the making is left";
}

TEST_F(PagedServerBuildTest, AServerLostDuringABuildFromTheWindowFailsItThereAndKeepsTheOldDatabase) {
    const std::string old = "\"KTR:\\\\Corp\\Old\\WS99\",\"TCP 10.9.9.99\",\"\"\r\n";
    writeDatabase(old);
    open();
    form->options.buildContext = key();
    form->databaseBuildSlice = std::chrono::milliseconds(0);  // one workstation a slice
    int opened = 0;
    objects.beforeCall = [&](const fakes::FakeObjects::Call& call) {
        if (call.control == 4 && call.member == "OpenEntry" && ++opened == 1) server.stop();
    };
    form->cmdBuildWSdb_Click();
    ASSERT_TRUE(form->databaseBuild) << "under way when the click returns";
    QTRY_VERIFY(!form->databaseBuild);
    EXPECT_TRUE(form->statusText().startsWith(
        "The Workstation Database was not built: the directory's hits could not be read after "
        "2 workstation(s): "))
        << form->statusText().toStdString();
    EXPECT_EQ(rec.errors->lines.value(0), form->statusText());
    EXPECT_EQ(database(), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dbDir), fs::directory_iterator()), 1);
    EXPECT_FALSE(form->prgBuildWSdb->isVisible());
    EXPECT_FALSE(form->cmdCancelBuildWSdb->isVisible());
    EXPECT_TRUE(form->cmdBuildWSdb->isEnabled());
    EXPECT_EQ(form->MousePointer(), platform::forms::pointer::kDefault);
}

TEST_F(ServerLossTest, ASearchTheServerLeavesUnansweredSaysSoAndEmptiesTheList) {
    platform::registry::Store().setValue("Software\\KDDirLib\\KDDirCtrl", "TimeoutSeconds", "1");
    openForSearches();
    search("WS");
    ASSERT_EQ(form->lstMultiple->count(), 4);
    suspended([&] { search("Single"); });
    EXPECT_TRUE(form->statusText().startsWith("The search for Single could not be run: "))
        << form->statusText().toStdString();
    EXPECT_TRUE(form->statusText().contains("did not answer within 1 s"))
        << form->statusText().toStdString();
    EXPECT_EQ(rec.errors->lines.value(0), form->statusText());
    EXPECT_EQ(form->lstMultiple->count(), 0) << "the earlier hits are not this search's answer";
    EXPECT_EQ(form->MousePointer(), platform::forms::pointer::kDefault);
}
