// The help window on the command-line options, shown instead of the main
// window when "/?" is given. Its only control that acts is the OK button,
// which closes it; on that path it is the program's last window.
#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QPushButton;

namespace tvn {

class frmHelpWindow : public QWidget {
public:
    explicit frmHelpWindow(QWidget* parent = nullptr);

    void cmdOK_Click();

    // The twelve texts from top to bottom (elements 1 to 12), then the button.
    std::array<QLabel*, 13> lblHelp{};
    QPushButton* cmdOK = nullptr;
};

}  // namespace tvn
