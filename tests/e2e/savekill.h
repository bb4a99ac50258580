// tvn killed (SIGKILL) while it saves its settings, and what the store must
// look like afterwards: SQLite finds it sound, and each value the save loop
// changes holds one whole generation, the keys at most one generation apart
// (a save is a sequence of single writes, so a cut save mixes the old and the
// new generation). Shared by the end-to-end test and the longer run in bench/.
#pragma once

#include <signal.h>
#include <sqlite3.h>

#include <QFile>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <string>

#include "platform/registry/store.h"
#include "savedvalues.h"

namespace savekill {

// "ok", or what SQLite's integrity check finds wrong.
inline std::string integrity(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    std::string result;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        result = std::string("cannot open: ") + sqlite3_errmsg(db);
    } else {
        // A run that has just ended may still hold the file for a moment
        // (a machine under load); the check waits for it as tvn would.
        sqlite3_busy_timeout(db, 10000);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK) {
            result = std::string("cannot check: ") + sqlite3_errmsg(db);
        } else {
            int rc = SQLITE_ROW;
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
                result += (result.empty() ? "" : "; ") +
                          std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
            if (rc != SQLITE_DONE)
                result += (result.empty() ? "" : "; ") + std::string("check failed: ") +
                          sqlite3_errmsg(db);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
}

// What the keys of the save loop hold: the newest and oldest generation
// among them (0 when never written), and what is wrong: a torn value, or
// keys more than one save apart.
struct Saved {
    long newest = 0;
    long oldest = 0;
    std::string problem;
};

inline Saved savedValues(const std::string& section) {
    platform::registry::Store store;
    const std::string key = "Software\\Application Settings\\Tolvane\\" + section;
    Saved saved;
    for (const char* name : savedvalues::kKeys) {
        const auto text = store.value(key, name);
        if (!text) continue;
        const auto found = savedvalues::generationOf(name, *text);
        if (!found) {
            saved.problem =
                std::string(name) + " holds a torn value (" + text->substr(0, 40) + "...)";
            return saved;
        }
        saved.newest = std::max(saved.newest, *found);
        saved.oldest = saved.oldest == 0 ? *found : std::min(saved.oldest, *found);
    }
    if (saved.newest - saved.oldest > 1)
        saved.problem =
            "the keys are " + std::to_string(saved.newest - saved.oldest) + " saves apart";
    return saved;
}

// Starts the driver's save loop, waits for its first save, lets it save for
// delay and kills it. Answers "" or why the run could not be made.
inline std::string killWhileSaving(const QString& driver, QProcessEnvironment env,
                                   const std::filesystem::path& readyFile,
                                   std::chrono::milliseconds delay) {
    std::filesystem::remove(readyFile);
    env.insert("TVN_DRIVE", "saveloop=" + QString::fromStdString(readyFile.string()));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(driver, {});
    if (!process.waitForStarted()) return "the driver did not start";
    // The file comes from the other process: poll for it.
    for (int waited = 0; !std::filesystem::exists(readyFile); waited += 5) {
        if (process.state() == QProcess::NotRunning)
            return "the driver ended before its first save: " +
                   process.readAllStandardError().toStdString();
        if (waited > 60000) return "no first save within a minute";
        QThread::msleep(5);
    }
    QThread::msleep(static_cast<unsigned long>(delay.count()));
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    process.waitForFinished(30000);
    return process.exitStatus() == QProcess::CrashExit ? "" : "the driver was not killed";
}

}  // namespace savekill
