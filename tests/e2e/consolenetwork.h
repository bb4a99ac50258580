// The network root of the end-to-end runs: server FS1 holds the console
// stand-in under both console names in the folders of both console
// generations; FS2 has a SYS volume without consoles.
#pragma once

#include <filesystem>

#include "testsupport/testsupport.h"

inline std::filesystem::path makeConsoleNetwork(const std::filesystem::path& consoleProgram) {
    namespace fs = std::filesystem;
    const fs::path root = testsupport::freshDir("network");
    for (const char* generation : {"HARBEX", "WIN32"}) {
        const fs::path dir = root / "FS1" / "SYS" / "PUBLIC" / generation;
        fs::create_directories(dir);
        for (const char* name : {"vorplin.exe", "drevmin.exe"})
            fs::copy_file(consoleProgram, dir / name);
    }
    fs::create_directories(root / "FS2" / "SYS" / "PUBLIC");
    return root;
}
