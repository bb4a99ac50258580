// Writes pictures of the quillon-host window and of both property pages in
// their frame (the network browser opened a few levels deep), for looking
// at them by eye. Run under Xvfb on a network of the client stand-in with
// the control registered; not part of the test suite:
//   quillon_screenshots <output folder>
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTreeWidget>

#include "platform/framework/propframe.h"
#include "session/host/hostwindow.h"

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

// Expands the child of `item` with this text and returns it (or null).
QTreeWidgetItem* open(QTreeWidgetItem* item, const QString& text) {
    for (int i = 0; item && i < item->childCount(); ++i)
        if (item->child(i)->text(0) == text) {
            item->child(i)->setExpanded(true);
            return item->child(i);
        }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? argv[1] : ".";
    QDir().mkpath(out);
    quillonhost::HostWindow window("QuillonLib.QuillonCtrl.1");
    window.show();
    settle();
    window.grab().save(out + "/host-window.png");

    platform::framework::PropertyFrame* frame = window.openProperties();
    if (!frame) return 1;
    settle();
    frame->grab().save(out + "/page-general.png");

    frame->tabs()->setCurrentIndex(1);
    auto* tree = frame->page(1)->findChild<QTreeWidget*>();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    open(root, "Kalder Servers");
    QTreeWidgetItem* corp = open(open(root, "Marrel Directory Services"), "CorpTree");
    QTreeWidgetItem* acme = open(corp, "Acme");
    tree->setCurrentItem(acme);
    tree->scrollToTop();
    settle();
    frame->grab().save(out + "/page-network-browser.png");
    return 0;
}
