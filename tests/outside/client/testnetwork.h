// The client's test network for one test: KDCLIENT_NETWORK names the fixture
// network, KDCLIENT_STATE a fresh session file and UNC_ROOT a fresh network
// root holding the volumes' folders (in mixed case, as a disk may have them).
#pragma once

#include <filesystem>
#include <string>

#include "testsupport/testsupport.h"

namespace testnetwork {

inline std::filesystem::path fixture(const std::string& name = "network.json") {
    return testsupport::dataDir() / "client" / name;
}

class TestNetwork {
public:
    explicit TestNetwork(const std::filesystem::path& network = fixture())
        : root(testsupport::freshDir("unc")),
          stateFile(testsupport::freshDir("session") / "session.json"),
          network_("KDCLIENT_NETWORK", network.string()),
          state_("KDCLIENT_STATE", stateFile.string()),
          unc_("UNC_ROOT", root.string()),
          directory_("KDDIR_SOURCE", nullptr) {
        for (const char* folder :
             {"FS1/SYS/PUBLIC/WIN32", "FS1/SYS/PUBLIC/HARBEX", "FS1/DATA/Projects", "fs2/sys",
              "fs2/Apps", "OLD1/SYS/LOGIN", "LAB1/SYS"})
            std::filesystem::create_directories(root / folder);
    }

    std::filesystem::path root;
    std::filesystem::path stateFile;

private:
    testsupport::ScopedEnv network_, state_, unc_, directory_;
};

}  // namespace testnetwork
