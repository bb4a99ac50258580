// The registry store: names without regard to case, order of first writing,
// subtree deletion, atomic and concurrent writes, locked and foreign files,
// stores open for reading only.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry/settings.h"
#include "platform/registry/store.h"
#include "testsupport/testsupport.h"

using platform::registry::RegistryError;
using platform::registry::Settings;
using platform::registry::Store;
namespace fs = std::filesystem;

namespace {

fs::path freshStore() {
    return testsupport::freshDir("store") / "registry.db";
}

using Pairs = Store::NamedValues;

}  // namespace

TEST(RegistryStore, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    Store store(freshStore());
    store.setValue("Software\\Tolvane", "WindowWidth", "3000");
    store.setValue("SOFTWARE\\tolvane", "windowwidth", "4000");
    store.setValue("software\\TOLVANE\\Settings", "Ä-Key", "1");

    EXPECT_EQ(store.value("software\\TOLVANE", "WINDOWWIDTH"), "4000");
    EXPECT_EQ(store.value("Software\\Tolvane\\settings", "ä-key"), "1");
    EXPECT_EQ(store.values("Software\\Tolvane"), (Pairs{{"WindowWidth", "4000"}}));
    EXPECT_EQ(store.subkeys("Software"), std::vector<std::string>{"Tolvane"});
    EXPECT_EQ(store.subkeys("software\\tolvane"), std::vector<std::string>{"Settings"});
}

TEST(RegistryStore, ValueNamesMayHoldAnyText) {
    Store store(freshStore());
    const std::string fullName = "KTR:\\\\CorpTree\\Acme\\Sales\\WS042;x:y";
    store.setValue("History\\CorpTree", fullName, "Workstation");
    store.setValue("History\\CorpTree", "", "default");
    EXPECT_EQ(store.value("History\\CorpTree", fullName), "Workstation");
    EXPECT_EQ(store.value("History\\CorpTree", ""), "default");
    EXPECT_FALSE(store.keyExists("History\\CorpTree\\Acme"));
}

TEST(RegistryStore, EnumerationFollowsTheOrderOfFirstWriting) {
    Store store(freshStore());
    for (const char* name : {"zeta", "alpha", "Mid"}) store.setValue("K", name, name);
    store.setValue("K", "ALPHA", "rewritten");  // keeps its place
    store.deleteValue("K", "zeta");
    store.setValue("K", "Zeta", "again");  // a new value goes last
    EXPECT_EQ(store.values("K"),
              (Pairs{{"alpha", "rewritten"}, {"Mid", "Mid"}, {"Zeta", "again"}}));

    for (const char* key : {"K\\b", "K\\a", "K\\c"}) store.createKey(key);
    EXPECT_EQ(store.subkeys("K"), (std::vector<std::string>{"b", "a", "c"}));
}

TEST(RegistryStore, PathsIgnoreEmptyComponents) {
    Store store(freshStore());
    store.setValue("\\A\\\\B\\", "n", "v");
    EXPECT_EQ(store.value("A\\B", "n"), "v");
}

// A value is read in one statement that walks its key path; every depth
// finds its own value and no other level's, and a path that leaves the tree
// part of the way finds nothing.
TEST(RegistryStore, AValueIsFoundAtEveryDepthAndNowhereElse) {
    Store store(freshStore());
    std::string path;
    store.setValue("", "v", "root");
    for (int depth = 1; depth <= 12; ++depth) {
        path += (depth > 1 ? "\\L" : "L") + std::to_string(depth);
        store.setValue(path, "v", "at " + std::to_string(depth));
        store.setValue(path + "Twin", "v", "twin " + std::to_string(depth));
    }
    EXPECT_EQ(store.value("", "V"), "root");
    EXPECT_EQ(store.value("\\", "v"), "root");
    path.clear();
    for (int depth = 1; depth <= 12; ++depth) {
        path += (depth > 1 ? "\\l" : "l") + std::to_string(depth);
        EXPECT_EQ(store.value(path, "v"), "at " + std::to_string(depth)) << path;
        EXPECT_EQ(store.value(path + "TWIN", "V"), "twin " + std::to_string(depth)) << path;
        EXPECT_EQ(store.value(path, "w"), std::nullopt) << path;
    }
    EXPECT_EQ(store.value("L1\\Nowhere\\L3", "v"), std::nullopt);
    EXPECT_EQ(store.value("L2", "v"), std::nullopt) << "L2 lives under L1 only";
    store.deleteKey("L1\\L2");
    EXPECT_EQ(store.value("L1\\L2\\L3", "v"), std::nullopt);
    EXPECT_EQ(store.value("L1", "v"), "at 1");
}

TEST(RegistryStore, DeletingAKeyRemovesItsSubtreeOnly) {
    Store store(freshStore());
    store.setValue("A\\B\\C", "deep", "1");
    store.setValue("A\\B", "mid", "2");
    store.setValue("A\\Bx", "sibling", "3");
    store.deleteKey("a\\b");
    EXPECT_FALSE(store.keyExists("A\\B"));
    EXPECT_FALSE(store.keyExists("A\\B\\C"));
    EXPECT_EQ(store.value("A\\Bx", "sibling"), "3");
    // What does not exist is harmless to delete.
    EXPECT_NO_THROW(store.deleteKey("A\\B"));
    EXPECT_NO_THROW(store.deleteKey("Nowhere\\At\\All"));
    EXPECT_FALSE(store.deleteValue("A\\Bx", "missing"));
    EXPECT_THROW(store.deleteKey(""), RegistryError);
    // A recreated key starts empty.
    store.createKey("A\\B");
    EXPECT_TRUE(store.values("A\\B").empty());
    EXPECT_TRUE(store.subkeys("A\\B").empty());
}

TEST(RegistryStore, WritesSurviveReopening) {
    const fs::path file = freshStore();
    { Store(file).setValue("Persist", "x", "1"); }
    EXPECT_EQ(Store(file).value("Persist", "x"), "1");
}

TEST(RegistryStore, ANewStoreIsReadableByItsOwnerOnly) {
    const fs::path file = freshStore();
    const auto mask = ::umask(022);
    { Store(file).setValue("Software\\KDDirLib\\KDDirCtrl", "BindPassword", "secret"); }
    ::umask(mask);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(RegistryStore, AFailedBatchLeavesNothingBehind) {
    Store store(freshStore());
    store.setValue("Batch", "kept", "1");
    EXPECT_THROW(store.atomically([&] {
        store.setValue("Batch", "a", "2");
        store.deleteKey("Batch");
        throw std::runtime_error("interrupted");
    }),
                 std::runtime_error);
    EXPECT_EQ(store.values("Batch"), (Pairs{{"kept", "1"}}));
}

TEST(RegistryStore, ALockedStoreFailsAfterABoundedWait) {
    const fs::path file = freshStore();
    Store holder(file);
    Store waiter(file, std::chrono::milliseconds(100));
    holder.atomically([&] {
        holder.setValue("Lock", "held", "1");
        try {
            waiter.setValue("Lock", "other", "2");
            ADD_FAILURE() << "a write went through a held lock";
        } catch (const RegistryError& e) {
            EXPECT_EQ(e.kind(), RegistryError::Kind::Locked);
            EXPECT_NE(std::string(e.what()).find("locked"), std::string::npos);
        }
    });
    // Once released, the waiter writes normally and nothing was lost.
    waiter.setValue("Lock", "other", "2");
    EXPECT_EQ(holder.values("Lock"), (Pairs{{"held", "1"}, {"other", "2"}}));
}

TEST(RegistryStore, ACommitThatMeetsAReaderIsUndoneAndLeavesTheStoreWritable) {
    const fs::path file = freshStore();
    Store writer(file, std::chrono::milliseconds(100));
    // A reader in the middle of a read transaction keeps the writer from
    // committing.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM keys;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    try {
        writer.setValue("Commit", "lost", "1");
        ADD_FAILURE() << "a commit went through a reader's lock";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.kind(), RegistryError::Kind::Locked);
    }
    EXPECT_EQ(sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(reader);

    // The failed write is gone and the next one neither fails nor holds a lock.
    writer.setValue("Commit", "kept", "2");
    EXPECT_EQ(Store(file).values("Commit"), (Pairs{{"kept", "2"}}));
    Store(file).setValue("Commit", "other", "3");
}

TEST(RegistryStore, AForeignFileIsRefusedAndLeftUntouched) {
    const fs::path dir = testsupport::freshDir("foreign");
    const std::string text = "this is my shopping list, not a store\n";
    testsupport::writeFile(dir / "text.db", text);
    try {
        Store store(dir / "text.db");
        ADD_FAILURE() << "a text file was opened as a store";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.kind(), RegistryError::Kind::Corrupt);
    }
    EXPECT_EQ(testsupport::readFile(dir / "text.db"), text);

    // An SQLite file of another program is refused too.
    const fs::path other = dir / "other.db";
    { Store mine(other); }
    // Corrupt the middle of a real store: its header survives, its pages do not.
    std::string bytes = testsupport::readFile(other);
    ASSERT_GT(bytes.size(), 200u);
    for (std::size_t i = 100; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5);
    testsupport::writeFile(other, bytes);
    EXPECT_THROW(
        {
            Store broken(other);
            broken.setValue("x", "y", "z");
        },
        RegistryError);
    EXPECT_EQ(testsupport::readFile(other), bytes);
}

TEST(RegistryStore, AFolderInsteadOfAFileIsAClearError) {
    const fs::path dir = testsupport::freshDir("folder");
    try {
        Store store(dir);
        ADD_FAILURE();
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.kind(), RegistryError::Kind::Io);
        EXPECT_NE(std::string(e.what()).find(dir.string()), std::string::npos);
    }
}

TEST(RegistryStore, DefaultPathFollowsTheEnvironment) {
    {
        testsupport::ScopedEnv db("REGISTRY_DB", "/tmp/somewhere/else.db");
        EXPECT_EQ(Store::defaultPath(), "/tmp/somewhere/else.db");
    }
    testsupport::ScopedEnv noDb("REGISTRY_DB", nullptr);
    testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(Store::defaultPath(), "/cfg/tolvane/registry.db");
}

TEST(RegistryStore, MachinePathFollowsTheEnvironment) {
    {
        testsupport::ScopedEnv db("MACHINE_REGISTRY_DB", "/srv/stage/classes.db");
        EXPECT_EQ(Store::machinePath(), "/srv/stage/classes.db");
    }
    testsupport::ScopedEnv noDb("MACHINE_REGISTRY_DB", nullptr);
    EXPECT_EQ(Store::machinePath(), "/var/lib/tolvane/classes.db");
}

TEST(RegistryStore, AReadOnlyStoreReadsButNeverWrites) {
    const fs::path file = freshStore();
    try {
        Store missing(file, std::chrono::seconds(1), Store::Access::ReadOnly);
        ADD_FAILURE() << "a missing store opened read-only";
    } catch (const RegistryError& e) {
        EXPECT_EQ(e.kind(), RegistryError::Kind::Io);
    }
    EXPECT_FALSE(fs::exists(file));  // not created by the attempt

    Store writer(file);
    writer.setValue("Classes\\Thing", "", "one");
    Store reader(file, std::chrono::seconds(1), Store::Access::ReadOnly);
    EXPECT_EQ(reader.access(), Store::Access::ReadOnly);
    EXPECT_FALSE(reader.writable());
    EXPECT_TRUE(writer.writable());
    EXPECT_EQ(reader.value("classes\\thing", ""), "one");
    writer.setValue("Classes\\Thing", "", "two");  // a reader does not block the writer
    EXPECT_EQ(reader.value("Classes\\Thing", ""), "two");

    const auto refused = [&](auto write) {
        try {
            write();
        } catch (const RegistryError& e) {
            EXPECT_EQ(e.kind(), RegistryError::Kind::ReadOnly);
            EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
            return true;
        }
        return false;
    };
    EXPECT_TRUE(refused([&] { reader.setValue("Classes\\Thing", "", "three"); }));
    EXPECT_TRUE(refused([&] { reader.deleteKey("Classes"); }));
    EXPECT_TRUE(refused([&] { reader.createKey("Other"); }));
    EXPECT_EQ(writer.value("Classes\\Thing", ""), "two");

    // An empty file is no store, and reading does not make it one.
    const fs::path empty = freshStore();
    testsupport::writeFile(empty, "");
    EXPECT_THROW(Store(empty, std::chrono::seconds(1), Store::Access::ReadOnly), RegistryError);
    EXPECT_EQ(fs::file_size(empty), 0u);
}

TEST(RegistryStore, TwoProcessesWritingAtOnceLoseNothing) {
    const fs::path file = freshStore();
    Store(file).createKey("Shared");  // both writers find the schema in place
    const std::string writer = (testsupport::binDir() / "registry_writer").string();
    constexpr int kCount = 150;
    pid_t pids[2];
    for (int i = 0; i < 2; ++i) {
        pids[i] = fork();
        ASSERT_GE(pids[i], 0);
        if (pids[i] == 0) {
            const std::string key = "Writer" + std::to_string(i);
            const std::string count = std::to_string(kCount);
            execl(writer.c_str(), writer.c_str(), file.c_str(), key.c_str(), count.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    Store store(file);
    EXPECT_EQ(store.values("Writer0").size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(store.values("Writer1").size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(store.value("Shared", "Counter"), std::to_string(2 * kCount));
}

TEST(SettingsStore, SectionsNestAndKeepOrder) {
    Store store(freshStore());
    Settings settings(store);
    EXPECT_EQ(settings.get("Tolvane", "Settings\\CorpTree", "Top", "570"), "570");
    settings.save("Tolvane", "Settings\\CorpTree", "Top", "100");
    settings.save("Tolvane", "Settings\\CorpTree", "Left", "200");
    settings.save("Tolvane", "Settings\\LabTree", "Top", "300");
    EXPECT_EQ(settings.get("tolvane", "settings\\corptree", "TOP", "570"), "100");
    EXPECT_EQ(settings.section("Tolvane", "Settings\\CorpTree"),
              (Pairs{{"Top", "100"}, {"Left", "200"}}));

    settings.deleteKey("Tolvane", "Settings\\CorpTree", "Top");
    EXPECT_EQ(settings.section("Tolvane", "Settings\\CorpTree"), (Pairs{{"Left", "200"}}));
    settings.deleteSection("Tolvane", "Settings\\CorpTree");
    EXPECT_TRUE(settings.section("Tolvane", "Settings\\CorpTree").empty());
    EXPECT_EQ(settings.get("Tolvane", "Settings\\LabTree", "Top"), "300");
    EXPECT_NO_THROW(settings.deleteSection("Tolvane", "No\\Such"));
}
