// Component registration keys: classes, ProgIDs, type libraries, categories.
#include <gtest/gtest.h>

#include "platform/registry/registration.h"
#include "testsupport/testsupport.h"

namespace {

using platform::registry::ClassRegistration;
using platform::registry::Registration;
using platform::registry::Store;
using platform::registry::TypeLibraryRegistration;

constexpr const char* kA = "{0A0A0A0A-0000-0000-0000-00000000000A}";
constexpr const char* kB = "{0B0B0B0B-0000-0000-0000-00000000000B}";
constexpr const char* kLib = "{0C0C0C0C-0000-0000-0000-00000000000C}";
constexpr const char* kCat = "{0D0D0D0D-0000-0000-0000-00000000000D}";

ClassRegistration classA() {
    ClassRegistration r;
    r.clsid = kA;
    r.name = "Class A";
    r.progId = "Lib.A.1";
    r.versionIndependentProgId = "Lib.A";
    r.serverPath = "/opt/lib/liba.so";
    r.typeLibrary = kLib;
    r.version = "1.2";
    r.control = true;
    r.miscStatus = 0x20591;
    r.implementedCategories = {kCat};
    return r;
}

// Every key below `key` with its values, for comparing whole subtrees.
void dump(const Store& store, const std::string& key, std::vector<std::string>& out) {
    for (const auto& [name, value] : store.values(key))
        out.push_back(key + "=" + name + ":" + value);
    for (const auto& sub : store.subkeys(key)) {
        out.push_back(key + "\\" + sub);
        dump(store, key + "\\" + sub, out);
    }
}
std::vector<std::string> dump(const Store& store) {
    std::vector<std::string> out;
    dump(store, "Classes", out);
    return out;
}

class RegistrationTest : public ::testing::Test {
protected:
    Store store{testsupport::freshDir("reg") / "registry.db"};
    Registration reg{store};
};

TEST_F(RegistrationTest, ClassKeysReadBack) {
    reg.registerClass(classA());
    EXPECT_EQ(reg.clsidFromProgId("lib.a.1"), kA);
    EXPECT_EQ(reg.clsidFromProgId("LIB.A"), kA);
    EXPECT_EQ(reg.progIdFromClsid(kA), "Lib.A.1");
    EXPECT_EQ(reg.inprocServer(kA), "/opt/lib/liba.so");
    EXPECT_EQ(store.value("Classes\\Lib.A\\CurVer", ""), "Lib.A.1");
    EXPECT_EQ(
        store.value(std::string("Classes\\CLSID\\") + kA + "\\InprocServer32", "ThreadingModel"),
        "Apartment");
    const auto found = reg.findClass(kA);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Class A");
    EXPECT_TRUE(found->control);
    EXPECT_FALSE(found->insertable);
    EXPECT_EQ(found->miscStatus, 0x20591u);
    EXPECT_EQ(found->typeLibrary, kLib);
    EXPECT_EQ(found->version, "1.2");
    EXPECT_EQ(found->implementedCategories, std::vector<std::string>{kCat});
}

TEST_F(RegistrationTest, VersionInformationKeptWithTheClass) {
    ClassRegistration r = classA();
    r.versionInfo = platform::registry::VersionInfo{"1.22", "1.22",     "A component", "Lib",
                                                    "LibA", "LIBA.OCX", 0x0407,        1252};
    reg.registerClass(r);
    const std::string key = std::string("Classes\\CLSID\\") + kA + "\\VersionInfo";
    EXPECT_EQ(store.value(key, "OriginalFilename"), "LIBA.OCX");
    EXPECT_EQ(store.value(key, "Translation"), "040704E4");
    EXPECT_EQ(reg.findClass(kA)->versionInfo, r.versionInfo);

    // Registered again without it, the class has none.
    reg.registerClass(classA());
    EXPECT_FALSE(reg.findClass(kA)->versionInfo);
    EXPECT_FALSE(store.keyExists(key));
    // A damaged translation keeps the usual language and code page.
    reg.registerClass(r);
    store.setValue(key, "Translation", "xyz");
    EXPECT_EQ(reg.findClass(kA)->versionInfo->language, 0x0409);
    EXPECT_EQ(reg.findClass(kA)->versionInfo->codePage, 1200);
    EXPECT_TRUE(reg.unregisterClass(kA));
    EXPECT_FALSE(store.keyExists(key));
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneSetOfKeys) {
    reg.registerClass(classA());
    const auto once = dump(store);
    reg.registerClass(classA());
    EXPECT_EQ(dump(store), once);

    // A registration that drops a flag or renames its ProgID leaves nothing stale.
    ClassRegistration changed = classA();
    changed.control = false;
    changed.progId = "Lib.A.2";
    reg.registerClass(changed);
    EXPECT_FALSE(reg.clsidFromProgId("Lib.A.1"));
    EXPECT_EQ(reg.clsidFromProgId("Lib.A.2"), kA);
    EXPECT_FALSE(reg.findClass(kA)->control);
}

TEST_F(RegistrationTest, UnregisterRemovesOnlyItsOwnKeys) {
    ClassRegistration b;
    b.clsid = kB;
    b.name = "Class B";
    b.progId = "Lib.B";
    b.serverPath = "/opt/lib/libb.so";
    reg.registerClass(b);
    reg.registerCategory(kCat, "Safe things");
    const auto before = dump(store);

    reg.registerClass(classA());
    EXPECT_TRUE(reg.unregisterClass(kA));
    EXPECT_EQ(dump(store), before);
    EXPECT_FALSE(reg.unregisterClass(kA));

    // A ProgID that another class took over stays with it.
    reg.registerClass(classA());
    ClassRegistration thief = b;
    thief.progId = "Lib.A.1";
    reg.registerClass(thief);
    reg.unregisterClass(kA);
    EXPECT_EQ(reg.clsidFromProgId("Lib.A.1"), kB);
}

TEST_F(RegistrationTest, BadInputIsRefusedAndWritesNothing) {
    ClassRegistration bad = classA();
    bad.clsid = "{not-a-guid}";
    EXPECT_THROW(reg.registerClass(bad), std::invalid_argument);
    bad = classA();
    bad.progId = "CLSID\\{0A0A0A0A-0000-0000-0000-00000000000A}";
    EXPECT_THROW(reg.registerClass(bad), std::invalid_argument);
    bad = classA();
    bad.versionIndependentProgId = "TypeLib";
    EXPECT_THROW(reg.registerClass(bad), std::invalid_argument);
    bad = classA();
    bad.implementedCategories = {"x"};
    EXPECT_THROW(reg.registerClass(bad), std::invalid_argument);
    EXPECT_TRUE(dump(store).empty());

    // Look-ups of malformed names answer nothing instead of reaching other keys.
    reg.registerClass(classA());
    EXPECT_FALSE(reg.clsidFromProgId(""));
    EXPECT_FALSE(reg.clsidFromProgId("CLSID"));
    EXPECT_FALSE(reg.clsidFromProgId(std::string("CLSID\\") + kA + "\\ProgID"));
    EXPECT_FALSE(reg.inprocServer("Lib.A.1"));
    EXPECT_TRUE(platform::registry::isGuid("{0a0a0a0a-0000-0000-0000-00000000000A}"));
    EXPECT_FALSE(platform::registry::isGuid("0A0A0A0A-0000-0000-0000-00000000000A"));
}

TEST_F(RegistrationTest, CategoriesAreCreatedOnce) {
    reg.registerCategory(kCat, "Controls that are safely scriptable");
    reg.registerCategory(kCat, "Another text");
    EXPECT_EQ(reg.categoryDescription(kCat), "Controls that are safely scriptable");
    EXPECT_FALSE(reg.categoryDescription(kCat, 0x407));
}

TEST_F(RegistrationTest, TypeLibrariesWithVersionsAndInterfaces) {
    reg.registerTypeLibrary({kLib, "1.2", "Lib", "/opt/lib/liba.so", "/opt/help", 0x409, 0});
    reg.registerTypeLibrary({kLib, "1.10", "Lib newer", "/opt/lib/liba2.so", "", 0, 0});
    reg.registerInterface(kB, "_DLib", kLib, "1.2");
    EXPECT_EQ(reg.findTypeLibrary(kLib)->version, "1.10");  // numeric, not text order
    const auto old = reg.findTypeLibrary(kLib, "1.2");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->name, "Lib");
    EXPECT_EQ(old->path, "/opt/lib/liba.so");
    EXPECT_EQ(old->helpDir, "/opt/help");
    EXPECT_EQ(old->locale, 0x409u);

    EXPECT_TRUE(reg.unregisterTypeLibrary(kLib, "1.10"));
    EXPECT_EQ(reg.findTypeLibrary(kLib)->version, "1.2");
    EXPECT_TRUE(store.keyExists(std::string("Classes\\Interface\\") + kB));
    EXPECT_TRUE(reg.unregisterTypeLibrary(kLib, "1.2"));
    EXPECT_FALSE(reg.findTypeLibrary(kLib));
    // Only the shared parent keys stay.
    EXPECT_EQ(dump(store), (std::vector<std::string>{"Classes\\TypeLib", "Classes\\Interface"}));
    EXPECT_FALSE(store.keyExists(std::string("Classes\\Interface\\") + kB));
    EXPECT_FALSE(reg.unregisterTypeLibrary(kLib, "1.2"));
    EXPECT_THROW(reg.registerTypeLibrary({kLib, "one", "", "", "", 0, 0}), std::invalid_argument);
}

}  // namespace
