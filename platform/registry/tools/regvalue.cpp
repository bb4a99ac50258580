// regvalue: reads or writes one value of the registry store named by
// REGISTRY_DB (or the user's own), for scripts that prepare a store.
//   regvalue <key> <name>                        prints the value (exit 1: none)
//   regvalue [--if-absent] <key> <name> <data>   writes it; --if-absent leaves
//                                                a value that exists as it is
//   regvalue [--if-absent] --stdin <key> <name>  writes what standard input holds
//                                                (one trailing newline dropped), so
//                                                that a secret stays off the command line
//   regvalue --has-key <key>                     exit 0 when the key exists, 1 when not
// --machine before any of these reads or writes the machine's store instead
// (MACHINE_REGISTRY_DB or /var/lib/tolvane/classes.db), which every user reads
// and only root writes.
// A value read from standard input, and one whose name holds "password", is
// a secret: it is not written into a store that other users can read, and
// never into the machine's store.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry/store.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: regvalue [--machine] <key> <name>\n"
                 "       regvalue [--machine] [--if-absent] <key> <name> <data>\n"
                 "       regvalue [--if-absent] --stdin <key> <name>\n"
                 "       regvalue [--machine] --has-key <key>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool ifAbsent = false;
    bool hasKey = false;
    bool fromStdin = false;
    bool machine = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--machine") == 0)
            machine = true;
        else if (std::strcmp(argv[i], "--if-absent") == 0)
            ifAbsent = true;
        else if (std::strcmp(argv[i], "--stdin") == 0)
            fromStdin = true;
        else if (std::strcmp(argv[i], "--has-key") == 0)
            hasKey = true;
        else
            words.emplace_back(argv[i]);
    }
    if (fromStdin) {
        if (hasKey || words.size() != 2) return usage();
        std::string data{std::istreambuf_iterator<char>(std::cin),
                         std::istreambuf_iterator<char>()};
        if (data.ends_with('\n')) data.pop_back();
        words.push_back(std::move(data));
    }
    if (hasKey ? (ifAbsent || words.size() != 1)
               : (words.size() < 2 || words.size() > 3 || (ifAbsent && words.size() != 3)))
        return usage();
    using platform::registry::Store;
    std::string lower = words[1 < words.size() ? 1 : 0];
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const bool secret = fromStdin || (!hasKey && lower.find("password") != std::string::npos);
    if (machine && words.size() == 3 && secret) {
        // Refused before the store is opened: nothing is written, and the
        // value is not repeated.
        std::fprintf(stderr,
                     "regvalue: %s is a password and is not written into the machine's store %s: "
                     "every user of this machine can read that store; each user sets it in "
                     "their own (regvalue without --machine), or the site binds without a "
                     "stored password (BindMethod gssapi or external)\n",
                     words[1].c_str(), Store::machinePath().c_str());
        return 1;
    }
    try {
        const bool writing = words.size() == 3;
        Store store = !machine  ? Store()
                      : writing ? Store::openMachineForWriting()
                                : Store(Store::machinePath(), std::chrono::seconds(2),
                                        Store::Access::ReadOnly);
        if (hasKey) return store.keyExists(words[0]) ? 0 : 1;
        const auto value = store.value(words[0], words[1]);
        if (words.size() == 2) {
            if (!value) return 1;
            std::printf("%s\n", value->c_str());
            return 0;
        }
        if (!(ifAbsent && value)) {
            if (secret)
                store.setSecretValue(words[0], words[1], words[2]);
            else
                store.setValue(words[0], words[1], words[2]);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "regvalue: %s\n", e.what());
        return 1;
    }
}
