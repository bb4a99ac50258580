// Session records under the run folder; see sessions.h.
#include "outside/agent/logon/sessions.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace outside::agent::logon {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPublished = "published";
constexpr const char* kSessionPrefix = "session-";

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Record {
    Leader leader;
    int count = 0;
};

std::optional<Record> readRecord(const fs::path& path) {
    std::istringstream in(readWhole(path));
    Record r;
    long long pid = 0;
    if (!(in >> pid >> r.leader.startTime >> r.count) || pid <= 0 || r.count <= 0)
        return std::nullopt;
    in >> r.leader.boot;
    r.leader.pid = static_cast<pid_t>(pid);
    return r;
}

std::string errorText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

std::string recordText(const Record& r) {
    return std::to_string(r.leader.pid) + " " + std::to_string(r.leader.startTime) + " " +
           std::to_string(r.count) + " " + r.leader.boot + "\n";
}

}  // namespace

std::string currentBoot() {
    std::string boot = readWhole("/proc/sys/kernel/random/boot_id");
    while (!boot.empty() && (boot.back() == '\n' || boot.back() == ' ')) boot.pop_back();
    return boot;
}

Leader leaderOf(pid_t pid) {
    Leader leader{pid, 0, currentBoot()};
    // Field 22 of /proc/PID/stat, counted after the command name, which may
    // itself hold spaces and parentheses.
    const std::string stat = readWhole("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return leader;
    std::istringstream rest(stat.substr(close + 1));
    std::string field;
    for (int n = 3; n <= 22 && rest >> field; ++n)
        if (n == 22) leader.startTime = std::strtoull(field.c_str(), nullptr, 10);
    return leader;
}

bool alive(const Leader& leader) {
    if (leader.pid <= 0) return false;
    if (!leader.boot.empty() && leader.boot != currentBoot()) return false;
    if (::kill(leader.pid, 0) != 0 && errno == ESRCH) return false;
    const Leader now = leaderOf(leader.pid);
    // A process that ended but was not yet reaped is a zombie with no session.
    const std::string stat = readWhole("/proc/" + std::to_string(leader.pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close != std::string::npos && stat.size() > close + 2 && stat[close + 2] == 'Z')
        return false;
    return leader.startTime == 0 || now.startTime == 0 || now.startTime == leader.startTime;
}

SessionStore::SessionStore(fs::path runDir) : dir_(std::move(runDir)) {
    std::error_code ec;
    if (dir_.has_parent_path()) fs::create_directories(dir_.parent_path(), ec);
    if (::mkdir(dir_.c_str(), 0700) != 0 && errno != EEXIST)
        throw StoreError(errorText("cannot make the run folder", dir_));
    struct stat info {};
    if (::lstat(dir_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw StoreError("the run folder " + dir_.string() + " is no folder");
}

SessionStore::Lock::~Lock() {
    ::close(fd_);
}

SessionStore::Lock SessionStore::lock() const {
    const fs::path path = dir_ / "lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw StoreError(errorText("cannot open", path));
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const std::string why = errorText("cannot lock", path);
        ::close(fd);
        throw StoreError(why);
    }
    return Lock(fd);
}

std::string SessionStore::fileName(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : name) {
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
            ch == '-' || ch == '_') {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out.empty() ? "%" : out;
}

std::string SessionStore::nameOf(const std::string& fileName) {
    if (fileName == "%") return {};
    std::string out;
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        if (fileName[i] == '%' && i + 2 < fileName.size()) {
            out += static_cast<char>(std::stoi(fileName.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += fileName[i];
        }
    }
    return out;
}

fs::path SessionStore::userDir(const std::string& user) const {
    return dir_ / fileName(user);
}

void SessionStore::write(const fs::path& path, const std::string& text) const {
    const fs::path aside = path.string() + ".new";
    const int fd =
        ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw StoreError(errorText("cannot write", aside));
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const std::string why = written ? "" : errorText("cannot write", aside);
    ::close(fd);
    if (!written || ::rename(aside.c_str(), path.c_str()) != 0) {
        const std::string failure = written ? errorText("cannot replace", path) : why;
        ::unlink(aside.c_str());
        throw StoreError(failure);
    }
}

int SessionStore::open(const std::string& user, const std::string& session, const Leader& leader) {
    const fs::path folder = userDir(user);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw StoreError(errorText("cannot make", folder));
    const fs::path path = folder / (kSessionPrefix + fileName(session));
    Record record{leader, 0};
    // A record left by a dead leader of the same session name starts anew.
    if (auto old = readRecord(path); old && alive(old->leader)) record.count = old->count;
    record.count++;
    write(path, recordText(record));
    return live(user);
}

int SessionStore::close(const std::string& user, const std::string& session) {
    const fs::path path = userDir(user) / (kSessionPrefix + fileName(session));
    if (auto old = readRecord(path); old && old->count > 1 && alive(old->leader)) {
        old->count--;
        write(path, recordText(*old));
    } else {
        ::unlink(path.c_str());
    }
    return live(user);
}

int SessionStore::live(const std::string& user) {
    const fs::path folder = userDir(user);
    std::error_code ec;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kSessionPrefix) || name.ends_with(".new")) continue;
        const auto record = readRecord(entry.path());
        if (record && alive(record->leader))
            ++count;
        else
            ::unlink(entry.path().c_str());
    }
    return count;
}

std::optional<Published> SessionStore::published(const std::string& user) const {
    std::istringstream in(readWhole(userDir(user) / kPublished));
    Published p;
    if (!std::getline(in, p.dn) || !std::getline(in, p.attribute) || !std::getline(in, p.value))
        return std::nullopt;
    return p;
}

void SessionStore::setPublished(const std::string& user, const Published& value) {
    for (const auto* text : {&value.dn, &value.attribute, &value.value})
        if (text->find('\n') != std::string::npos)
            throw StoreError("a published value holds a line break");
    write(userDir(user) / kPublished,
          value.dn + "\n" + value.attribute + "\n" + value.value + "\n");
}

void SessionStore::clearPublished(const std::string& user) {
    const fs::path folder = userDir(user);
    ::unlink((folder / kPublished).c_str());
    ::rmdir(folder.c_str());  // only when empty: a session opened meanwhile keeps it
}

std::vector<std::string> SessionStore::users() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec))
        if (entry.is_directory(ec)) out.push_back(nameOf(entry.path().filename().string()));
    return out;
}

}  // namespace outside::agent::logon
