// The settings of a tree: first-run defaults, what the save writes and the
// next run shows, trees kept apart, the minimized close, the default action
// by console generation, the attribute lists, values the save never writes,
// and the search anchor.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/shell/RegistrySettings.h"
#include "formfixture.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mousegrip.h"
#include "platform/forms/twips.h"
#include "testsupport/testsupport.h"

using platform::forms::KeyedList;
using platform::forms::kTwipsPerPixel;
using platform::forms::Twips;
using tvn::frmMain;
using Pairs = platform::registry::Settings::Pairs;

// Twips are whole pixels on screen: a measure may be off by one pixel.
#define EXPECT_TWIPS(actual, expected) EXPECT_NEAR((actual), (expected), kTwipsPerPixel)

namespace {

double storedNumber(const std::string& key, const std::string& tree = "CorpTree") {
    const auto value = FormTest::stored("Settings\\" + tree, key);
    return value ? QString::fromStdString(*value).toDouble() : -1;
}

void fillAttributeLists(frmMain& form) {
    for (const char* name : {"Surname", "Telephone Number", "Title"})
        form.lstKTRInfoSelect[0]->addItem(QString("user:") + name, name);
    for (const char* name : {"RJ:Network Address", "Operator"})
        form.lstKTRInfoSelect[1]->addItem(QString("ws:") + name, name);
}

QStringList checkedIn(const KeyedList* list) {
    QStringList names;
    for (int row = 0; row < list->count(); ++row)
        if (KeyedList::isChecked(list->itemAt(row))) names << list->itemAt(row)->text(0);
    return names;
}

}  // namespace

TEST_F(FormTest, AFirstRunShowsTheDefaultsAndSavesThemAtExit) {
    loadAndShow();
    Twips window(form.get());
    EXPECT_TRUE(eventually([&] { return std::abs(window.height() - 7000) <= kTwipsPerPixel; }))
        << "the frame counts once the window is shown: " << window.height();
    EXPECT_TWIPS(window.left(), 1000);
    EXPECT_TWIPS(window.top(), 1000);
    EXPECT_TWIPS(window.width(), 8000);
    EXPECT_TWIPS(window.height(), 7000);
    EXPECT_TWIPS(Twips(form->imgSplitterV).left(), 3000);
    EXPECT_TWIPS(Twips(form->imgSplitterH).top(), 5000);
    EXPECT_TWIPS(form->lvwKTRinfo->columnWidthTwips(1), 500);
    EXPECT_TWIPS(form->lvwKTRinfo->columnWidthTwips(2), 500);
    EXPECT_TRUE(form->optSubOrdTree[0]->isChecked());
    EXPECT_TRUE(form->CheckAlias->isChecked());
    EXPECT_TRUE(form->optDBfile[1]->isChecked());
    EXPECT_EQ(form->txtSearchAnchor->text(), "the current browser's context.");
    EXPECT_FALSE(form->anchorFixed);
    EXPECT_EQ(form->defaultAction, "RC");
    EXPECT_EQ(form->cmbServerlist->currentText(), "") << "no server chosen yet";
    EXPECT_EQ(form->currentContext, "KTR:\\\\CorpTree") << "the root of the control's tree";

    form->close();
    EXPECT_TWIPS(storedNumber("Left"), 1000);
    EXPECT_TWIPS(storedNumber("Height"), 7000);
    EXPECT_TWIPS(storedNumber("SplitV"), 3000);
    EXPECT_TWIPS(storedNumber("KTRColumn2"), 500);
    EXPECT_EQ(stored("Settings\\CorpTree", "Search Subordinates"), "0");
    EXPECT_EQ(stored("Settings\\CorpTree", "Search for Aliases"), "1");
    EXPECT_EQ(stored("Settings\\CorpTree", "Append to Existing DB"), "1");
    EXPECT_EQ(stored("Settings\\CorpTree", "Remote Action"), "RC");
    EXPECT_EQ(stored("Settings\\CorpTree", "Current Context"), "KTR:\\\\CorpTree");
    EXPECT_EQ(stored("Settings\\CorpTree", "SearchAnchor"), "");
    EXPECT_EQ(stored("Settings\\CorpTree", "Inventory Server"), "");
    EXPECT_EQ(stored("Settings\\CorpTree", "HB Server"), "");
    EXPECT_EQ(storedSection("Settings\\CorpTree").size(), 16u);
    EXPECT_TRUE(storedSection("KTR User\\CorpTree").empty());
    EXPECT_TRUE(storedSection("History\\CorpTree").empty());
}

TEST_F(FormTest, ChoicesSurviveARestart) {
    withContainers();
    loadAndShow();
    form->optSubOrdTree[1]->setChecked(true);
    form->optDBfile[0]->setChecked(true);
    form->CheckAlias->setChecked(false);
    form->txtInvServer->setText("10.0.0.5");
    form->cmbServerlist->setCurrentText("FS2");
    form->currentContext = "KTR:\\\\CorpTree\\Acme\\Sales";
    Twips(form.get()).move(1500, 1200, 9000, 7500);
    ASSERT_TRUE(eventually([&] { return Twips(form.get()).width() == 9000; }));
    form->SizeControlsV(3600);

    restart();
    EXPECT_TRUE(form->optSubOrdTree[1]->isChecked());
    EXPECT_TRUE(form->optDBfile[0]->isChecked());
    EXPECT_FALSE(form->CheckAlias->isChecked());
    EXPECT_EQ(form->txtInvServer->text(), "10.0.0.5");
    EXPECT_EQ(form->cmbServerlist->currentText(), "FS2");
    EXPECT_EQ(form->currentContext, "KTR:\\\\CorpTree\\Acme\\Sales");
    EXPECT_TWIPS(Twips(form.get()).left(), 1500);
    EXPECT_TWIPS(Twips(form.get()).width(), 9000);
    EXPECT_TWIPS(Twips(form->imgSplitterV).left(), 3600);
}

TEST_F(FormTest, EachTreeKeepsItsOwnSettings) {
    load("/tree=KTR:\\\\TreeA");
    form->optSubOrdTree[1]->setChecked(true);
    form->txtInvServer->setText("inventory-a");
    restart("/tree=KTR:\\\\TreeB");
    EXPECT_TRUE(form->optSubOrdTree[0]->isChecked()) << "TreeB starts from the defaults";
    EXPECT_EQ(form->txtInvServer->text(), "");
    form->txtInvServer->setText("inventory-b");
    form->close();

    EXPECT_EQ(stored("Settings\\TreeA", "Search Subordinates"), "1");
    EXPECT_EQ(stored("Settings\\TreeA", "Inventory Server"), "inventory-a");
    EXPECT_EQ(stored("Settings\\TreeB", "Search Subordinates"), "0");
    EXPECT_EQ(stored("Settings\\TreeB", "Inventory Server"), "inventory-b");
    restart("/tree=KTR:\\\\TreeA");
    EXPECT_EQ(form->txtInvServer->text(), "inventory-a");
}

TEST_F(FormTest, ClosingWhileMinimizedKeepsTheStoredMeasures) {
    const std::pair<const char*, const char*> measures[] = {
        {"Left", "1500"},   {"Top", "900"},     {"Height", "7500"},     {"Width", "9000"},
        {"SplitV", "3600"}, {"SplitH", "4500"}, {"KTRColumn1", "1200"}, {"KTRColumn2", "2400"}};
    for (const auto& [key, value] : measures) store("Settings\\CorpTree", key, value);
    loadAndShow();
    form->optSubOrdTree[1]->setChecked(true);
    Twips(form.get()).move(3000, 3000, 6000, 5000);
    form->showMinimized();
    ASSERT_TRUE(eventually([&] { return form->isMinimized(); }));
    form->close();

    for (const auto& [key, value] : measures)
        EXPECT_EQ(stored("Settings\\CorpTree", key), value) << key;
    EXPECT_EQ(stored("Settings\\CorpTree", "Search Subordinates"), "1") << "the rest is saved";
}

TEST_F(FormTest, TheStoredDefaultActionCountsOnlyOnTheNewerConsoles) {
    store("Settings\\CorpTree", "Remote Action", "RF");
    newerConsoles();
    load();
    EXPECT_EQ(form->defaultAction, "RF");
    EXPECT_EQ(form->cmdRC->text(), "File Transfer");

    form->close();  // before the store is changed behind its back
    store("Settings\\CorpTree", "Remote Action", "rf");
    restart();
    EXPECT_EQ(form->defaultAction, "RC") << "codes compare exactly";
    EXPECT_EQ(form->cmdRC->text(), "Remote Control");

    form->close();
    store("Settings\\CorpTree", "Remote Action", "RF");
    objects.prepare = nullptr;  // the older consoles from here on
    restart();
    EXPECT_EQ(form->defaultAction, "RC");
    EXPECT_EQ(form->cmdRC->text(), "Remote Control");
    form->close();
    EXPECT_EQ(stored("Settings\\CorpTree", "Remote Action"), "RC");
}

TEST_F(FormTest, ValuesTheSaveNeverWritesReadAsTheirDefaults) {
    const std::pair<const char*, const char*> damaged[] = {{"Left", "left edge"},
                                                           {"Top", ""},
                                                           {"Width", "-4000"},
                                                           {"Height", "1e300"},
                                                           {"SplitV", "nan"},
                                                           {"KTRColumn1", "-1"},
                                                           {"Search Subordinates", "2"},
                                                           {"Search for Aliases", "7"},
                                                           {"Append to Existing DB", "x"}};
    for (const auto& [key, value] : damaged) store("Settings\\CorpTree", key, value);
    ASSERT_EQ(load(), frmMain::LoadResult::Show);
    ASSERT_TRUE(form->settingsLoaded) << "a damaged value does not stop start-up";
    Twips window(form.get());
    EXPECT_TWIPS(window.left(), 1000);
    EXPECT_TWIPS(window.top(), 1000);
    EXPECT_TWIPS(window.width(), 8000);
    EXPECT_TWIPS(window.height(), 7000);
    EXPECT_TWIPS(Twips(form->imgSplitterV).left(), 3000);
    EXPECT_TWIPS(form->lvwKTRinfo->columnWidthTwips(1), 500);
    EXPECT_TRUE(form->optSubOrdTree[0]->isChecked());
    EXPECT_TRUE(form->CheckAlias->isChecked());
    EXPECT_TRUE(form->optDBfile[1]->isChecked());

    // Numbers written by hand are taken, rounded where an index belongs.
    form->close();
    store("Settings\\CorpTree", "Search Subordinates", "0.6");
    store("Settings\\CorpTree", "Append to Existing DB", " 0 ");
    store("Settings\\CorpTree", "Width", "8505.4");
    restart();
    EXPECT_TRUE(form->optSubOrdTree[1]->isChecked());
    EXPECT_TRUE(form->optDBfile[0]->isChecked());
    EXPECT_TWIPS(Twips(form.get()).width(), 8505);
}

TEST_F(FormTest, CheckedAttributesAreStoredByNameAndAbsentWhenNoneIsChecked) {
    store("KTR User\\CorpTree", "Title", "1");
    store("KTR User\\CorpTree", "Gone From The Schema", "1");
    store("KTR Workstation\\CorpTree", "Operator", "1");
    load();
    // The layouts fill the lists before the settings are loaded.
    fillAttributeLists(*form);
    tvn::RegistrySettings::LoadSettings(*form);
    EXPECT_EQ(checkedIn(form->lstKTRInfoSelect[0]), QStringList{"Title"});
    EXPECT_EQ(checkedIn(form->lstKTRInfoSelect[1]), QStringList{"Operator"});

    KeyedList::setChecked(form->lstKTRInfoSelect[0]->itemAt(0), true);
    tvn::RegistrySettings::SaveSettings(*form);
    EXPECT_EQ(storedSection("KTR User\\CorpTree"), (Pairs{{"Surname", "1"}, {"Title", "1"}}))
        << "a name no longer in the list disappears";

    for (int row = 0; row < 3; ++row)
        KeyedList::setChecked(form->lstKTRInfoSelect[0]->itemAt(row), false);
    tvn::RegistrySettings::SaveSettings(*form);
    platform::registry::Store store;
    EXPECT_FALSE(store.keyExists(std::string(kProgramKey) + "\\KTR User\\CorpTree"));
    EXPECT_EQ(storedSection("KTR Workstation\\CorpTree"), (Pairs{{"Operator", "1"}}));
}

TEST_F(FormTest, AnAttributeListThatWasNeverFilledKeepsItsStoredChoices) {
    store("KTR User\\CorpTree", "Title", "1");
    store("KTR Workstation\\CorpTree", "Operator", "1");
    load();
    for (auto* list : form->lstKTRInfoSelect) list->clearItems();
    tvn::RegistrySettings::SaveSettings(*form);
    EXPECT_EQ(storedSection("KTR User\\CorpTree"), (Pairs{{"Title", "1"}}));
    EXPECT_EQ(storedSection("KTR Workstation\\CorpTree"), (Pairs{{"Operator", "1"}}));
}

TEST_F(FormTest, TheStoredAnchorIsShownAndMarkedOnceTheTreesAreBuilt) {
    const QString anchor = "KTR:\\\\CorpTree\\Acme\\Sales";
    store("Settings\\CorpTree", "SearchAnchor", anchor.toStdString());
    withContainers();
    load();
    EXPECT_EQ(form->searchAnchor, anchor);
    EXPECT_EQ(form->txtSearchAnchor->text(), anchor);
    EXPECT_TRUE(form->anchorFixed);
    QTreeWidgetItem* node = form->TreeViewRC->node(anchor);
    ASSERT_NE(node, nullptr) << "its container was opened";
    EXPECT_TRUE(node->font(0).bold());
    EXPECT_EQ(node->background(0).color(), QColor(0xFF, 0xE0, 0xC0));

    form->close();
    EXPECT_EQ(stored("Settings\\CorpTree", "SearchAnchor"), anchor.toStdString());
}

TEST_F(FormTest, AStoreThatCannotBeReadStopsStartupAndIsLeftAlone) {
    const auto file = testsupport::freshDir("store") / "registry.db";
    testsupport::writeFile(file, "not a registry store");
    testsupport::ScopedEnv db("REGISTRY_DB", file.string());
    ASSERT_EQ(load(), frmMain::LoadResult::Show);
    EXPECT_FALSE(form->settingsLoaded);
    EXPECT_TRUE(rec.messages->boxes.empty());
    form->close();
    EXPECT_EQ(testsupport::readFile(file), "not a registry store");
}
