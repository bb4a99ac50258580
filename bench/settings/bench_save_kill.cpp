// tvn killed (SIGKILL) at random moments while it saves its settings, again
// and again on one store: after every kill the store must pass SQLite's
// integrity check and every changed value must be one whole save's (see
// tests/e2e/savekill.h). Prints how many kills cut a save between its
// writes, and exits 1 at the first damage.
// Usage: bench_save_kill [kills]   (default 100)
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "savekill.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int kills = argc > 1 ? std::atoi(argv[1]) : 100;
    QTemporaryDir home;
    if (!home.isValid() || kills <= 0) return 2;
    const QString root = home.path();
    for (const char* dir : {"config", "runtime", "network"}) QDir(root).mkpath(dir);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toUtf8());
    qputenv("REGISTRY_DB", (root + "/registry.db").toUtf8());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KDDIR_SOURCE", TVN_SOURCE_DIR "/demo/directory.ldif");
    env.insert("KDCLIENT_NETWORK", TVN_SOURCE_DIR "/demo/network.json");
    env.insert("UNC_ROOT", root + "/network");
    for (const char* library : {KDDIR_LIBRARY, QUILLON_LIBRARY}) {
        QProcess regsrv;
        regsrv.start(REGSRV, {library});
        if (!regsrv.waitForFinished() || regsrv.exitCode() != 0) return 2;
    }

    std::mt19937 random(std::random_device{}());
    const auto start = std::chrono::steady_clock::now();
    const auto ready = std::filesystem::path(root.toStdString()) / "saving";
    int cut = 0;
    long saves = 0;
    for (int kill = 1; kill <= kills; ++kill) {
        const std::chrono::milliseconds delay(std::uniform_int_distribution<int>(0, 150)(random));
        const std::string run = savekill::killWhileSaving(TVN_DRIVER, env, ready, delay);
        const std::string sound = savekill::integrity(root.toStdString() + "/registry.db");
        const savekill::Saved saved = savekill::savedValues("Settings\\CorpTree");
        if (!run.empty() || sound != "ok" || !saved.problem.empty()) {
            std::printf("kill %d after %lld ms: %s%s%s\n", kill,
                        static_cast<long long>(delay.count()), run.c_str(),
                        sound == "ok" ? "" : sound.c_str(), saved.problem.c_str());
            return 1;
        }
        if (saved.newest != saved.oldest) ++cut;
        saves += saved.newest;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "%d kills in %.1f s: store sound and every value whole after each; "
        "%d kills cut a save between its writes; %.1f saves per run on average\n",
        kills, seconds, cut, static_cast<double>(saves) / kills);
    return 0;
}
