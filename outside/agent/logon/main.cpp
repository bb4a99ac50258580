// tolvane-logon: publishes this workstation's logins into the directory, so
// that the administrator's tool finds a user at the workstation. Run by
// pam_exec in the session phase (PAM_TYPE open_session / close_session,
// PAM_USER, PAM_SERVICE, PAM_TTY), and with --sweep at boot.
//
// A login never waits on it for longer than the configured timeout, and
// never fails because of it: whatever goes wrong is one log line (syslog,
// and the configured log file) and exit status 0. Only --sweep, which runs
// unattended, reports a failure with its exit status.
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "outside/agent/logon/config.h"
#include "outside/agent/logon/publisher.h"
#include "outside/agent/logon/sessions.h"

namespace {

using namespace outside::agent::logon;
using Clock = std::chrono::steady_clock;

constexpr const char* kDefaultConfig = "/etc/tolvane/logon.conf";

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Names from PAM (a user, a TTY) may hold anything; a log line holds none
// of their control characters.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char ch : text) {
        if (ch < 0x20 || ch == 0x7f) {
            static const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[ch >> 4];
            out += hex[ch & 15];
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out;
}

class Log {
public:
    void setFile(std::string path) {
        std::lock_guard lock(mutex_);
        file_ = std::move(path);
    }

    // One line to syslog and, when one is configured, to the log file.
    void line(int priority, const std::string& text) {
        std::lock_guard lock(mutex_);
        syslog(priority, "%s", text.c_str());
        if (file_.empty()) return;
        const int fd = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            syslog(LOG_WARNING, "cannot write the log file %s", file_.c_str());
            return;
        }
        char stamp[32] = {};
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", localtime_r(&now, &local));
        const std::string whole = std::string(stamp) + " tolvane-logon[" +
                                  std::to_string(::getpid()) + "]: " + text + "\n";
        // One write of the whole line: concurrent runs never interleave.
        [[maybe_unused]] const auto written = ::write(fd, whole.data(), whole.size());
        ::close(fd);
    }

private:
    std::mutex mutex_;
    std::string file_;
};

Log logger;

// What one run did, for its one log line.
struct Outcome {
    bool ok = true;
    std::string text;
};

std::string elapsed(Clock::time_point since) {
    return std::to_string(
               std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since)
                   .count()) +
           " ms";
}

// Where a user's login is published.
Published target(const Config& config, Publisher& publisher, const std::string& userDn) {
    if (config.model == Model::Owner) return {config.workstationDn, config.ownerAttribute, userDn};
    return {userDn, config.addressAttribute, "TCP " + publisher.address()};
}

Outcome openSession(const Config& config, const std::string& user, const std::string& session,
                    Clock::time_point deadline) {
    SessionStore store(config.runDir);
    const auto lock = store.lock();
    store.open(user, session, leaderOf(::getppid()));
    Publisher publisher(config, deadline);
    const Published value = target(config, publisher, publisher.findUser(user));
    publisher.add(value.dn, value.attribute, value.value);
    store.setPublished(user, value);
    return {true, "published \"" + value.value + "\" in " + value.attribute + " of " + value.dn};
}

Outcome closeSession(const Config& config, const std::string& user, const std::string& session,
                     Clock::time_point deadline) {
    SessionStore store(config.runDir);
    const auto lock = store.lock();
    const int left = store.close(user, session);
    if (left > 0)
        return {true, "kept the published value: " + std::to_string(left) +
                          " other session(s) of the user live here"};
    // What was published, or (when the run that published it was cut short
    // before it could note it) what this configuration publishes.
    Publisher publisher(config, deadline);
    std::optional<Published> value = store.published(user);
    if (!value) value = target(config, publisher, publisher.findUser(user));
    publisher.remove(value->dn, value->attribute, value->value);
    store.clearPublished(user);
    return {true, "removed \"" + value->value + "\" from " + value->attribute + " of " + value->dn};
}

Outcome sweep(const Config& config, Clock::time_point deadline) {
    SessionStore store(config.runDir);
    const auto lock = store.lock();
    std::optional<Publisher> publisher;
    int removed = 0;
    int kept = 0;
    for (const std::string& user : store.users()) {
        if (store.live(user) > 0) {
            ++kept;
            continue;
        }
        if (const auto value = store.published(user)) {
            if (!publisher) publisher.emplace(config, deadline);
            publisher->remove(value->dn, value->attribute, value->value);
            ++removed;
        }
        store.clearPublished(user);
    }
    std::string text = "removed " + std::to_string(removed) + " login(s) without a live session, " +
                       "kept " + std::to_string(kept);
    if (config.updateAddress) {
        if (config.model != Model::Owner)
            throw PublishError(
                "update_address needs the standard model, where the workstation "
                "writes its own entry");
        if (!publisher) publisher.emplace(config, deadline);
        const std::string address = publisher->address();
        publisher->replace(config.workstationDn, config.addressAttribute, address);
        text += "; " + config.addressAttribute + " of " + config.workstationDn + " is " + address;
    }
    return {true, text};
}

// Runs work on a thread of its own and waits for it until the deadline; a
// run that is not done by then is given up (the process ends, and the
// kernel frees the lock it held).
template <class Work>
Outcome bounded(Work work, Clock::time_point deadline, const std::string& what) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Outcome> outcome;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work] {
        Outcome outcome;
        try {
            outcome = work();
        } catch (const std::exception& e) {
            outcome = {false, e.what()};
        }
        std::lock_guard lock(shared->mutex);
        shared->outcome = std::move(outcome);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_until(lock, deadline, [&] { return shared->outcome.has_value(); }))
        return {false, "gave up: the directory did not answer within the timeout (" + what + ")"};
    return *shared->outcome;
}

int usage() {
    std::fprintf(stderr,
                 "usage: tolvane-logon [--config FILE]          (from pam_exec: PAM_TYPE, "
                 "PAM_USER)\n"
                 "       tolvane-logon [--config FILE] --sweep\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const auto started = Clock::now();
    std::string configPath = kDefaultConfig;
    bool sweeping = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--config" && i + 1 < argc)
            configPath = argv[++i];
        else if (arg == "--sweep")
            sweeping = true;
        else if (arg == "--help" || arg == "-h")
            return usage(), 0;
        else
            return env("PAM_TYPE").empty() ? usage() : 0;
    }
    openlog("tolvane-logon", LOG_PID, LOG_AUTHPRIV);

    const std::string type = env("PAM_TYPE");
    const std::string user = env("PAM_USER");
    const std::string service = env("PAM_SERVICE");
    const std::string tty = env("PAM_TTY");
    if (!sweeping && type != "open_session" && type != "close_session") {
        if (type.empty()) return usage();
        return 0;  // auth, account, password: nothing to publish
    }
    const std::string who =
        sweeping ? "sweep" : type + " " + printable(user) + " (" + printable(service) + ")";

    Config config;
    try {
        config = loadConfig(configPath);
    } catch (const ConfigError& e) {
        logger.setFile(e.logFile);
        logger.line(LOG_ERR, who + ": configuration error, nothing published: " + e.what());
        if (sweeping) std::fprintf(stderr, "tolvane-logon: %s\n", e.what());
        return sweeping ? 1 : 0;
    }
    logger.setFile(config.logFile);

    if (sweeping) {
        // A boot may find many users: a timeout per user, and one for the bind.
        const auto deadline = started + config.timeout * 10;
        const Outcome outcome = bounded([&] { return sweep(config, deadline); }, deadline, "sweep");
        logger.line(outcome.ok ? LOG_INFO : LOG_ERR,
                    who + ": " + outcome.text + ", " + elapsed(started));
        if (!outcome.ok) std::fprintf(stderr, "tolvane-logon: %s\n", outcome.text.c_str());
        std::fflush(nullptr);
        _exit(outcome.ok ? 0 : 1);
    }

    for (const auto& skip : config.skipServices)
        if (skip == service) return 0;
    if (user.empty()) {
        logger.line(LOG_ERR, who + ": PAM_USER is empty, nothing published");
        return 0;
    }
    // Sessions of one process told apart by their terminal; a systemd
    // session ID where PAM has one.
    std::string session = env("XDG_SESSION_ID");
    session = session.empty() ? std::to_string(::getppid()) + "-" + tty : "xdg-" + session;

    const auto deadline = started + config.timeout;
    const Outcome outcome = bounded(
        [&] {
            return type == "open_session" ? openSession(config, user, session, deadline)
                                          : closeSession(config, user, session, deadline);
        },
        deadline, type);
    logger.line(outcome.ok ? LOG_INFO : LOG_WARNING, who + ": " +
                                                         (outcome.ok ? "" : "nothing changed: ") +
                                                         outcome.text + ", " + elapsed(started));
    // The worker may still wait on the server: end without waiting for it.
    std::fflush(nullptr);
    _exit(0);
}
