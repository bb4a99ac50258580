// What typing "*" and pressing the main button costs tvn on a generated
// directory read through the real directory control: every user and
// workstation is a hit, and all of them go to the result list.
//   - first rows: from the button to the list's first paint with its rows;
//   - stalls: the longest gap of a 5 ms timer while the list is then scrolled
//     to the end, back and paged through;
//   - memory: resident growth from before the search to after the scrolling.
// Prints one line per figure: name, value, unit, target, "ok" or "over".
// Usage: bench_search [entries]   (default 1000000; run a Release build)
#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../directory/generator.h"
#include "../directorycontrol.h"
#include "../timing.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/shell/frmMain.h"
#include "platform/automation/create.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"

namespace fs = std::filesystem;
namespace pa = platform::automation;
using benchtiming::Clock;
using benchtiming::msSince;

namespace {

double residentMiB() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

// Notes when the view's rows are first painted.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && armed && !painted) painted = true;
        return QObject::eventFilter(watched, event);
    }
    bool armed = false;
    bool painted = false;
};

}  // namespace

int main(int argc, char** argv) {
    const std::size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-search";
    fs::create_directories(folder);
    const fs::path ldif = folder / "search.ldif";
    const benchdir::GeneratedShape shape = benchdir::writeDirectory(ldif, entries);
    if (!useDirectoryControl(folder, ldif, "bench_search")) return 1;

    QApplication app(argc, argv);
    tvn::frmMain form(platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath()));
    form.treeName = "Bench";
    form.KDDirUser = std::make_unique<tvn::KDDirCtrl>(pa::createObject(tvn::KDDirCtrl::kProgId));
    form.KDDirUser->onSearchCompleted(
        [&](const pa::Variant& results) { form.KDDirUser_SearchCompleted(results); });
    form.KDDirWSAddress =
        std::make_unique<tvn::KDDirCtrl>(pa::createObject(tvn::KDDirCtrl::kProgId));
    form.KDDirUser->ContextPath();  // the directory is loaded before the clock starts
    form.show();
    QApplication::processEvents();

    PaintWatch watch;
    form.lstMultiple->viewport()->installEventFilter(&watch);
    const double before = residentMiB();
    form.ImageCombo1->setEditText("*");
    const auto start = Clock::now();
    watch.armed = true;
    form.cmdRC_Click();
    while (!watch.painted && msSince(start) < 60000) QApplication::processEvents();
    const double firstRows = msSince(start);
    const int hits = form.lstMultiple->count();

    // The event loop while the administrator moves through the list.
    double worstGap = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        worstGap = std::max(worstGap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    ticks.start(5);
    QScrollBar* bar = form.lstMultiple->verticalScrollBar();
    int step = 0;
    QTimer mover;
    QObject::connect(&mover, &QTimer::timeout, [&] {
        switch (step++ % 4) {
            case 0:
                bar->setValue(bar->maximum());
                break;
            case 1:
                bar->setValue(0);
                break;
            case 2:
                bar->setValue(bar->maximum() / 2);
                break;
            default:
                bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        }
        form.lstMultiple->setCurrentRow(std::max(0, hits - 1 - step));
    });
    mover.start(50);
    QTimer::singleShot(2000, &app, &QApplication::quit);
    sinceTick.restart();
    app.exec();
    const double growth = residentMiB() - before;

    std::fprintf(
        stderr,
        "bench_search: \"*\" on %zu entries (%zu users, %zu workstations): %d hits listed\n",
        shape.entries, shape.users, shape.workstations, hits);
    // Beyond the million of the usual run, the size is part of the names.
    const std::string size =
        shape.entries > 1100000 ? std::string(" ").append(std::to_string(shape.entries)) : "";
    benchtiming::figure(("search * first rows" + size).c_str(), firstRows, "ms", 1000);
    benchtiming::figure(("search * worst stall after" + size).c_str(), worstGap, "ms", 200);
    // The target of the memory a list adds holds for a million hits; ten
    // million have none, and what they cost is only said.
    if (size.empty())
        benchtiming::figure("search * memory growth", growth, "MiB", 200);
    else
        std::fprintf(stderr, "bench_search: the list added %.0f MiB for %d hits\n", growth, hits);
    fs::remove_all(folder);
    const std::size_t expected = shape.users + shape.workstations;
    if (hits < 0 || static_cast<std::size_t>(hits) != expected) {
        std::fprintf(stderr, "bench_search: %d hits listed, %zu expected\n", hits, expected);
        return 1;
    }
    return 0;
}
