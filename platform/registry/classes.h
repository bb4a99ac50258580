// The component registrations a process sees: the user's own store over the
// machine's class store. Every look-up asks the stores in order and takes the
// first answer, so a user's registration of a ProgID, class or type library
// version overrides the machine's, and what only the machine registered is
// found without any registration of the user's. Writing goes to one store
// through Registration; this view only reads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registration.h"
#include "platform/registry/store.h"

namespace platform::registry {

class ClassStores {
public:
    // Looks in the given stores, the first overriding the rest; the stores
    // must outlive the view.
    explicit ClassStores(std::vector<Store*> stores);
    ClassStores(ClassStores&&) noexcept;
    ClassStores& operator=(ClassStores&&) noexcept;
    ~ClassStores();

    // The user's store (Store::defaultPath(), created when missing) and, when
    // its file exists, the machine's class store (Store::machinePath()) opened
    // for reading only. Raises RegistryError when either cannot be opened.
    static ClassStores openDefault();

    const std::vector<Store*>& stores() const { return stores_; }

    std::optional<std::string> clsidFromProgId(std::string_view progId) const;
    std::optional<std::string> inprocServer(std::string_view clsid) const;
    std::optional<ClassRegistration> findClass(std::string_view clsid) const;
    std::optional<std::string> categoryDescription(std::string_view catid,
                                                   std::uint32_t locale = 0x409) const;
    // The stores' files in look-up order, "a, then b", for messages.
    std::string describe() const;

    struct FoundTypeLibrary {
        TypeLibraryRegistration registration;
        Store* store;  // where it is registered, for data kept beside it
    };
    // A given version comes from the first store that has it. An empty
    // version finds the highest version any store has; where two stores have
    // the same highest version, the first store's wins.
    std::optional<FoundTypeLibrary> findTypeLibrary(std::string_view guid,
                                                    std::string_view version = {}) const;

private:
    std::vector<std::unique_ptr<Store>> owned_;
    std::vector<Store*> stores_;
};

}  // namespace platform::registry
