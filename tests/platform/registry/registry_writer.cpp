// Writes many values into a registry store from its own process, so that the
// tests can race two real processes against one file.
//   registry_writer <store> <key> <count>
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/registry/store.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: registry_writer <store> <key> <count>\n";
        return 2;
    }
    try {
        // Each waits as long as the other may need on a loaded machine: the
        // race is about lost updates, not about how long a person waits.
        platform::registry::Store store(argv[1], std::chrono::seconds(30));
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i)
            store.setValue(argv[2], std::string("v").append(std::to_string(i)), std::to_string(i));
        // Read-modify-write of a shared counter: lost updates would show here.
        for (int i = 0; i < count; ++i) {
            store.atomically([&] {
                const auto current = store.value("Shared", "Counter");
                const int next = (current ? std::stoi(*current) : 0) + 1;
                store.setValue("Shared", "Counter", std::to_string(next));
            });
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
