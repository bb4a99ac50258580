// The two records of a login request, byte by byte.
#include <gtest/gtest.h>

#include <cstring>

#include "session/loginrequest.h"

namespace {

using session::LoginKind;
using session::LoginOptions;
using session::LoginRequest;
using session::LoginTarget;

std::uint32_t u32(const LoginRequest& r, std::size_t offset) {
    std::uint32_t v;
    std::memcpy(&v, r.data().data() + offset, sizeof v);
    return v;
}

std::string textAt(const LoginRequest& r, std::size_t offsetField) {
    return reinterpret_cast<const char*>(r.data().data() + u32(r, offsetField));
}

LoginTarget target(LoginKind kind, std::string name, std::string context = {}) {
    return {kind, std::move(name), std::move(context), "admin", "secret"};
}

TEST(LoginRequest, TreeLoginWithDialog) {
    LoginOptions o;
    o.autoClose = true;
    o.scriptTab = true;
    o.runScripts = true;
    o.displayResults = true;
    const LoginRequest r(target(LoginKind::Tree, "ACME", "Unit.Org"), o, true);
    const auto& opt = r.options();
    EXPECT_EQ(opt[0], 2);  // dialog
    EXPECT_EQ(opt[1], 1);  // auto close
    EXPECT_EQ(opt[2], 2);
    EXPECT_EQ(opt[3], 1);  // tree
    EXPECT_EQ(opt[4], 0x05);
    EXPECT_EQ(opt[12], 2);
    EXPECT_EQ(opt[13], 2);
    EXPECT_EQ(opt[14], 1);  // script runs
    EXPECT_EQ(opt[16], 1);
    EXPECT_EQ(opt[17], 0);
    EXPECT_EQ(opt[18], 0);
    EXPECT_EQ(opt[19], 7);
    EXPECT_EQ(opt[56], 1);  // results shown with the dialog

    const auto& d = r.data();
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[1], 0);
    EXPECT_EQ(d[2], 0);
    EXPECT_EQ(d[3], 7);
    EXPECT_EQ(u32(r, 12), 1u);
    EXPECT_EQ(u32(r, 16), 129u);
    EXPECT_EQ(u32(r, 24), 33u);
    EXPECT_EQ(u32(r, 32), 257u);
    EXPECT_EQ(u32(r, 48), 7u);  // "secret" and its NUL
    EXPECT_EQ(textAt(r, 20), "");
    EXPECT_EQ(textAt(r, 28), "ACME");
    EXPECT_EQ(textAt(r, 36), "admin");
    EXPECT_EQ(textAt(r, 52), "secret");
    EXPECT_EQ(u32(r, 72), 4u);
    EXPECT_EQ(textAt(r, 76), "Unit.Org");
    EXPECT_EQ(u32(r, 104), 0u);
    EXPECT_EQ(u32(r, 108), 0u);
    EXPECT_EQ(u32(r, 124), 1u);
    EXPECT_EQ(r.treeName(), "ACME");
    EXPECT_EQ(r.serverName(), "");
    EXPECT_EQ(r.userName(), "admin");
}

TEST(LoginRequest, ServerLogins) {
    LoginOptions o;
    o.connectionTab = true;
    o.variablesTab = true;
    const LoginRequest bindery(target(LoginKind::BinderyServer, "FS1", "Servers.Acme"), o, true);
    EXPECT_EQ(bindery.options()[3], 2);
    EXPECT_EQ(bindery.options()[4], 0x0B);
    EXPECT_EQ(bindery.options()[12], 1);
    EXPECT_EQ(bindery.options()[14], 2);
    EXPECT_EQ(bindery.options()[56], 2);
    EXPECT_EQ(u32(bindery, 104), 1u);
    EXPECT_EQ(textAt(bindery, 20), "FS1");
    EXPECT_EQ(textAt(bindery, 28), "");
    // A bindery login has no directory context.
    EXPECT_EQ(u32(bindery, 72), 0u);
    EXPECT_EQ(u32(bindery, 76), 0u);

    const LoginRequest directory(target(LoginKind::DirectoryServer, "FS1", "Servers.Acme"), o,
                                 true);
    EXPECT_EQ(directory.options()[12], 2);
    EXPECT_EQ(u32(directory, 104), 0u);
    EXPECT_EQ(u32(directory, 72), 4u);
    EXPECT_EQ(textAt(directory, 76), "Servers.Acme");

    const LoginRequest noContext(target(LoginKind::DirectoryServer, "FS1"), o, true);
    EXPECT_EQ(u32(noContext, 72), 0u);
}

TEST(LoginRequest, RefusesTextsThatDoNotFit) {
    auto t = target(LoginKind::Tree, std::string(32, 'T'));
    EXPECT_TRUE(LoginRequest::fits(t));
    t.name += 'T';
    EXPECT_FALSE(LoginRequest::fits(t));
    t = target(LoginKind::DirectoryServer, std::string(128, 'S'));
    EXPECT_TRUE(LoginRequest::fits(t));
    t.loginName = std::string(257, 'u');
    EXPECT_FALSE(LoginRequest::fits(t));
    t = target(LoginKind::Tree, "ACME");
    t.password = std::string(KDLOGIN_MAX_PASSWORD - 1, 'p');
    EXPECT_TRUE(LoginRequest::fits(t));
    const LoginRequest longest(t, {}, true);
    EXPECT_EQ(textAt(longest, 52).size(), KDLOGIN_MAX_PASSWORD - 1);
    t.password += 'p';
    EXPECT_FALSE(LoginRequest::fits(t));
}

}  // namespace
