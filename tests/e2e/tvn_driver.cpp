// A driver for the end-to-end tests: runs tvn exactly as the program runs
// (its command line, store, components and shutdown) and, once the main
// window is shown, carries out the steps named in $TVN_DRIVE, separated by
// ";", then closes the main window as the user would:
//   search=<name>   types the name into the name box and presses the main button
//   report=<file>   writes what the window shows (tree, console generation,
//                   default action, visible actions, history) to a file
//   window=<file>   writes the caption, status panel 2 and the result list's
//                   header, length and texts to a file
//   await=<file>    waits (serving events, up to a minute) until the file exists
//   stay            leaves the window open instead: the run ends as a session
//                   end or the user ends it
//   save            saves the settings, as shutdown does
//   ready=<file>    creates the file (the run has come this far)
//   wait=<file>     waits (up to a minute, serving no events) until the file exists
//   saveloop=<file> saves the settings again and again, each time with new
//                   values of the keys in savedvalues.h, and creates the file
//                   once the first save is done; never ends (the test kills it)
//   type=<text>     types the text into whatever has the keyboard focus
//   key=<keys>      presses keys there (an open menu first): a key sequence as
//                   Qt writes it ("Tab", "Shift+F10", "Return", "Ctrl+Q", "H")
//   click=<name>    clicks the button of that name with the mouse
//   box=<text>      clicks into the name box, selects what it holds and types
//                   the text
//   tabto=<name>    presses Tab (at most 20 times) until the control of that
//                   name has the focus
//   focus=<file>    writes the name of the control with the focus, the open
//                   menu's name and whether the window was closed
// The keys go through the application as a person's would: the window is
// made the active one first.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include "app/shell/Program.h"
#include "app/shell/RegistrySettings.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "savedvalues.h"

namespace {

QString shown(const QWidget* widget) {
    return widget->isHidden() ? "hidden" : "shown";
}

void report(tvn::frmMain& form, const QString& file) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    QTextStream text(&out);
    text << "tree=" << form.treeName << "\n";
    text << "generation=" << (form.consoleNewGeneration ? "newer" : "older") << "\n";
    text << "defaultAction=" << form.defaultAction << "\n";
    text << "cmdRC=" << form.cmdRC->text() << "\n";
    text << "Command1=" << shown(form.Command1) << "\n";
    text << "txtInvServer=" << shown(form.txtInvServer) << "\n";
    QStringList actions;
    for (QAction* item : form.mnuMain->actions())
        if (item->isVisible()) actions << item->objectName();
    text << "actions=" << actions.join(',') << "\n";
    for (int i = 0; i < form.ImageCombo1->count(); ++i)
        text << "history=" << form.ImageCombo1->keyAt(i) << " | " << form.ImageCombo1->itemText(i)
             << " | " << form.ImageCombo1->imageAt(i) << "\n";
}

// Written under another name and renamed, so that a reader waiting for the
// file never sees half of it.
void window(tvn::frmMain& form, const QString& file) {
    QFile out(file + ".part");
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    QTextStream text(&out);
    text << "caption=" << form.windowTitle() << "\n";
    text << "status=" << form.statusText() << "\n";
    text << "results=" << form.lstMultiple->columnHeader(1) << " | " << form.lstMultiple->count()
         << "\n";
    for (int i = 0; i < form.lstMultiple->count(); ++i)
        text << "result=" << form.lstMultiple->textAt(i) << "\n";
    text.flush();
    out.close();
    QFile::rename(file + ".part", file);
}

void touch(const QString& file) {
    QFile out(file);
    out.open(QIODevice::WriteOnly);
}

// Polls rather than waits on a signal: the file comes from another process.
void waitFor(const QString& file) {
    QDeadlineTimer deadline(60000);
    while (!QFile::exists(file) && !deadline.hasExpired()) QThread::msleep(5);
}

[[noreturn]] void saveForEver(tvn::frmMain& form, const QString& ready) {
    for (long generation = 1;; ++generation) {
        form.cmbServerlist->setEditText(
            QString::fromStdString(savedvalues::value(savedvalues::kKeys[0], generation)));
        form.txtInvServer->setText(
            QString::fromStdString(savedvalues::value(savedvalues::kKeys[1], generation)));
        tvn::RegistrySettings::SaveSettings(form);
        if (generation == 1) touch(ready);
    }
}

// What receives the keyboard now: an open menu, else the focus.
QWidget* keyboardTarget(tvn::frmMain& form) {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    if (QWidget* focus = QApplication::focusWidget()) return focus;
    return &form;
}

void pressKeys(tvn::frmMain& form, const QString& keys) {
    const QKeySequence sequence = QKeySequence::fromString(keys);
    for (int i = 0; i < sequence.count(); ++i) {
        const QKeyCombination combination = sequence[i];
        QTest::keyClick(keyboardTarget(form), combination.key(), combination.keyboardModifiers());
        QApplication::processEvents();
    }
}

void focusReport(tvn::frmMain& form, const QString& file) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    QTextStream text(&out);
    const QWidget* focus = QApplication::focusWidget();
    text << "focus=" << (focus ? focus->objectName() : QString()) << "\n";
    const QWidget* popup = QApplication::activePopupWidget();
    text << "menu=" << (popup ? popup->objectName() : QString()) << "\n";
    text << "closed=" << (form.isUnloaded() ? "yes" : "no") << "\n";
    text << "selected=" << form.lstMultiple->selectedRow() << "\n";
    text << "status=" << form.statusText() << "\n";
    text << "cmdRC=" << form.cmdRC->text() << "\n";
    text << "results=" << form.lstMultiple->columnHeader(1) << " | " << form.lstMultiple->count()
         << "\n";
}

void drive(tvn::frmMain& form) {
    const QStringList steps = qEnvironmentVariable("TVN_DRIVE").split(';', Qt::SkipEmptyParts);
    bool stay = false;
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    for (const QString& step : steps) {
        const QString value = step.section('=', 1);
        if (step.startsWith("search=")) {
            form.ImageCombo1->setEditText(value);
            form.cmdRC_Click();
        } else if (step.startsWith("report=")) {
            report(form, value);
        } else if (step.startsWith("window=")) {
            window(form, value);
        } else if (step.startsWith("await=")) {
            if (!QTest::qWaitFor([&] { return QFile::exists(value); }, 60000)) break;
        } else if (step == "stay") {
            stay = true;
        } else if (step == "save") {
            tvn::RegistrySettings::SaveSettings(form);
        } else if (step.startsWith("ready=")) {
            touch(value);
        } else if (step.startsWith("wait=")) {
            waitFor(value);
        } else if (step.startsWith("saveloop=")) {
            saveForEver(form, value);
        } else if (step.startsWith("type=")) {
            QTest::keyClicks(keyboardTarget(form), value);
        } else if (step.startsWith("key=")) {
            pressKeys(form, value);
        } else if (step.startsWith("click=")) {
            if (auto* button = form.findChild<QPushButton*>(value))
                QTest::mouseClick(button, Qt::LeftButton);
        } else if (step.startsWith("box=")) {
            QTest::mouseClick(form.ImageCombo1->lineEdit(), Qt::LeftButton);
            QApplication::processEvents();
            form.ImageCombo1->lineEdit()->selectAll();
            QTest::keyClicks(form.ImageCombo1, value);
        } else if (step.startsWith("tabto=")) {
            for (int i = 0; i < 20; ++i) {
                const QWidget* focus = QApplication::focusWidget();
                if (focus && focus->objectName() == value) break;
                pressKeys(form, "Tab");
            }
        } else if (step.startsWith("focus=")) {
            focusReport(form, value);
        }
    }
    if (!stay && !form.isUnloaded()) form.close();
}

}  // namespace

int main(int argc, char** argv) {
    return tvn::runProgram(argc, argv, drive);
}
