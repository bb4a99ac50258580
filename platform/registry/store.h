// The registry store: keys with subkeys and named string values, kept in one
// SQLite file. Each user has one (settings and the user's own component
// registrations); the machine has one more, the class store, which
// administrators fill and users only read. Key and value names compare without regard to case
// and keep the case in which they were first written; values and subkeys
// enumerate in the order they were first written. Every write is one
// transaction, so concurrent processes never lose each other's writes.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::registry {

class RegistryError : public std::runtime_error {
public:
    enum class Kind {
        Locked,    // another process held the store longer than the wait allows
        Corrupt,   // the file is not a registry store
        Io,        // the file or its folder cannot be read or written
        BadName,   // an empty key name component
        ReadOnly,  // the store was opened read-only or its file may not be written
        Exposed,   // a secret was to be written into a store that others may read
    };
    RegistryError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// Key paths are written with "\" between the levels ("Software\Tolvane\Settings").
// Empty components (a doubled or trailing "\") are ignored; the empty path is
// the root. Value names are any text, "\" included; "" is the key's default value.
class Store {
public:
    using NamedValues = std::vector<std::pair<std::string, std::string>>;

    enum class Access {
        ReadWrite,  // creates the file (and its folder) when it does not exist
        ReadOnly,   // the file must exist; every write raises ReadOnly
    };

    // The user's store: $REGISTRY_DB when set, else
    // $XDG_CONFIG_HOME/tolvane/registry.db (~/.config when XDG_CONFIG_HOME is
    // not set).
    static std::filesystem::path defaultPath();
    // The machine's store: $MACHINE_REGISTRY_DB when set, else
    // /var/lib/tolvane/classes.db. It holds the class registrations and the
    // settings an administrator makes for every user; users only read it.
    static std::filesystem::path machinePath();

    // The machine's store (machinePath() unless named) opened for an
    // administrator's writes: only root may write /var/lib/tolvane's; a store
    // named by MACHINE_REGISTRY_DB (a staging folder, a test) is left to its
    // file's permissions. Its folder and file are made readable by every user,
    // whatever the umask. Raises RegistryError (ReadOnly) for anyone else.
    static Store openMachineForWriting();

    // Opens the store. A file that is not a store raises Corrupt and is left
    // untouched; a missing file opened ReadOnly raises Io. lockWait bounds how
    // long an operation waits for another process; a person waits that long
    // before hearing that the store is in use.
    explicit Store(const std::filesystem::path& file = defaultPath(),
                   std::chrono::milliseconds lockWait = std::chrono::seconds(2),
                   Access access = Access::ReadWrite);
    ~Store();
    Store(Store&&) noexcept;
    Store& operator=(Store&&) noexcept;

    const std::filesystem::path& path() const;
    Access access() const;
    // False when open ReadOnly or when the file may not be written by this
    // process (SQLite then opens it for reading and refuses the first write).
    bool writable() const;

    bool keyExists(std::string_view key) const;
    void createKey(std::string_view key);
    // Removes the key and its whole subtree; a key that does not exist is fine.
    void deleteKey(std::string_view key);

    std::optional<std::string> value(std::string_view key, std::string_view name) const;
    // Creates the key (and its parents) when needed. Rewriting a value keeps
    // its place in the enumeration order and the case of its first name.
    void setValue(std::string_view key, std::string_view name, std::string_view data);
    // As setValue, for a value that must stay the user's own (a password):
    // refused with Exposed, the store left as it is, when group or others
    // have any access to the store's file.
    void setSecretValue(std::string_view key, std::string_view name, std::string_view data);
    // Returns whether a value was removed.
    bool deleteValue(std::string_view key, std::string_view name);

    // In the order first written; empty when the key does not exist.
    NamedValues values(std::string_view key) const;
    std::vector<std::string> subkeys(std::string_view key) const;

    // Runs several writes as one atomic transaction (nesting is flattened).
    template <typename F>
    void atomically(F&& writes) {
        begin();
        try {
            writes();
        } catch (...) {
            rollback();
            throw;
        }
        commit();
    }

private:
    void begin();
    void commit();
    void rollback();

    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace platform::registry
