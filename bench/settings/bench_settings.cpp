// A settings read and write through the registry store against the raw
// peer: one SQLite file with a flat table (full key path and value name as
// the primary key), one statement prepared once per operation, the same
// durability settings (SQLite's defaults, as the store keeps them). The key
// path has five levels, as tvn's settings have.
// Prints one figure line per ratio (the store's median over the peer's).
// Usage: bench_settings [reads [writes]]   (default 20000 300)
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../timing.h"
#include "platform/registry/store.h"

namespace fs = std::filesystem;
using benchtiming::Clock;
using benchtiming::msSince;

namespace {

constexpr const char* kKey = "Software\\Tolvane\\tvn\\Settings\\Window";
constexpr const char* kName = "Current Context";

[[noreturn]] void die(const char* what, sqlite3* db) {
    std::fprintf(stderr, "bench_settings: %s: %s\n", what, db ? sqlite3_errmsg(db) : "");
    std::exit(1);
}

// The raw peer.
class Flat {
public:
    explicit Flat(const fs::path& file) {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) die("open", db_);
        if (sqlite3_exec(db_,
                         "CREATE TABLE IF NOT EXISTS vals(path TEXT NOT NULL, name TEXT NOT NULL,"
                         " data TEXT, PRIMARY KEY(path, name)) WITHOUT ROWID",
                         nullptr, nullptr, nullptr) != SQLITE_OK)
            die("create", db_);
        prepare("SELECT data FROM vals WHERE path = ?1 AND name = ?2", &read_);
        prepare("INSERT OR REPLACE INTO vals(path, name, data) VALUES(?1, ?2, ?3)", &write_);
    }
    ~Flat() {
        sqlite3_finalize(read_);
        sqlite3_finalize(write_);
        sqlite3_close(db_);
    }
    std::string get(const std::string& path, const std::string& name) {
        sqlite3_bind_text(read_, 1, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
        sqlite3_bind_text(read_, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        std::string out;
        if (sqlite3_step(read_) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(read_, 0));
        sqlite3_reset(read_);
        return out;
    }
    void set(const std::string& path, const std::string& name, const std::string& data) {
        sqlite3_bind_text(write_, 1, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
        sqlite3_bind_text(write_, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_bind_text(write_, 3, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
        if (sqlite3_step(write_) != SQLITE_DONE) die("write", db_);
        sqlite3_reset(write_);
    }

private:
    void prepare(const char* sql, sqlite3_stmt** stmt) {
        if (sqlite3_prepare_v2(db_, sql, -1, stmt, nullptr) != SQLITE_OK) die("prepare", db_);
    }
    sqlite3* db_ = nullptr;
    sqlite3_stmt* read_ = nullptr;
    sqlite3_stmt* write_ = nullptr;
};

struct Paired {
    double ours;  // median microseconds per call
    double peer;
};

// Both sides in alternating batches, so that whatever else the machine does
// falls on both alike.
template <typename Ours, typename Peer>
Paired perCall(int calls, Ours&& ours, Peer&& peer) {
    std::vector<double> a, b;
    const int batch = std::max(1, calls / 40);
    for (int done = 0; done < calls; done += batch) {
        auto start = Clock::now();
        for (int i = 0; i < batch; ++i) ours(done + i);
        a.push_back(msSince(start) * 1000 / batch);
        start = Clock::now();
        for (int i = 0; i < batch; ++i) peer(done + i);
        b.push_back(msSince(start) * 1000 / batch);
    }
    return {benchtiming::stats(a).median, benchtiming::stats(b).median};
}

}  // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::max(20, std::atoi(argv[1])) : 20000;
    const int writes = argc > 2 ? std::max(20, std::atoi(argv[2])) : 300;
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-settings";
    fs::remove_all(folder);
    fs::create_directories(folder);

    platform::registry::Store store(folder / "registry.db");
    Flat flat(folder / "flat.db");
    // Some neighbours, so that neither table holds only the one row.
    for (int i = 0; i < 200; ++i) {
        const std::string key = std::string(kKey).append("\\K").append(std::to_string(i % 20));
        store.setValue(key, std::string("V").append(std::to_string(i)), "value");
        flat.set(key, std::string("V").append(std::to_string(i)), "value");
    }
    store.setValue(kKey, kName, "KTR:\\\\CorpTree\\Acme");
    flat.set(kKey, kName, "KTR:\\\\CorpTree\\Acme");

    std::size_t sink = 0;
    const Paired read = perCall(
        reads, [&](int) { sink += store.value(kKey, kName)->size(); },
        [&](int) { sink += flat.get(kKey, kName).size(); });
    const auto written = [](int i) { return std::string("KTR:\\\\T\\").append(std::to_string(i)); };
    const Paired write = perCall(
        writes, [&](int i) { store.setValue(kKey, kName, written(i)); },
        [&](int i) { flat.set(kKey, kName, written(i)); });
    std::fprintf(stderr,
                 "bench_settings: read %.2f us (peer %.2f us), write %.1f us (peer %.1f us)%s\n",
                 read.ours, read.peer, write.ours, write.peer, sink ? "" : " ");
    benchtiming::figure("settings read / raw peer", read.ours / read.peer, "x", 1.5);
    benchtiming::figure("settings write / raw peer", write.ours / write.peer, "x", 1.2);
    fs::remove_all(folder);
    return 0;
}
