// Writes a picture of every page and settings frame of the main window and
// of both help windows, for
// looking at the layout by eye (run under Xvfb; not part of the test suite):
//   tvn_screenshots <output folder> [name to search before the first picture]
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include "app/shell/ShellProgramStart.h"
#include "app/shell/frmHelpWindow.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
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
    if (argc > 2) {
        form.ImageCombo1->setEditText(argv[2]);
        form.cmdRC_Click();
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
