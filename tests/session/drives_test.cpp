// Drive mappings as a host sees them: the control's DriveMappings and the
// creatable QuillonLib.DriveMappings, called late-bound over the client
// stand-in; what Add does to the drive table and to the process's current
// directory, what it refuses, and a mapped drive used by program start.
#include <chrono>
#include <sstream>
#include <thread>

#include "outside/client/resolver.h"
#include "platform/process/shell.h"
#include "quillonhost.h"

namespace {

using namespace quillontest;

class DriveMappings : public QuillonHost {
protected:
    void SetUp() override {
        QuillonHost::SetUp();
        makeFolders({"FS1/SYS/PUBLIC/WIN32", "FS1/SYS/LOGIN", "FS1/DATA/Projects", "FS2/APPS"});
    }
    void TearDown() override { fs::current_path(cwd_); }

    pa::Ref<pa::Object> mappings() { return control_->get("DriveMappings").toObject(); }

    pa::Ref<pa::Object> add(const std::string& letter, const std::string& path,
                            std::optional<bool> asRoot = std::nullopt) {
        pa::Args args{Variant(letter), Variant(path)};
        if (asRoot) args.emplace_back(*asRoot);
        return mappings()->call("Add", args).toObject();
    }

    std::vector<std::string> letters() {
        std::vector<std::string> out;
        for (const Variant& item : pa::enumerate(*mappings()))
            out.push_back(item.toObject()->get("DriveLetter").toString());
        return out;
    }

    pa::Ref<pa::Object> control_ = create();
    fs::path cwd_ = fs::current_path();
};

TEST_F(DriveMappings, AddedDrivesAreListedInDriveOrderAndFoundByLetterOrPosition) {
    EXPECT_EQ(mappings()->get("Count").toInt32(), 0);
    EXPECT_TRUE(pa::enumerate(*mappings()).empty());

    // Added out of order; the collection in hand does not change.
    auto collection = mappings();
    auto h =
        collection->call("Add", {Variant("h"), Variant("\\\\fs1\\data\\projects"), Variant(true)})
            .toObject();
    EXPECT_EQ(h->get("DriveLetter").toString(), "H:");
    EXPECT_EQ(collection->get("Count").toInt32(), 0);
    add("F", "\\\\FS2\\APPS");

    auto both = mappings();
    EXPECT_EQ(letters(), (std::vector<std::string>{"F:", "H:"}));
    EXPECT_EQ(both->get("Item", {Variant(std::int32_t(1))}).toObject()->value().toString(),
              "\\\\FS1\\DATA\\PROJECTS");
    auto byLetter = both->get("Item", {Variant("hello")}).toObject();
    ASSERT_TRUE(byLetter);
    EXPECT_EQ(byLetter->get("FullName").toString(), "\\\\FS1\\DATA\\PROJECTS");
    EXPECT_TRUE(byLetter->get("MappedAsRoot").toBool());
    auto f = both->invoke(pa::DispIdValue, pa::CallKind::Get, {Variant("f")}).toObject();
    EXPECT_EQ(f->get("FullName").toString(), "\\\\FS2\\APPS");
    EXPECT_FALSE(f->get("MappedAsRoot").toBool());
    EXPECT_TRUE(both->get("Item", {Variant("Q")}).isNothing());
    EXPECT_TRUE(both->get("Item", {Variant("")}).isNothing());
    EXPECT_EQ(codeOf([&] { both->get("Item", {Variant(std::int32_t(2))}); }), pa::error::BadIndex);
    EXPECT_EQ(codeOf([&] { both->get("Item", {Variant(std::int32_t(-1))}); }), pa::error::BadIndex);

    // The collection class on its own sees the same drives.
    auto created = pa::createObject("QuillonLib.DriveMappings");
    EXPECT_EQ(created->get("Count").toInt32(), 2);
}

TEST_F(DriveMappings, RemoveDeletesListedDrivesOnly) {
    add("F", "\\\\FS1\\SYS");
    add("H", "\\\\FS1\\DATA");
    auto both = mappings();
    EXPECT_FALSE(both->call("Remove", {Variant("Q")}).toBool());
    EXPECT_EQ(codeOf([&] { both->call("Remove", {Variant(std::int32_t(7))}); }),
              pa::error::BadIndex);
    EXPECT_TRUE(both->call("Remove", {Variant("h")}).toBool());
    EXPECT_EQ(both->get("Count").toInt32(), 1);
    EXPECT_EQ(letters(), std::vector<std::string>{"F:"});

    // Unmapped behind the collection's back: the client keeps nothing to
    // delete, so Remove answers FALSE and the item stays.
    auto stale = mappings();
    ASSERT_EQ(kdclient("unmap F:"), 0);
    EXPECT_FALSE(stale->call("Remove", {Variant(std::int32_t(0))}).toBool());
    EXPECT_EQ(stale->get("Count").toInt32(), 1);
    EXPECT_EQ(stale->get("Item", {Variant(std::int32_t(0))}).toObject()->value().toString(), "");
}

TEST_F(DriveMappings, AddMapsTheVolumeAndMovesIntoTheDirectoryOrMapsTheDirectoryAsRoot) {
    auto g = add("g", "\\\\fs1\\sys\\public\\win32");
    EXPECT_EQ(g->get("FullName").toString(), "\\\\FS1\\SYS");
    EXPECT_FALSE(g->get("MappedAsRoot").toBool());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), unc_ / "FS1" / "SYS" / "PUBLIC" / "WIN32"));

    fs::current_path(cwd_);
    auto root = add("g", "\\\\fs1\\sys\\public\\win32", true);
    EXPECT_EQ(root->get("FullName").toString(), "\\\\FS1\\SYS\\PUBLIC\\WIN32");
    EXPECT_TRUE(root->get("MappedAsRoot").toBool());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), unc_ / "FS1" / "SYS" / "PUBLIC" / "WIN32"));

    // A missing or null MapAsRoot is FALSE; "." and ".." inside the volume
    // are worked out.
    add("k", "\\\\FS1\\SYS\\PUBLIC\\.\\..\\LOGIN");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), unc_ / "FS1" / "SYS" / "LOGIN"));
    mappings()->call("Add",
                     {Variant("L"), Variant("\\\\FS1\\SYS\\PUBLIC\\..\\LOGIN"), Variant::null()});
    auto l = mappings()->get("Item", {Variant("L")}).toObject();
    EXPECT_EQ(l->get("FullName").toString(), "\\\\FS1\\SYS");
}

TEST_F(DriveMappings, AddRefusesWhatNamesNoVolumePathWith612) {
    add("G", "\\\\FS1\\DATA");
    fs::current_path(cwd_);
    for (const auto& [letter, path] : std::vector<std::pair<std::string, std::string>>{
             {"7", "\\\\FS1\\SYS"},
             {"", "\\\\FS1\\SYS"},
             {"G", "\\\\FS1"},
             {"G", "FS1\\SYS\\PUBLIC"},
             {"G", "\\\\FS1\\"},
             {"G", "\\\\NOSUCH\\SYS"},
             {"G", "\\\\FS1\\NOVOL"},
             {"G", "\\\\FS1\\SYS\\NOSUCHDIR"},
             {"G", "\\\\FS1\\SYS\\..\\DATA"},
             {"G", "\\\\FS1\\SYS\\PUBLIC\\..\\..\\..\\DATA"},
         }) {
        const auto error = errorOf([&] { add(letter, path, true); });
        EXPECT_EQ(error.code(), 612) << letter << " " << path;
        EXPECT_EQ(error.description(), "Drive mapping error.");
        EXPECT_EQ(error.helpContext(), -1);
        // G keeps the mapping it had, and the process stays where it was.
        EXPECT_EQ(mappings()->get("Item", {Variant("G")}).toObject()->value().toString(),
                  "\\\\FS1\\DATA")
            << path;
    }
    EXPECT_TRUE(fs::equivalent(fs::current_path(), cwd_));
}

// What the client could not take as it stands (a NUL ends its C text) or
// not give back (a path longer than its drive status reports) is refused
// before the client is asked, so that no drive is mapped that the
// collection would not list.
TEST_F(DriveMappings, AddRefusesANulAndAPathTheDriveStatusCannotReport) {
    // \\FS1\DATA and four folders: 255 characters in all, the most a drive's
    // path can have; one folder more is too long.
    const std::vector<std::string> folders{std::string(60, 'A'), std::string(60, 'B'),
                                           std::string(60, 'C'), std::string(61, 'D')};
    std::string longest = "\\\\FS1\\DATA";
    fs::path local = unc_ / "FS1" / "DATA";
    for (const std::string& folder : folders) {
        longest += "\\" + folder;
        local /= folder;
    }
    ASSERT_EQ(longest.size(), 255u);
    fs::create_directories(local / "E");

    add("G", "\\\\FS1\\SYS");
    for (const std::string& path :
         {longest + "\\E", longest + "\\E\\.", std::string("\\\\FS1\\SYS\\PUBLIC") + '\0' + "X"}) {
        EXPECT_EQ(codeOf([&] { add("G", path, true); }), 612) << path;
        const auto g = mappings()->get("Item", {Variant("G")}).toObject();
        ASSERT_TRUE(g) << "G: is mapped but not listed after " << path;
        EXPECT_EQ(g->value().toString(), "\\\\FS1\\SYS");
    }
    EXPECT_EQ(codeOf([&] { add("H", std::string("\\\\FS1\\DATA") + '\0' + "\\SYS"); }), 612);
    EXPECT_EQ(letters(), std::vector<std::string>{"G:"});

    // At 255 characters it is mapped and listed; mapped to the volume, the
    // long directory is only where the process stands.
    EXPECT_EQ(add("G", longest, true)->get("FullName").toString(), longest);
    EXPECT_EQ(add("K", longest + "\\E")->get("FullName").toString(), "\\\\FS1\\DATA");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), local / "E"));
    EXPECT_EQ(letters(), (std::vector<std::string>{"G:", "K:"}));
}

// A drive mapped through the control is a drive of the session: program
// start finds programs on it.
TEST_F(DriveMappings, AMappedDriveServesProgramStart) {
    makeFolders({"FS1/SYS/PUBLIC/HARBEX"});
    fs::copy_file(ARGRECORDER_PATH, unc_ / "FS1" / "SYS" / "PUBLIC" / "HARBEX" / "vorplin.exe");
    const fs::path record = testsupport::freshDir("record") / "argv.txt";
    const testsupport::ScopedEnv recordEnv("ARGRECORD_FILE", record.string());
    platform::process::setPathResolver(outside::client::makePathResolver());

    EXPECT_THROW(platform::process::Shell("X:\\HARBEX\\VORPLIN.EXE -x"),
                 platform::process::ProcessError);
    add("x", "\\\\FS1\\SYS\\PUBLIC", true);
    platform::process::Shell("X:\\HARBEX\\VORPLIN.EXE -wWS042");

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(record) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    platform::process::setPathResolver(nullptr);
    std::istringstream lines(testsupport::readFile(record));
    std::vector<std::string> argv;
    for (std::string line; std::getline(lines, line);) argv.push_back(line);
    ASSERT_EQ(argv.size(), 4u);  // pid, descriptors, then the arguments
    EXPECT_EQ(argv[2], (unc_ / "FS1" / "SYS" / "PUBLIC" / "HARBEX" / "vorplin.exe").string());
    EXPECT_EQ(argv[3], "-wWS042");
}

}  // namespace
