// The attribute lists and the attribute view: the lists hold the fields of
// the directory's user and workstation layouts (a missing layout leaves its
// list empty), the saved choices come back and are saved again, and the view
// shows one row per value of every checked attribute of the chosen object.
#include <QComboBox>

#include "app/browser/AttributeView.h"
#include "browserfixture.h"
#include "platform/forms/keyedlist.h"

using platform::forms::KeyedList;

namespace {

QStringList texts(const KeyedList* list) {
    QStringList out;
    for (int row = 0; row < list->count(); ++row) out << list->itemAt(row)->text(0);
    return out;
}

QStringList checkedIn(const KeyedList* list) {
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        if (KeyedList::isChecked(list->itemAt(row))) out << list->itemAt(row)->text(0);
    return out;
}

void check(KeyedList* list, const QStringList& fields) {
    for (int row = 0; row < list->count(); ++row)
        KeyedList::setChecked(list->itemAt(row), fields.contains(list->itemAt(row)->text(0)));
}

// The rows of the view as "attribute=value".
QStringList rows(const KeyedList* view) {
    QStringList out;
    for (int row = 0; row < view->count(); ++row)
        out << view->itemAt(row)->text(0) + "=" + view->itemAt(row)->text(1);
    return out;
}

}  // namespace

TEST_F(BrowserTest, TheListsHoldTheFieldsOfTheUserAndWorkstationLayouts) {
    load();
    EXPECT_EQ(texts(form->lstKTRInfoSelect[0]),
              (QStringList{"CN", "Surname", "Title", "Telephone Number", "Description",
                           "Network Address"}));
    EXPECT_EQ(texts(form->lstKTRInfoSelect[1]),
              (QStringList{"CN", "Description", "Operator", "RJ:Network Address"}));
    EXPECT_TRUE(checkedIn(form->lstKTRInfoSelect[0]).isEmpty()) << "a first run shows nothing";
}

TEST_F(BrowserTest, ADirectoryWithoutAWorkstationLayoutStartsWithAnEmptyList) {
    useDirectory(testsupport::dataDir() / "browser" / "no-workstation-layout.ldif");
    store("KTR Workstation\\Small", "Operator", "1");
    ASSERT_EQ(load(), tvn::frmMain::LoadResult::Show);
    EXPECT_TRUE(form->settingsLoaded);
    EXPECT_EQ(texts(form->lstKTRInfoSelect[0]), (QStringList{"CN", "Surname"}));
    EXPECT_EQ(form->lstKTRInfoSelect[1]->count(), 0);
    EXPECT_NE(form->TreeViewRC->node("KTR:\\\\Small\\Only"), nullptr) << "the trees were built";
    form->close();
    EXPECT_EQ(storedSection("KTR Workstation\\Small").size(), 1u)
        << "the choices of a list never filled stay stored";
}

TEST_F(BrowserTest, SavedChoicesAreCheckedAndSavedBackAtExit) {
    store("KTR User\\Corp", "Telephone Number", "1");
    store("KTR User\\Corp", "No Longer In The Schema", "1");
    store("KTR Workstation\\Corp", "RJ:Network Address", "1");
    load();
    EXPECT_EQ(checkedIn(form->lstKTRInfoSelect[0]), QStringList{"Telephone Number"});
    EXPECT_EQ(checkedIn(form->lstKTRInfoSelect[1]), QStringList{"RJ:Network Address"});
    KeyedList::setChecked(form->lstKTRInfoSelect[0]->itemAt(2), true);  // Title
    form->close();
    EXPECT_EQ(storedSection("KTR User\\Corp"),
              (platform::registry::Settings::Pairs{{"Title", "1"}, {"Telephone Number", "1"}}));
    EXPECT_EQ(storedSection("KTR Workstation\\Corp"),
              (platform::registry::Settings::Pairs{{"RJ:Network Address", "1"}}));
}

TEST_F(BrowserTest, EveryValueOfACheckedAttributeIsARowInTheListsOrder) {
    load();
    check(form->lstKTRInfoSelect[0], {"Telephone Number", "Title", "Network Address"});
    tvn::getKTRinfo(*form, key("Acme\\sales\\Voss"));
    EXPECT_EQ(rows(form->lvwKTRinfo),
              (QStringList{"Title=Key Account Manager", "Telephone Number=+49 40 1000-1",
                           "Telephone Number=+49 40 1000-2", "Telephone Number=+49 171 1000",
                           "Network Address=IPX 0000AC10:00C04F6C8C59:4003"}));

    // An attribute without a value is one row with an empty value.
    tvn::getKTRinfo(*form, key("Acme\\sales\\North\\Alder"));
    EXPECT_EQ(rows(form->lvwKTRinfo),
              (QStringList{"Title=Sales Representative", "Telephone Number=", "Network Address="}));
}

TEST_F(BrowserTest, WithNothingCheckedTheViewIsEmpty) {
    load();
    form->lvwKTRinfo->addItem({}, "Title");
    tvn::getKTRinfo(*form, key("Acme\\sales\\Voss"));
    EXPECT_EQ(form->lvwKTRinfo->count(), 0);
}

TEST_F(BrowserTest, AWorkstationShowsTheWorkstationListAndAnAliasTheUserList) {
    load();
    check(form->lstKTRInfoSelect[0], {"CN"});
    check(form->lstKTRInfoSelect[1], {"Description", "RJ:Network Address"});
    tvn::getKTRinfo(*form, key("Acme\\sales\\WS02"));
    EXPECT_EQ(
        rows(form->lvwKTRinfo),
        (QStringList{"Description=Desktop PC", "RJ:Network Address=IPX 0000AC10:00C04F6C8C59:4003",
                     "RJ:Network Address=TCP 10.100.1.2"}));

    tvn::getKTRinfo(*form, key("Acme\\DemoPC"));
    EXPECT_EQ(rows(form->lvwKTRinfo), QStringList{"CN=DemoPC"});
}

TEST_F(BrowserTest, AnObjectThatCannotBeReadLeavesTheViewEmpty) {
    load();
    check(form->lstKTRInfoSelect[0], {"CN"});
    tvn::getKTRinfo(*form, key("Acme\\sales\\Voss"));
    ASSERT_EQ(form->lvwKTRinfo->count(), 1);
    EXPECT_NO_THROW(tvn::getKTRinfo(*form, key("Acme\\Nobody")));
    EXPECT_EQ(form->lvwKTRinfo->count(), 0);
}

TEST_F(BrowserTest, TheLayoutComboShowsOneListAtATime) {
    load();
    form->cmbKTRInfoLayout->setCurrentText("Workstation");
    EXPECT_TRUE(form->lstKTRInfoSelect[0]->isHidden());
    EXPECT_FALSE(form->lstKTRInfoSelect[1]->isHidden());
    form->cmbKTRInfoLayout->setCurrentText("User");
    EXPECT_FALSE(form->lstKTRInfoSelect[0]->isHidden());
    EXPECT_TRUE(form->lstKTRInfoSelect[1]->isHidden());
}

// The directory control hands out strings only; a null value comes from a
// control that stores one, as the fake does.
TEST_F(FormTest, ANullValueGivesARowWithAnEmptyValue) {
    const std::string user = "KTR:\\\\CorpTree\\Acme\\Nulls";
    objects.prepare = [&](fakes::FakeDirectory& d) {
        d.layouts["user"] = {"Phone"};
        d.entries[user] = "User";
        d.values[user]["Phone"] = {platform::automation::Variant("0401"),
                                   platform::automation::Variant::null()};
    };
    load();
    KeyedList::setChecked(form->lstKTRInfoSelect[0]->itemAt(0), true);
    tvn::getKTRinfo(*form, QString::fromStdString(user));
    EXPECT_EQ(rows(form->lvwKTRinfo), (QStringList{"Phone=0401", "Phone="}));
}
