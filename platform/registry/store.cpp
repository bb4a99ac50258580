// The registry store on SQLite. Keys and values are rows with a folded name
// beside the name as first written; rowids give the order of first writing.
// Writes run in IMMEDIATE transactions so that two processes serialise on the
// file lock instead of overwriting each other's reads.
#include "platform/registry/store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <system_error>
#include <unordered_map>

#include "platform/text/casefold.h"

namespace platform::registry {
namespace fs = std::filesystem;
using platform::text::foldCase;

namespace {

constexpr const char* kFormat = "tolvane-registry 1";
constexpr std::int64_t kRoot = 0;

std::vector<std::string_view> splitKey(std::string_view key) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= key.size()) {
        const std::size_t end = key.find('\\', start);
        const std::string_view part =
            key.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!part.empty()) parts.push_back(part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

// A prepared statement with RAII; reset on every use.
class Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// A statement in use; resetting it on scope exit releases the read lock that
// an unfinished statement would otherwise keep on the file.
class Cursor {
public:
    explicit Cursor(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Cursor() { sqlite3_reset(stmt_); }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    operator sqlite3_stmt*() const { return stmt_; }

private:
    sqlite3_stmt* stmt_;
};

}  // namespace

struct Store::Impl {
    fs::path path;
    Access access = Access::ReadWrite;
    sqlite3* db = nullptr;
    int depth = 0;
    std::unordered_map<const char*, std::unique_ptr<Statement>> statements;

    ~Impl() {
        statements.clear();
        if (db) sqlite3_close_v2(db);
    }

    [[noreturn]] void fail(int rc, const std::string& doing) const {
        const std::string where = " (" + path.string() + ")";
        const std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        switch (rc & 0xFF) {
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
                throw RegistryError(RegistryError::Kind::Locked,
                                    "The registry store is locked by another process and stayed "
                                    "locked while " +
                                        doing + where);
            case SQLITE_READONLY:
                throw RegistryError(
                    RegistryError::Kind::ReadOnly,
                    "The registry store cannot be written" + where +
                        (access == Access::ReadOnly ? ": it is open for reading only"
                                                    : ": " + detail));
            case SQLITE_NOTADB:
            case SQLITE_CORRUPT:
                throw RegistryError(
                    RegistryError::Kind::Corrupt,
                    "The file is not a valid registry store" + where + ": " + detail);
            default:
                throw RegistryError(RegistryError::Kind::Io,
                                    "Registry store error while " + doing + where + ": " + detail);
        }
    }

    Cursor prepare(const char* sql) {
        auto& slot = statements[sql];
        if (!slot) {
            sqlite3_stmt* raw = nullptr;
            const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
            if (rc != SQLITE_OK) fail(rc, "preparing a query");
            slot = std::make_unique<Statement>(raw);
        }
        sqlite3_stmt* stmt = slot->get();
        sqlite3_clear_bindings(stmt);
        return Cursor(stmt);
    }

    void exec(const char* sql, const std::string& doing) {
        char* message = nullptr;
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
        sqlite3_free(message);
        if (rc != SQLITE_OK) fail(rc, doing);
    }

    static void bind(sqlite3_stmt* stmt, int index, std::string_view text) {
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }

    int step(sqlite3_stmt* stmt, const std::string& doing) {
        const int rc = sqlite3_step(stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            sqlite3_reset(stmt);
            fail(rc, doing);
        }
        return rc;
    }

    static std::string column(sqlite3_stmt* stmt, int index) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)))
                    : std::string();
    }

    std::optional<std::int64_t> child(std::int64_t parent, std::string_view name) {
        Cursor stmt = prepare("SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
        sqlite3_bind_int64(stmt, 1, parent);
        bind(stmt, 2, foldCase(name));
        if (step(stmt, "reading a key") == SQLITE_ROW) return sqlite3_column_int64(stmt, 0);
        return std::nullopt;
    }

    std::optional<std::int64_t> find(std::string_view key) {
        std::int64_t id = kRoot;
        for (std::string_view part : splitKey(key)) {
            const auto next = child(id, part);
            if (!next) return std::nullopt;
            id = *next;
        }
        return id;
    }

    std::int64_t create(std::string_view key) {
        std::int64_t id = kRoot;
        for (std::string_view part : splitKey(key)) {
            if (const auto next = child(id, part)) {
                id = *next;
                continue;
            }
            Cursor stmt = prepare("INSERT INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)");
            sqlite3_bind_int64(stmt, 1, id);
            bind(stmt, 2, part);
            bind(stmt, 3, foldCase(part));
            step(stmt, "creating a key");
            id = sqlite3_last_insert_rowid(db);
        }
        return id;
    }
};

namespace {
bool hasSqliteHeader(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[16] = {};
    in.read(header, sizeof header);
    return in.gcount() == sizeof header &&
           std::string_view(header, 16) == std::string_view("SQLite format 3\0", 16);
}
}  // namespace

fs::path Store::defaultPath() {
    if (const char* db = std::getenv("REGISTRY_DB"); db && *db) return db;
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = fs::path(home) / ".config";
    else
        config = fs::current_path();
    return config / "tolvane" / "registry.db";
}

fs::path Store::machinePath() {
    if (const char* db = std::getenv("MACHINE_REGISTRY_DB"); db && *db) return db;
    return "/var/lib/tolvane/classes.db";
}

Store Store::openMachineForWriting() {
    const fs::path path = machinePath();
    const char* chosen = std::getenv("MACHINE_REGISTRY_DB");
    if (::geteuid() != 0 && !(chosen && *chosen))
        throw RegistryError(
            RegistryError::Kind::ReadOnly,
            std::string("Only root may write the machine's store ") + path.string());
    const fs::path folder = path.parent_path();
    std::error_code ec;
    const bool hadFolder = folder.empty() || fs::exists(folder, ec);
    const bool hadFile = fs::exists(path, ec);
    Store store(path);
    if (!store.writable())
        throw RegistryError(
            RegistryError::Kind::ReadOnly,
            std::string("The machine's store ") + path.string() + " may not be written by you");
    constexpr auto readable = fs::perms::owner_read | fs::perms::owner_write |
                              fs::perms::group_read | fs::perms::others_read;
    if (!hadFolder)
        fs::permissions(
            folder,
            readable | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec, ec);
    if (!hadFile) fs::permissions(path, readable, ec);
    return store;
}

Store::Store(const fs::path& file, std::chrono::milliseconds lockWait, Access access)
    : d(std::make_unique<Impl>()) {
    d->path = file;
    d->access = access;
    const bool readOnly = access == Access::ReadOnly;
    std::error_code ec;
    const bool exists = fs::exists(file, ec);
    if (!exists && readOnly)
        throw RegistryError(RegistryError::Kind::Io,
                            "The registry store does not exist: " + file.string());
    if (exists) {
        if (fs::is_directory(file, ec))
            throw RegistryError(RegistryError::Kind::Io,
                                "The registry store path is a folder: " + file.string());
        const auto size = fs::file_size(file, ec);
        if (ec)
            throw RegistryError(RegistryError::Kind::Io, "Cannot read the registry store " +
                                                             file.string() + ": " + ec.message());
        if (size > 0 && !hasSqliteHeader(file))
            throw RegistryError(RegistryError::Kind::Corrupt,
                                "The file is not a valid registry store (" + file.string() + ")");
        // An empty file becomes a new store, made as private as one created here.
        if (size == 0 && !readOnly) ::chmod(file.c_str(), 0600);
    } else if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), ec);
        if (ec)
            throw RegistryError(RegistryError::Kind::Io,
                                "Cannot create the folder of the registry store " + file.string() +
                                    ": " + ec.message());
    }
    if (!exists) {
        // The store may hold passwords (a directory server's bind): it is
        // made readable by its owner only, and SQLite's journal files take
        // the same mode.
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
    }

    const int flags = (readOnly ? SQLITE_OPEN_READONLY
                                : SQLITE_OPEN_READWRITE | (exists ? 0 : SQLITE_OPEN_CREATE)) |
                      SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(file.c_str(), &d->db, flags, nullptr);
    if (rc != SQLITE_OK) d->fail(rc, "opening");
    sqlite3_busy_timeout(d->db, static_cast<int>(lockWait.count()));
    sqlite3_extended_result_codes(d->db, 0);

    // Look before writing anything: a foreign SQLite file is refused, not
    // converted. A reader must not take the write lock.
    d->exec(readOnly ? "BEGIN" : "BEGIN IMMEDIATE", "opening");
    try {
        Cursor stmt = d->prepare("SELECT name FROM sqlite_master WHERE type = 'table'");
        bool any = false;
        bool hasMeta = false;
        while (d->step(stmt, "opening") == SQLITE_ROW) {
            any = true;
            if (Impl::column(stmt, 0) == "meta") hasMeta = true;
        }
        if (any) {
            std::string format;
            if (hasMeta) {
                Cursor meta = d->prepare("SELECT value FROM meta WHERE name = 'format'");
                if (d->step(meta, "opening") == SQLITE_ROW) format = Impl::column(meta, 0);
            }
            if (format != kFormat)
                throw RegistryError(RegistryError::Kind::Corrupt,
                                    "The file is not a registry store (" + file.string() + ")");
        } else if (readOnly) {
            throw RegistryError(RegistryError::Kind::Corrupt,
                                "The file is not a registry store (" + file.string() + ")");
        } else {
            d->exec(
                "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT NOT NULL);"
                "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
                " name TEXT NOT NULL, fold TEXT NOT NULL, UNIQUE(parent, fold));"
                "CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL,"
                " name TEXT NOT NULL, fold TEXT NOT NULL, data TEXT NOT NULL, UNIQUE(key, fold));",
                "creating the store");
            Cursor meta = d->prepare("INSERT INTO meta(name, value) VALUES('format', ?1)");
            Impl::bind(meta, 1, kFormat);
            d->step(meta, "creating the store");
        }
        d->exec("COMMIT", "opening");
    } catch (...) {
        sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

Store::~Store() = default;
Store::Store(Store&&) noexcept = default;
Store& Store::operator=(Store&&) noexcept = default;

const fs::path& Store::path() const {
    return d->path;
}

Store::Access Store::access() const {
    return d->access;
}

bool Store::writable() const {
    return d->access == Access::ReadWrite && sqlite3_db_readonly(d->db, "main") == 0;
}

void Store::begin() {
    if (d->access == Access::ReadOnly)
        throw RegistryError(RegistryError::Kind::ReadOnly,
                            "The registry store cannot be written (" + d->path.string() +
                                "): it is open for reading only");
    if (d->depth++ == 0) {
        try {
            d->exec("BEGIN IMMEDIATE", "starting a write");
        } catch (...) {
            d->depth = 0;
            throw;
        }
    }
}

void Store::commit() {
    if (--d->depth != 0) return;
    try {
        d->exec("COMMIT", "writing");
    } catch (...) {
        // A commit that met a lock leaves the transaction open, holding off
        // every other writer until this connection ends.
        sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void Store::rollback() {
    if (--d->depth == 0) sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Store::keyExists(std::string_view key) const {
    return d->find(key).has_value();
}

void Store::createKey(std::string_view key) {
    atomically([&] { d->create(key); });
}

void Store::deleteKey(std::string_view key) {
    if (splitKey(key).empty())
        throw RegistryError(RegistryError::Kind::BadName,
                            "The root of the registry cannot be deleted");
    atomically([&] {
        const auto id = d->find(key);
        if (!id) return;
        static const char* kSubtree =
            "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL"
            " SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) ";
        static const std::string deleteValues =
            std::string(kSubtree) + "DELETE FROM vals WHERE key IN (SELECT id FROM sub)";
        static const std::string deleteKeys =
            std::string(kSubtree) + "DELETE FROM keys WHERE id IN (SELECT id FROM sub)";
        for (const std::string* sql : {&deleteValues, &deleteKeys}) {
            Cursor stmt = d->prepare(sql->c_str());
            sqlite3_bind_int64(stmt, 1, *id);
            d->step(stmt, "deleting a key");
        }
    });
}

namespace {

// The query that walks a key path of `depth` levels and reads one value:
// parameter 1 is the value's folded name, 2 and on the levels' folded names.
const char* valueQuery(std::size_t depth) {
    static std::mutex lock;
    static std::vector<std::unique_ptr<const std::string>> queries;
    const std::lock_guard<std::mutex> hold(lock);
    while (queries.size() <= depth) {
        const std::size_t n = queries.size();
        std::string sql = "SELECT vals.data FROM ";
        for (std::size_t level = 1; level <= n; ++level)
            sql.append("keys k").append(std::to_string(level)).append(", ");
        sql.append("vals WHERE ");
        for (std::size_t level = 1; level <= n; ++level) {
            const std::string k = std::to_string(level);
            sql.append("k").append(k).append(".parent = ");
            if (level == 1)
                sql.append("0");
            else
                sql.append("k").append(std::to_string(level - 1)).append(".id");
            sql.append(" AND k").append(k).append(".fold = ?").append(std::to_string(level + 1));
            sql.append(" AND ");
        }
        sql.append("vals.key = ");
        if (n == 0)
            sql.append("0");
        else
            sql.append("k").append(std::to_string(n)).append(".id");
        sql.append(" AND vals.fold = ?1");
        queries.push_back(std::make_unique<const std::string>(std::move(sql)));
    }
    return queries[depth]->c_str();
}

}  // namespace

std::optional<std::string> Store::value(std::string_view key, std::string_view name) const {
    // One statement walks the key path and reads the value: outside a
    // transaction every statement takes and gives back the file's lock and
    // checks the file for changes, which made a lookup level by level cost
    // several times what the value itself costs.
    std::vector<std::string> folded = {foldCase(name)};
    for (std::string_view part : splitKey(key)) folded.push_back(foldCase(part));
    Cursor stmt = d->prepare(valueQuery(folded.size() - 1));
    // The folded names outlive the statement's step.
    for (std::size_t at = 0; at < folded.size(); ++at)
        sqlite3_bind_text(stmt, static_cast<int>(at) + 1, folded[at].data(),
                          static_cast<int>(folded[at].size()), SQLITE_STATIC);
    if (d->step(stmt, "reading a value") == SQLITE_ROW) return Impl::column(stmt, 0);
    return std::nullopt;
}

void Store::setSecretValue(std::string_view key, std::string_view name, std::string_view data) {
    struct stat st {};
    if (::stat(d->path.c_str(), &st) != 0)
        throw RegistryError(
            RegistryError::Kind::Io,
            "Cannot read the registry store " + d->path.string() + ": " + std::strerror(errno));
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        throw RegistryError(RegistryError::Kind::Exposed,
                            "The registry store " + d->path.string() +
                                " can be read by other users (mode " + mode + "), so " +
                                std::string(name) +
                                " is not written into it; make it private first: chmod 600 '" +
                                d->path.string() + "'");
    }
    setValue(key, name, data);
}

void Store::setValue(std::string_view key, std::string_view name, std::string_view data) {
    atomically([&] {
        const std::int64_t id = d->create(key);
        const std::string fold = foldCase(name);
        Cursor update = d->prepare("UPDATE vals SET data = ?3 WHERE key = ?1 AND fold = ?2");
        sqlite3_bind_int64(update, 1, id);
        Impl::bind(update, 2, fold);
        Impl::bind(update, 3, data);
        d->step(update, "writing a value");
        if (sqlite3_changes(d->db) > 0) return;
        sqlite3_stmt* insert =
            d->prepare("INSERT INTO vals(key, name, fold, data) VALUES(?1, ?2, ?3, ?4)");
        sqlite3_bind_int64(insert, 1, id);
        Impl::bind(insert, 2, name);
        Impl::bind(insert, 3, fold);
        Impl::bind(insert, 4, data);
        d->step(insert, "writing a value");
    });
}

bool Store::deleteValue(std::string_view key, std::string_view name) {
    bool removed = false;
    atomically([&] {
        const auto id = d->find(key);
        if (!id) return;
        Cursor stmt = d->prepare("DELETE FROM vals WHERE key = ?1 AND fold = ?2");
        sqlite3_bind_int64(stmt, 1, *id);
        Impl::bind(stmt, 2, foldCase(name));
        d->step(stmt, "deleting a value");
        removed = sqlite3_changes(d->db) > 0;
    });
    return removed;
}

Store::NamedValues Store::values(std::string_view key) const {
    NamedValues out;
    const auto id = d->find(key);
    if (!id) return out;
    Cursor stmt = d->prepare("SELECT name, data FROM vals WHERE key = ?1 ORDER BY id");
    sqlite3_bind_int64(stmt, 1, *id);
    while (d->step(stmt, "listing values") == SQLITE_ROW)
        out.emplace_back(Impl::column(stmt, 0), Impl::column(stmt, 1));
    return out;
}

std::vector<std::string> Store::subkeys(std::string_view key) const {
    std::vector<std::string> out;
    const auto id = d->find(key);
    if (!id) return out;
    Cursor stmt = d->prepare("SELECT name FROM keys WHERE parent = ?1 ORDER BY id");
    sqlite3_bind_int64(stmt, 1, *id);
    while (d->step(stmt, "listing keys") == SQLITE_ROW) out.push_back(Impl::column(stmt, 0));
    return out;
}

}  // namespace platform::registry
