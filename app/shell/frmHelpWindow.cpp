// The help window: every line of the command-line help, headings in bold,
// in a client area of 10035 by 8190 twips. Escape closes it as "OK" does.
#include "app/shell/frmHelpWindow.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "platform/forms/twips.h"

namespace tvn {

using platform::forms::toPixels;

namespace {

constexpr double kClientWidth = 10035;
constexpr double kClientHeight = 8190;
constexpr double kTextLeft = 150;
constexpr double kTextWidth = 9735;
constexpr double kButtonWidth = 1425;
constexpr double kButtonHeight = 435;

struct HelpLine {
    const char* text;
    bool bold;
};

// Text blocks keep their line breaks as CR LF and end with one.
const HelpLine kLines[] = {
    {"Command line options:", true},
    {"tvn [ /tree=<tree name> ] [ /dbpath=<path> ]  [ [ /dbbuild = <context> ] [ /autoclose ] ]  "
     "[ /? ]",
     true},
    {"/tree=<tree name>", true},
    {"Used to specify the KTR tree TVN should use. All settings inluding the history and the "
     "workstation databse are stored separately for each tree used. After loading TVN with a "
     "different tree you may need to readjust several settings.\r\n"
     "\r\n"
     "Example:\r\n"
     "tvn /tree=KTR:\\\\MyTree\r\n",
     false},
    {"/dbpath=<path>", true},
    {"Loads and saves the workstation databse file from and to the specified directory.\r\n"
     "\r\n"
     "Examples:\r\n"
     "tvn /dbpath=t:\\tvn\r\n"
     "tvn /dbpath=\\\\MyServer\\vol3\\tvn\r\n",
     false},
    {"/dbbuild=<context>", true},
    {"(Re)Builds the workatation databse upon application startup automatically. The KTR context "
     "to start the workstation search from (including subcontainers) needs to be specified the "
     "following way:\r\n"
     "\r\n"
     "KTR:\\\\Tree Name\\Organization\\Organizational Unit\\ ... \\Urganizational Unit\r\n"
     "\r\n"
     "Example:\r\n"
     "The context 'Workstation.MyContainer.MyOrganization' in the tree 'MyTree' must be passed "
     "as\r\n"
     "\r\n"
     "tvn /dbbuild=KTR:\\\\MyTree\\MyOrganization\\MyContainer\\Workstation\r\n",
     false},
    {"/autoclose", true},
    {"Used only in combination with '/dbbuild', '/autoclose' will close TVN automatically once "
     "the workstation databse has been built.\r\n",
     false},
    {"/?", true},
    {"Brings up this help.", false},
};

}  // namespace

frmHelpWindow::frmHelpWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("frmHelpWindow");
    setWindowTitle("Tolvane - Command line options");
    QFont font("MS Sans Serif");
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));

    auto* column = new QVBoxLayout(this);
    const int side = toPixels(kTextLeft);
    column->setContentsMargins(side, side, toPixels(kClientWidth - kTextLeft - kTextWidth), side);
    column->setSpacing(toPixels(60));
    int element = 1;
    for (const HelpLine& line : kLines) {
        auto* label = new QLabel(QString::fromLatin1(line.text), this);
        label->setObjectName(QString("lblHelp(%1)").arg(element));
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setFixedWidth(toPixels(kTextWidth));
        QFont labelFont = font;
        labelFont.setBold(line.bold);
        label->setFont(labelFont);
        column->addWidget(label);
        lblHelp[element++] = label;
    }
    column->addStretch(1);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setFixedSize(toPixels(kButtonWidth), toPixels(kButtonHeight));
    column->addWidget(cmdOK, 0, Qt::AlignHCenter);
    connect(cmdOK, &QPushButton::clicked, this, &frmHelpWindow::cmdOK_Click);
    // Escape closes the window as its close box does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void frmHelpWindow::cmdOK_Click() {
    close();
}

}  // namespace tvn
