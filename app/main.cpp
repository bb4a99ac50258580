// tvn: the main window is loaded (start-up), shown unless start-up closed it
// or ended the program, and the program runs until its last window closes.
#include <QApplication>

#include "app/shell/ShellProgramStart.h"
#include "app/shell/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolvane");

    auto services = platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath());
    services.programs = std::make_shared<tvn::ShellProgramStart>();

    tvn::frmMain form(services);
    switch (form.Form_Load()) {
        case tvn::frmMain::LoadResult::EndProgram:
            return 1;
        case tvn::frmMain::LoadResult::Closed:
            // A help window may still be open; without one the run is over.
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window->isVisible()) return QApplication::exec();
            return 0;
        case tvn::frmMain::LoadResult::Show:
            form.show();
            break;
    }
    return QApplication::exec();
}
