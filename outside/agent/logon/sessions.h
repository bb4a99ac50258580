// The sessions this workstation has published, kept under the state folder
// (/var/lib/tolvane/logon, which survives a reboot, unlike /run: the sweep
// at boot must still know what the sessions that a power cut ended had
// published), never in the directory: per user a folder with one record
// per session (its leader's process ID and start time, and how often it was
// opened) and the value that was published for the user. A value stays
// published while one of the user's sessions lives; a session whose leader
// has gone (a crash, a kill) counts as closed.
//
// Every change happens under one lock for the whole workstation, held by
// the Lock object; records are replaced whole (written aside, renamed), so
// that a run that is ended at any moment leaves a consistent folder.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace outside::agent::logon {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The process that holds a session open, told apart from a later process
// with the same ID by its start time and the boot it was started in (the
// records outlive a crash or a power cut, which the sweep at the next boot
// cleans up after).
struct Leader {
    pid_t pid = 0;
    unsigned long long startTime = 0;  // clock ticks after boot; 0: unknown
    std::string boot;                  // the kernel's boot ID; empty: unknown
};
std::string currentBoot();
Leader leaderOf(pid_t pid);
bool alive(const Leader& leader);

// What was written to the directory for a user, so that it can be taken
// away again even when the configuration has changed since.
struct Published {
    std::string dn;         // the entry changed
    std::string attribute;  // the attribute type
    std::string value;      // the value added
};

class SessionStore {
public:
    // The folder is made (mode 0700) when it is missing. Throws StoreError.
    explicit SessionStore(std::filesystem::path runDir);

    // The workstation-wide lock; blocks until it is free.
    class Lock {
    public:
        explicit Lock(int fd) : fd_(fd) {}
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        int fd_;
    };
    Lock lock() const;

    // Records one more opening of the session; returns the user's live sessions.
    int open(const std::string& user, const std::string& session, const Leader& leader);
    // Records one closing; the record goes with the last. Returns the
    // user's live sessions that remain.
    int close(const std::string& user, const std::string& session);
    // The user's live sessions; records of dead ones are removed.
    int live(const std::string& user);

    std::optional<Published> published(const std::string& user) const;
    void setPublished(const std::string& user, const Published& value);
    // Forgets the published value, and the user's folder once it holds nothing.
    void clearPublished(const std::string& user);

    // The users that have a folder (sessions or a published value).
    std::vector<std::string> users() const;

    // A user's name as a file name: letters, digits, '-' and '_' as they
    // are, every other byte as %XX (so "." and ".." and "/" cannot escape).
    static std::string fileName(const std::string& name);
    static std::string nameOf(const std::string& fileName);

private:
    std::filesystem::path userDir(const std::string& user) const;
    void write(const std::filesystem::path& path, const std::string& text) const;

    std::filesystem::path dir_;
};

}  // namespace outside::agent::logon
