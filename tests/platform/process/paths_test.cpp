// Translation of UNC, drive, rooted and relative paths into local paths,
// with case-insensitive matching and pluggable volumes and drives.
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>

#include "platform/process/paths.h"
#include "testsupport/testsupport.h"

namespace {
namespace fs = std::filesystem;
using namespace platform::process;
using testsupport::ScopedEnv;

// "/a/b" in the platform's rooted form "\a\b".
std::string rooted(const fs::path& path) {
    std::string text = path.string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = testsupport::freshDir("net");
        fs::create_directories(root_ / "FS1" / "SYS" / "Public" / "Harbex");
        fs::create_directories(root_ / "FS1" / "DATA");
        testsupport::writeFile(root_ / "FS1" / "SYS" / "Public" / "Harbex" / "vorplin.exe", "");
    }
    void TearDown() override { setPathResolver(nullptr); }

    fs::path root_;
    ScopedEnv uncRoot_{"UNC_ROOT", std::string()};
    void pointUncRoot() { setenv("UNC_ROOT", root_.c_str(), 1); }
};

PathError::Kind kindOf(std::string_view path) {
    try {
        toLocalPath(path);
    } catch (const PathError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no error for " << path;
    return PathError::Kind::Malformed;
}

TEST_F(PathsTest, UncPathsMatchExistingComponentsIgnoringCase) {
    pointUncRoot();
    const fs::path program = root_ / "FS1/SYS/Public/Harbex/vorplin.exe";
    EXPECT_EQ(toLocalPath(R"(\\fs1\sys\PUBLIC\harbex\VORPLIN.EXE)"), program);
    EXPECT_EQ(toLocalPath("//Fs1/Sys/public/harbex/vorplin.exe"), program);
    EXPECT_EQ(toLocalPath(R"(\\FS1\SYS)"), root_ / "FS1/SYS");
    // Files the program will create keep the case they are given in.
    EXPECT_EQ(toLocalPath(R"(\\FS1\data\Tvn\CorpTree.lst)"), root_ / "FS1/DATA/Tvn/CorpTree.lst");
    // ".." and "." stay inside the volume.
    EXPECT_EQ(toLocalPath(R"(\\FS1\SYS\.\..\..\..\etc\passwd)"), root_ / "FS1/SYS/etc/passwd");
    EXPECT_EQ(toLocalPath(R"(\\FS1\SYS\public\\x\..\HARBEX)"), root_ / "FS1/SYS/Public/Harbex");
}

TEST_F(PathsTest, UntranslatableUncPathsAreTypedErrors) {
    EXPECT_EQ(kindOf(R"(\\FS1\SYS\x)"), PathError::Kind::NoNetworkRoot);  // UNC_ROOT empty
    setenv("UNC_ROOT", (root_ / "missing").c_str(), 1);
    EXPECT_EQ(kindOf(R"(\\FS1\SYS\x)"), PathError::Kind::NoNetworkRoot);

    pointUncRoot();
    EXPECT_EQ(kindOf(R"(\\FS2\SYS\x)"), PathError::Kind::UnknownVolume);
    EXPECT_EQ(kindOf(R"(\\FS1\VOL9)"), PathError::Kind::UnknownVolume);
    for (const char* bad : {R"(\\FS1)", R"(\\FS1\)", R"(\\\SYS)", R"(\\..\FS1\SYS)",
                            R"(\\FS1\..\FS1)", R"(\\.\SYS\x)", ""}) {
        EXPECT_EQ(kindOf(bad), PathError::Kind::Malformed) << bad;
    }
    EXPECT_EQ(kindOf(std::string_view("\\\\FS1\\SYS\\a\0b", 13)), PathError::Kind::Malformed);

    try {
        toLocalPath(R"(\\FS2\SYS\x)");
        FAIL();
    } catch (const ProcessError& e) {
        EXPECT_EQ(e.number(), 76);
        EXPECT_EQ(e.description(), "Path not found");
    }
}

TEST_F(PathsTest, DriveRootedAndRelativePaths) {
    const fs::path dir = testsupport::freshDir("local");
    fs::create_directories(dir / "Sub");
    testsupport::writeFile(dir / "Sub" / "file.txt", "x");

    // Z: is the local root; the other letters are unmapped by default.
    EXPECT_EQ(toLocalPath("Z:" + rooted(dir / "SUB" / "FILE.TXT")), dir / "Sub" / "file.txt");
    EXPECT_EQ(toLocalPath("z:/"), fs::path("/"));
    EXPECT_EQ(toLocalPath(R"(Z:\..\..)"), fs::path("/"));
    EXPECT_EQ(kindOf(R"(Q:\tvn)"), PathError::Kind::UnknownDrive);
    EXPECT_EQ(kindOf("c:"), PathError::Kind::UnknownDrive);

    EXPECT_EQ(toLocalPath(rooted(dir / "sub")), dir / "Sub");
    EXPECT_EQ(toLocalPath(rooted(dir / "sub" / "New.lst")), dir / "Sub" / "New.lst");

    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(toLocalPath(R"(sub\FILE.txt)"), dir / "Sub" / "file.txt");
    EXPECT_EQ(toLocalPath(R"(.\sub\..\other)"), dir / "other");
    EXPECT_EQ(toLocalPath(R"(..\x)"), dir.parent_path() / "x");
    fs::current_path(previous);
}

class TableResolver : public PathResolver {
public:
    std::map<std::string, fs::path> volumes;
    std::map<char, fs::path> drives;

    std::optional<fs::path> volumeRoot(std::string_view server,
                                       std::string_view volume) const override {
        const auto it = volumes.find(std::string(server) + "/" + std::string(volume));
        return it == volumes.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<fs::path> driveRoot(char letter) const override {
        const auto it = drives.find(letter);
        return it == drives.end() ? std::nullopt : std::optional(it->second);
    }
};

TEST_F(PathsTest, AnInstalledResolverProvidesVolumesAndDrives) {
    auto resolver = std::make_shared<TableResolver>();
    resolver->volumes["ACME/DATA"] = root_ / "FS1" / "DATA";
    resolver->drives['T'] = root_ / "FS1" / "SYS";
    setPathResolver(resolver);

    EXPECT_EQ(toLocalPath(R"(\\ACME\DATA\x.lst)"), root_ / "FS1/DATA/x.lst");
    EXPECT_EQ(toLocalPath(R"(t:\PUBLIC)"), root_ / "FS1/SYS/Public");
    EXPECT_EQ(toLocalPath(R"(T:public\harbex)"), root_ / "FS1/SYS/Public/Harbex");
    EXPECT_EQ(kindOf(R"(Z:\tmp)"), PathError::Kind::UnknownDrive);

    setPathResolver(nullptr);
    EXPECT_EQ(kindOf(R"(T:\PUBLIC)"), PathError::Kind::UnknownDrive);
    EXPECT_EQ(toLocalPath(R"(Z:\)"), fs::path("/"));
}

TEST_F(PathsTest, ExactEntryWinsOverOtherCaseVariants) {
    const fs::path dir = testsupport::freshDir("variants");
    for (const char* name : {"tree.LST", "Tree.lst", "TREE.lst"})
        testsupport::writeFile(dir / name, name);
    EXPECT_EQ(findEntryIgnoringCase(dir, "Tree.lst"), dir / "Tree.lst");
    EXPECT_EQ(findEntryIgnoringCase(dir, "tree.lst"), dir / "TREE.lst");  // smallest match
    EXPECT_EQ(findEntryIgnoringCase(dir, "tree.ls"), std::nullopt);
    EXPECT_EQ(findEntryIgnoringCase(dir / "none", "x"), std::nullopt);
}

}  // namespace
