// The name history and the handlers of the name box.
#include "app/shell/NameHistory.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/actions/UNCtoDOTConversion.h"
#include "app/shell/RegistrySettings.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/errors.h"
#include "platform/forms/imagecombo.h"

namespace tvn {

namespace {

const QString kHistory = QStringLiteral("History");

void addEntry(frmMain& form, const QString& key, const QString& fullName, const QString& image) {
    // The list's own refusal of an unknown picture covers only named pictures.
    if (!form.ImageListMy.contains(image))
        throw platform::forms::FormsError(platform::forms::errors::kElementNotFound,
                                          "Element not found");
    QString dotted = fullName;
    form.ImageCombo1->addKeyedItem(key, UNCtoDOTConversion::ConvertUNCtoDOT(dotted), image);
}

}  // namespace

void AddHistory(frmMain& form, QString& NewKey, QString& NewName, QString& NewImage, QString&) {
    if (errorNumberOf([&] { addEntry(form, NewKey, NewName, NewImage); }) != 0) return;
    resumeNext([&] {
        form.writeSettings(
            [&] { RegistrySettings::saveSetting(form, kHistory, NewName + ";" + NewImage, ""); });
    });
}

void LoadHistory(frmMain& form) {
    for (const auto& [stored, unused] : RegistrySettings::allSettings(form, kHistory)) {
        // The image key follows the last ";", so a name that holds one keeps it.
        const qsizetype separator = stored.lastIndexOf(u';');
        if (separator < 0) continue;
        const QString fullName = stored.left(separator);
        // Named explicitly: clang 14 cannot capture a structured binding.
        resumeNext([&, &stored = stored] {
            addEntry(form, fullName, fullName, stored.mid(separator + 1));
        });
    }
}

void PurgeHistory(frmMain& form) {
    resumeNext([&] {
        // Emptying the list leaves what is typed in the box.
        const QString typed = form.ImageCombo1->currentText();
        form.ImageCombo1->clear();
        form.ImageCombo1->setEditText(typed);
    });
    resumeNext(
        [&] { form.writeSettings([&] { RegistrySettings::deleteSection(form, kHistory); }); });
}

void frmMain::cmdPurgeH_Click() {
    PurgeHistory(*this);
}

void frmMain::ImageCombo1_GotFocus() {
    ImageCombo1->lineEdit()->setSelection(0, static_cast<int>(ImageCombo1->currentText().size()));
}

void frmMain::ImageCombo1_Click() {
    historyFlag = true;
    treeFlag = false;
    resultListFlag = false;
    Command1->setEnabled(true);
    showDefaultActionCaption();
}

void frmMain::ImageCombo1_KeyPress(int KeyAscii) {
    setStatusText("");
    historyFlag = false;
    treeFlag = false;
    resultListFlag = false;
    if (KeyAscii == 13) {
        cmdRC_Click();
        return;
    }
    cmdRC->setText("Search");
    Command1->setEnabled(false);
}

bool frmMain::eventFilter(QObject* watched, QEvent* e) {
    // The box has the focus and hands keys on to its text field itself, so
    // its events are watched on the box.
    if (ImageCombo1 && watched == ImageCombo1) {
        if (e->type() == QEvent::FocusIn) {
            // After the click that gave the focus has placed the cursor.
            QTimer::singleShot(0, this, [this] { ImageCombo1_GotFocus(); });
        } else if (e->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(e);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // Enter runs the button and goes no further: the box would
                // otherwise take a typed text that equals an entry for a choice.
                ImageCombo1_KeyPress(13);
                return true;
            }
            // Tab moves the focus on; it is no key for the box.
            const bool navigation = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
            if (!navigation && !key->text().isEmpty())
                ImageCombo1_KeyPress(key->text().at(0).unicode());
        }
    }
    return QWidget::eventFilter(watched, e);
}

}  // namespace tvn
