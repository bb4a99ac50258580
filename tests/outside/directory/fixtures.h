// Shared pieces of the directory tests: fixture paths, a small schema for
// LDIF written by the tests themselves, and the check of refused records.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "outside/directory/ldif.h"

#include "testsupport/testsupport.h"

namespace directorytest {

inline std::filesystem::path fixture(const std::string& name) {
    return testsupport::dataDir() / "directory" / name;
}

// A subschema entry and the tree root "dc=T", 11 lines, ending with a blank line.
inline const std::string kHeader =
    "version: 1\n"
    "dn: cn=Subschema\n"
    "objectClass: subschema\n"
    "attributeTypes: ( 2.5.4.3 NAME 'cn' X-KTR-NAME 'CN' )\n"
    "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT )\n"
    "objectClasses: ( 2.5.6.4 NAME 'organization' SUP top MAY cn X-KTR-NAME 'Organization' )\n"
    "objectClasses: ( 1.1.2 NAME 'ktrUser' SUP top MUST cn X-KTR-NAME 'User' )\n"
    "\n"
    "dn: dc=T\n"
    "objectClass: top\n"
    "\n";

// Writes text to a fresh file in the private test home.
inline std::filesystem::path writeLdif(const std::string& text,
                                       const std::string& name = "t.ldif") {
    const auto path = testsupport::freshDir("ldif") / name;
    testsupport::writeFile(path, text);
    return path;
}

// A record the loader must refuse: appended to kHeader, it fails as bad data
// at this line with a message holding these words.
struct Refused {
    std::string text;
    unsigned long line;
    const char* words;
};

inline void expectRefused(const std::vector<Refused>& cases) {
    for (const Refused& c : cases) {
        const auto result = outside::directory::loadLdif(writeLdif(kHeader + c.text));
        ASSERT_FALSE(result.ok()) << c.text;
        EXPECT_EQ(result.status(), outside::directory::LoadStatus::BadData) << c.text;
        EXPECT_EQ(result.error.line, c.line) << c.text << " -> " << result.error.message;
        EXPECT_NE(result.error.message.find(c.words), std::string::npos)
            << c.text << " -> " << result.error.message;
    }
}

}  // namespace directorytest
