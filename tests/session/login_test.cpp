// Login through the login-dialog library, without a network: the requests
// the entry point receives, the records the control keeps, the OnLogin
// event, the missing library and the fallback library that sticks.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/automation/events.h"
#include "session/control.h"
#include "session/notices.h"
#include "testsupport/testsupport.h"

namespace {

namespace pa = platform::automation;
namespace fs = std::filesystem;
using session::CQuillonCtrl;

constexpr std::size_t kCallSize = 8 + 80 + 1328;

struct Call {
    std::string tag;
    std::vector<std::uint8_t> options, data;
    std::uint32_t u32(std::size_t offset) const {
        std::uint32_t v;
        std::memcpy(&v, data.data() + offset, sizeof v);
        return v;
    }
    std::string text(std::size_t offsetField) const {
        return reinterpret_cast<const char*>(data.data() + u32(offsetField));
    }
};

class LoginTest : public ::testing::Test, public session::Notices {
protected:
    void SetUp() override {
        session::setNotices(this);
        CQuillonCtrl::setLoginLibraryName("VESTANT.DLL");
        log_ = testsupport::freshDir("login") / "calls.bin";
    }
    void TearDown() override { session::setNotices(nullptr); }

    void messageBox(const std::string& text, const std::string& caption, int style) override {
        boxes.push_back(text + "|" + caption + "|" + std::to_string(style));
    }
    void aboutBox() override {}

    // Login libraries come from `dirs` (folders below the build's lib folder).
    testsupport::ScopedEnv libraries(const std::string& dirs) {
        std::string path;
        for (std::size_t start = 0; start <= dirs.size();) {
            const std::size_t end = std::min(dirs.find(':', start), dirs.size());
            if (!path.empty()) path += ':';
            path += (testsupport::libDir() / dirs.substr(start, end - start)).string();
            start = end + 1;
        }
        return testsupport::ScopedEnv("TVN_LIBRARY_PATH", path);
    }

    std::vector<Call> calls() const {
        std::vector<Call> out;
        if (!fs::exists(log_)) return out;
        const std::string bytes = testsupport::readFile(log_);
        EXPECT_EQ(bytes.size() % kCallSize, 0u);
        for (std::size_t at = 0; at + kCallSize <= bytes.size(); at += kCallSize) {
            Call c;
            c.tag = std::string(bytes.c_str() + at);
            c.options.assign(bytes.begin() + at + 8, bytes.begin() + at + 88);
            c.data.assign(bytes.begin() + at + 88, bytes.begin() + at + kCallSize);
            out.push_back(std::move(c));
        }
        return out;
    }

    pa::Ref<CQuillonCtrl> control = CQuillonCtrl::create();
    std::vector<std::string> boxes;
    fs::path log_;
    testsupport::ScopedEnv logEnv_{"QUILLON_TEST_LOGIN_LOG",
                                   (testsupport::home() / "unused").string()};
};

TEST_F(LoginTest, TreeLoginRecordsTheTreeOnceAndFiresWithTheCallersText) {
    const auto libs = libraries("quillon-testlogin");
    const testsupport::ScopedEnv log("QUILLON_TEST_LOGIN_LOG", log_.string());
    std::vector<pa::Args> fired;
    pa::advise(*control, [&](pa::DispId id, const pa::Args& args) {
        EXPECT_EQ(id, 1);
        fired.push_back(args);
    });

    const pa::Args args{pa::Variant(" KTR:\\\\ACME"), pa::Variant("admin"), pa::Variant("secret"),
                        pa::Variant(true)};
    EXPECT_TRUE(control->call("Login", args).toBool());
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0][0].toString(), " KTR:\\\\ACME");
    ASSERT_EQ(control->loginRecords().size(), 1u);
    EXPECT_EQ(control->loginRecords()[0].name, "ACME");
    EXPECT_EQ(control->loginRecords()[0].userName, "ADMIN");  // as the library left it
    EXPECT_EQ(control->loginRecords()[0].kind, 0);

    EXPECT_TRUE(control->call("Login", args).toBool());
    EXPECT_EQ(control->loginRecords().size(), 1u);
    EXPECT_EQ(fired.size(), 2u);

    const auto received = calls();
    ASSERT_EQ(received.size(), 2u);
    const Call& c = received[0];
    EXPECT_EQ(c.tag, "VESTANT");
    EXPECT_EQ(c.options[0], 2);
    EXPECT_EQ(c.options[3], 1);
    EXPECT_EQ(c.text(28), "ACME");
    EXPECT_EQ(c.text(20), "");
    EXPECT_EQ(c.text(36), "admin");
    EXPECT_EQ(c.text(52), "secret");
    EXPECT_EQ(c.u32(72), 0u);  // the tree root carries no context
}

TEST_F(LoginTest, SilentLoginWithResultsCallsTheEntryTwice) {
    const auto libs = libraries("quillon-testlogin");
    const testsupport::ScopedEnv log("QUILLON_TEST_LOGIN_LOG", log_.string());
    control->put("DisplayResults", pa::Variant(true));
    control->put("RunScripts", pa::Variant(true));
    control->put("AutoClose", pa::Variant(true));
    EXPECT_TRUE(control->login("\\\\FS1", "guest", "", false));
    const auto received = calls();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].options[0], 5);
    EXPECT_EQ(received[0].options[14], 2);
    EXPECT_EQ(received[0].options[56], 2);
    EXPECT_EQ(received[0].u32(124), 0u);
    EXPECT_EQ(received[1].options[0], 1);
    EXPECT_EQ(received[1].options[14], 1);
    EXPECT_EQ(received[1].options[56], 1);
    EXPECT_EQ(received[1].options[1], 1);
    EXPECT_EQ(received[1].text(20), "FS1");
    ASSERT_EQ(control->loginRecords().size(), 1u);
    EXPECT_EQ(control->loginRecords()[0].name, "FS1");
    EXPECT_EQ(control->loginRecords()[0].kind, 1);

    // With the dialog shown the results come with it: one call.
    EXPECT_TRUE(control->login("\\\\FS2", "guest", "", true));
    EXPECT_EQ(calls().size(), 3u);
}

TEST_F(LoginTest, FailedLoginReturnsFalseWithoutRecordOrEvent) {
    const auto libs = libraries("quillon-testlogin");
    const testsupport::ScopedEnv result("QUILLON_TEST_LOGIN_RESULT", "-669");
    int fired = 0;
    pa::advise(*control, [&](pa::DispId, const pa::Args&) { ++fired; });
    control->put("DisplayResults", pa::Variant(true));
    EXPECT_FALSE(control->login("ACME", "admin", "wrong", false));
    EXPECT_TRUE(control->loginRecords().empty());
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoginTest, MissingFirstLibraryIsReportedAndNotReplaced) {
    CQuillonCtrl::setLoginLibraryName("QUILLONNOSUCHLOGIN.DLL");
    EXPECT_FALSE(control->login("\\\\FS1", "admin", "secret", true));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "The required library 'QUILLONNOSUCHLOGIN.DLL' could not be found.|Marrel Session "
              "Control|48");
    EXPECT_EQ(CQuillonCtrl::loginLibraryName(), "QUILLONNOSUCHLOGIN.DLL");
}

TEST_F(LoginTest, LibraryWithoutEntryFallsBackForGood) {
    // The first folder holds a VESTANT without the entry point, the second
    // a recording VESTANT and PORTANT.
    const testsupport::ScopedEnv log("QUILLON_TEST_LOGIN_LOG", log_.string());
    {
        const auto libs = libraries("login-noentry:quillon-testlogin");
        EXPECT_TRUE(control->login("ACME", "admin", "secret", true));
    }
    EXPECT_EQ(CQuillonCtrl::loginLibraryName(), "PORTANT.DLL");
    EXPECT_TRUE(boxes.empty());

    // Later logins, by any control, go straight to the fallback even where
    // the first library would now have its entry point.
    const auto libs = libraries("quillon-testlogin");
    auto other = CQuillonCtrl::create();
    EXPECT_TRUE(other->login("ACME", "admin", "secret", true));
    const auto received = calls();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].tag, "PORTANT");
    EXPECT_EQ(received[1].tag, "PORTANT");
}

TEST_F(LoginTest, WithoutAChosenLibraryLoginFailsQuietly) {
    // As under Win32s, where the user was told when the control was built.
    const auto libs = libraries("quillon-testlogin");
    CQuillonCtrl::setLoginLibraryName("");
    EXPECT_FALSE(control->login("ACME", "admin", "secret", true));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoginTest, OversizedTextsAreRefused) {
    const auto libs = libraries("quillon-testlogin");
    EXPECT_FALSE(control->login("ACME", std::string(300, 'u'), "secret", true));
    EXPECT_FALSE(control->login("KTR:\\\\" + std::string(33, 'T'), "admin", "secret", true));
    EXPECT_TRUE(control->loginRecords().empty());
}

}  // namespace
