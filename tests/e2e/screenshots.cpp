// Writes a picture of every page and settings frame of the main window and
// of both help windows, for
// looking at the layout by eye (run under Xvfb; not part of the test suite):
//   tvn_screenshots <output folder> [name to search before the first picture]
//                   [--check=<attribute>]... [--browse=<full name>] [--wide]
// --check ticks an attribute in the settings' attribute lists (as the
// administrator would); --browse opens the remote-action tree down to an
// object and clicks it before the first picture; --wide pictures a larger
// window whose attribute columns fit their contents.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include "app/browser/treeExp.h"
#include "app/shell/ShellProgramStart.h"
#include "app/shell/frmHelpWindow.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/tabstrip.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? argv[1] : ".";
    QDir().mkpath(out);
    auto services = platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath());
    services.programs = std::make_shared<tvn::ShellProgramStart>();
    tvn::frmMain form(services);
    form.Form_Load();
    form.show();

    auto settle = [] {
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
    };
    auto shoot = [&](const QString& name) {
        settle();
        form.grab().save(out + "/" + name + ".png");
    };
    settle();
    QString search, browse;
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith("--browse=")) {
            browse = arg.section('=', 1);
        } else if (arg == "--wide") {
            form.resize(900, 640);
        } else if (arg.startsWith("--check=")) {
            for (auto* list : form.lstKTRInfoSelect)
                for (int row = 0; row < list->count(); ++row)
                    if (list->itemAt(row)->text(0) == arg.section('=', 1))
                        platform::forms::KeyedList::setChecked(list->itemAt(row), true);
        } else {
            search = arg;
        }
    }
    if (!search.isEmpty()) {
        form.ImageCombo1->setEditText(search);
        form.cmdRC_Click();
    }
    if (!browse.isEmpty()) {
        tvn::treeExp(form, browse);
        settle();
        platform::forms::KeyedTree* tree = form.TreeViewRC;
        if (QTreeWidgetItem* node = tree->node(browse))
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualItemRect(node).center());
        for (int column = 0; column < 2; ++column) form.lvwKTRinfo->resizeColumnToContents(column);
    }
    shoot("page1-remote-action");
    form.TabStrip->select(2);
    for (int frame = 1; frame <= 4; ++frame) {
        form.TabStripSettings->select(frame);
        shoot(QString("page2-settings-frame%1").arg(frame));
    }
    form.TabStrip->select(3);
    shoot("page3-about");

    tvn::frmHelpWindow options;
    options.show();
    settle();
    options.grab().save(out + "/help-command-line.png");
    options.close();

    QTest::keyClick(&form, Qt::Key_F1);
    settle();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != &form && window->isVisible()) window->grab().save(out + "/help.png");
    return 0;
}
