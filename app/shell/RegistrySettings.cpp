// Loading and saving the settings of the tree, and restoring the anchor.
// The load stops at the first failing step of the window's own settings (the
// caller ends start-up there) and skips what fails from the history on,
// unless the store itself cannot be read. The save is one write to the store
// that ignores each failing value; a store that cannot be written is reported.
#include "app/shell/RegistrySettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "app/actions/ActionCatalogue.h"
#include "app/browser/treeExp.h"
#include "app/shell/NameHistory.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mousegrip.h"
#include "platform/forms/twips.h"
#include "platform/registry/settings.h"
#include "platform/registry/store.h"

namespace tvn::RegistrySettings {

using platform::forms::KeyedList;
using platform::forms::Twips;

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kHistory = QStringLiteral("History");
// The attribute lists: element 0 for users, 1 for workstations.
const QString kAttributeSections[2] = {QStringLiteral("KTR User"),
                                       QStringLiteral("KTR Workstation")};

// Measures beyond this many twips were not written by a window.
constexpr double kMeasureLimit = 1e6;

// Numbers are stored as plain decimal text with a "." whatever the locale;
// whole numbers without a fraction.
QString numberText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

double measure(frmMain& form, const char* key, double defaultValue, double minimum) {
    return storedMeasure(setting(form, kSettings, key, numberText(defaultValue)), defaultValue,
                         minimum);
}

int zeroOrOne(frmMain& form, const char* key, int defaultValue) {
    return storedZeroOrOne(setting(form, kSettings, key, QString::number(defaultValue)),
                           defaultValue);
}

// Runs a step of the load that may fail on its own, but not because the
// store could not be read: what was not read would be saved over the stored
// settings at exit, so that stops start-up instead.
template <typename F>
void resumeNextButStore(F&& step) {
    try {
        std::forward<F>(step)();
    } catch (const platform::registry::RegistryError&) {
        throw;
    } catch (...) {
    }
}

template <typename Button, std::size_t N>
int selectedIndex(const std::array<Button*, N>& options) {
    return options[1]->isChecked() ? 1 : 0;
}

void checkStoredAttributes(frmMain& form, int list) {
    KeyedList* items = form.lstKTRInfoSelect[list];
    for (const auto& [key, value] : allSettings(form, kAttributeSections[list])) {
        // Named explicitly: clang 14 cannot capture a structured binding.
        resumeNext([&, &key = key] {
            for (int row = 0; row < items->count(); ++row) {
                if (items->itemAt(row)->text(0) == key) {
                    KeyedList::setChecked(items->itemAt(row), true);
                    return;
                }
            }
        });
    }
}

void saveCheckedAttributes(frmMain& form, int list) {
    KeyedList* items = form.lstKTRInfoSelect[list];
    // A list that was never filled (no layout was read this run) says nothing
    // about the choices: rewriting the section from it would erase them.
    if (items->count() == 0) return;
    resumeNext([&] { deleteSection(form, kAttributeSections[list]); });
    for (int row = 0; row < items->count(); ++row) {
        resumeNext([&] {
            if (KeyedList::isChecked(items->itemAt(row)))
                saveSetting(form, kAttributeSections[list], items->itemAt(row)->text(0), "1");
        });
    }
}

void saveAll(frmMain& form) {
    auto save = [&](const char* key, const QString& value) {
        resumeNext([&] { saveSetting(form, kSettings, key, value); });
    };
    auto saveMeasure = [&](const char* key, auto read) {
        resumeNext([&] { saveSetting(form, kSettings, key, numberText(read())); });
    };

    if (!form.isMinimized()) {
        Twips window(&form);
        saveMeasure("Left", [&] { return window.left(); });
        saveMeasure("Top", [&] { return window.top(); });
        saveMeasure("Height", [&] { return window.height(); });
        saveMeasure("Width", [&] { return window.width(); });
        saveMeasure("SplitV", [&] { return Twips(form.imgSplitterV).left(); });
        saveMeasure("SplitH", [&] { return Twips(form.imgSplitterH).top(); });
        saveMeasure("KTRColumn1", [&] { return form.lvwKTRinfo->columnWidthTwips(1); });
        saveMeasure("KTRColumn2", [&] { return form.lvwKTRinfo->columnWidthTwips(2); });
    }
    save("HB Server", form.cmbServerlist->currentText());
    save("Search for Aliases", form.CheckAlias->isChecked() ? "1" : "0");
    save("Search Subordinates", QString::number(selectedIndex(form.optSubOrdTree)));
    save("Append to Existing DB", QString::number(selectedIndex(form.optDBfile)));
    save("Remote Action", form.defaultAction);
    save("Current Context", form.currentContext);
    save("SearchAnchor", form.searchAnchor);
    save("Inventory Server", form.txtInvServer->text());
    saveCheckedAttributes(form, 0);
    saveCheckedAttributes(form, 1);
}

}  // namespace

double storedMeasure(const QString& text, double defaultValue, double minimum) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < minimum || std::fabs(value) > kMeasureLimit)
        return defaultValue;
    return value;
}

int storedZeroOrOne(const QString& text, int defaultValue) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return defaultValue;
    const long rounded = std::lround(value);
    return rounded == 0 || rounded == 1 ? static_cast<int>(rounded) : defaultValue;
}

QString sectionOf(const frmMain& form, const QString& base) {
    return base + "\\" + form.treeName;
}

QString setting(frmMain& form, const QString& base, const QString& key,
                const QString& defaultValue) {
    return QString::fromStdString(
        form.settingsStore().get(kApplication, sectionOf(form, base).toStdString(),
                                 key.toStdString(), defaultValue.toStdString()));
}

void saveSetting(frmMain& form, const QString& base, const QString& key, const QString& value) {
    form.settingsStore().save(kApplication, sectionOf(form, base).toStdString(), key.toStdString(),
                              value.toStdString());
}

std::vector<std::pair<QString, QString>> allSettings(frmMain& form, const QString& base) {
    std::vector<std::pair<QString, QString>> pairs;
    for (const auto& [key, value] :
         form.settingsStore().section(kApplication, sectionOf(form, base).toStdString()))
        pairs.emplace_back(QString::fromStdString(key), QString::fromStdString(value));
    return pairs;
}

void deleteSection(frmMain& form, const QString& base) {
    form.settingsStore().deleteSection(kApplication, sectionOf(form, base).toStdString());
}

QString storeFailureReason(const platform::registry::RegistryError& error) {
    using Kind = platform::registry::RegistryError::Kind;
    const QString file = QString::fromStdString(platform::registry::Store::defaultPath().string());
    switch (error.kind()) {
        case Kind::Locked:
            return "Settings store " + file + " is in use by another program";
        case Kind::Corrupt:
            return "Settings store: " + file + " is not a valid registry store";
        default:
            return "Settings store: " + QString::fromStdString(error.what());
    }
}

void LoadSettings(frmMain& form) {
    const double left = measure(form, "Left", 1000, -kMeasureLimit);
    const double top = measure(form, "Top", 1000, -kMeasureLimit);
    const double height = measure(form, "Height", 7000, 0);
    const double width = measure(form, "Width", 8000, 0);
    form.placeWindow(left, top, width, height);

    form.SizeControlsV(static_cast<float>(measure(form, "SplitV", 3000, 0)));
    form.SizeControlsH(static_cast<float>(measure(form, "SplitH", 5000, 0)));

    form.lvwKTRinfo->setColumnWidthTwips(1, measure(form, "KTRColumn1", 500, 0));
    form.lvwKTRinfo->setColumnWidthTwips(2, measure(form, "KTRColumn2", 500, 0));

    form.optSubOrdTree[zeroOrOne(form, "Search Subordinates", 0)]->setChecked(true);
    form.CheckAlias->setChecked(zeroOrOne(form, "Search for Aliases", 1) == 1);
    form.optDBfile[zeroOrOne(form, "Append to Existing DB", 1)]->setChecked(true);

    form.searchAnchor = setting(form, kSettings, "SearchAnchor");
    if (form.searchAnchor.isEmpty()) form.txtSearchAnchor->setText(kNoSearchAnchor);
    form.txtInvServer->setText(setting(form, kSettings, "Inventory Server"));

    if (form.consoleNewGeneration) {
        form.defaultAction = setting(form, kSettings, "Remote Action", "RC");
        if (!findAction(form.defaultAction)) form.defaultAction = "RC";
        form.showDefaultActionCaption();
    } else {
        form.defaultAction = "RC";
    }

    resumeNextButStore([&] { LoadHistory(form); });
    resumeNextButStore([&] { checkStoredAttributes(form, 0); });
    resumeNextButStore([&] { checkStoredAttributes(form, 1); });
    resumeNextButStore(
        [&] { form.cmbServerlist->setCurrentText(setting(form, kSettings, "HB Server")); });
}

void SaveSettings(frmMain& form) {
    // One write: a store held by another program costs one wait, not one per
    // value, and the stored settings stay whole.
    form.writeSettings([&] { saveAll(form); });
}

void RestoreAnchor(frmMain& form) {
    if (form.searchAnchor.isEmpty()) return;
    try {
        showSearchAnchor(form);
    } catch (...) {
        if (errorNumber(std::current_exception()) == err::kConnectionLost) throw;
        // The anchor's container was deleted or renamed since the last run:
        // searches start from the current context again, which the tree shows.
        form.searchAnchor.clear();
        form.txtSearchAnchor->setText(kNoSearchAnchor);
        if (QTreeWidgetItem* context = form.TreeViewRC->node(form.currentContext))
            form.TreeViewRC->selectNode(context);
        return;
    }
    form.txtSearchAnchor->setText(form.searchAnchor);
    form.anchorFixed = true;
}

}  // namespace tvn::RegistrySettings
