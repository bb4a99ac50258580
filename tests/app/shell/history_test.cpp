// The name history: one entry per object in the list and the store, what the
// next run lists, the purge, trees kept apart, and the name box's own events.
#include <QLineEdit>
#include <QPushButton>

#include "app/shell/NameHistory.h"
#include "formfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"

namespace pa = platform::automation;
using Pairs = platform::registry::Settings::Pairs;

namespace {
const QString kWS042 = "KTR:\\\\CorpTree\\Acme\\Sales\\WS042";
const QString kSmith = "KTR:\\\\CorpTree\\Acme\\Sales\\SmithJ";

void add(tvn::frmMain& form, QString key, QString image) {
    QString name = key, spare = image;
    tvn::AddHistory(form, key, name, image, spare);
}

QStringList listed(const platform::forms::ImageCombo* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->keyAt(i) + " | " + box->itemText(i) + " | " + box->imageAt(i);
    return items;
}
}  // namespace

TEST_F(FormTest, AnObjectIsRememberedOnceInTheListAndInTheStore) {
    load();
    add(*form, kWS042, "Workstation");
    add(*form, kWS042, "Workstation");
    add(*form, kWS042.toLower(), "Workstation");
    add(*form, kSmith, "Printer");
    EXPECT_EQ(listed(form->ImageCombo1), QStringList{kWS042 + " | WS042.Sales.Acme | Workstation"});
    EXPECT_EQ(storedSection("History\\CorpTree"),
              (Pairs{{kWS042.toStdString() + ";Workstation", ""}}));
}

TEST_F(FormTest, AConsoleStartedFromASearchHitIsRemembered) {
    loadAndShow();
    form->cmbServerlist->setCurrentText("FS1");
    directory(1).results = pa::Variant::fromStrings({kWS042.toStdString()});
    directory(4).entries[kWS042.toStdString()] = "Workstation";
    form->ImageCombo1->setEditText("WS042");
    form->cmdRC_Click();
    ASSERT_EQ(rec.programs->started.size(), 1);
    EXPECT_EQ(listed(form->ImageCombo1), QStringList{kWS042 + " | WS042.Sales.Acme | Workstation"});
    EXPECT_EQ(form->ImageCombo1->currentText(), "WS042") << "the typed text stays";
}

TEST_F(FormTest, TheNextRunListsWhatItCanShowAndLeavesTheRestStored) {
    const std::string entries[] = {
        kWS042.toStdString() + ";Workstation",    "no separator here",
        "KTR:\\\\CorpTree\\Acme\\LASER1;Printer", kWS042.toStdString() + ";User",
        "KTR:\\\\CorpTree\\A;B\\U1;User",         kSmith.toStdString() + ";User",
    };
    for (const auto& entry : entries) store("History\\CorpTree", entry, "");
    load();
    EXPECT_EQ(listed(form->ImageCombo1), (QStringList{kWS042 + " | WS042.Sales.Acme | Workstation",
                                                      "KTR:\\\\CorpTree\\A;B\\U1 | U1.A;B | User",
                                                      kSmith + " | SmithJ.Sales.Acme | User"}));
    EXPECT_EQ(storedSection("History\\CorpTree").size(), 6u);
    EXPECT_EQ(form->ImageCombo1->currentText(), "") << "loading chooses no entry";
}

TEST_F(FormTest, PurgeEmptiesTheListAndTheStore) {
    store("History\\CorpTree", kSmith.toStdString() + ";User", "");
    store("History\\LabTree", kSmith.toStdString() + ";User", "");
    load();
    add(*form, kWS042, "Workstation");
    form->ImageCombo1->setEditText("Smi");
    form->cmdPurgeH->click();
    EXPECT_EQ(form->ImageCombo1->count(), 0);
    EXPECT_EQ(form->ImageCombo1->currentText(), "Smi");
    EXPECT_FALSE(
        platform::registry::Store().keyExists(std::string(kProgramKey) + "\\History\\CorpTree"));
    EXPECT_EQ(storedSection("History\\LabTree").size(), 1u) << "other trees keep theirs";
    form->cmdPurgeH_Click();  // an absent history is purged without complaint

    restart();
    EXPECT_EQ(form->ImageCombo1->count(), 0);
}

TEST_F(FormTest, EachTreeListsItsOwnHistory) {
    store("History\\CorpTree", kWS042.toStdString() + ";Workstation", "");
    store("History\\LabTree", "KTR:\\\\LabTree\\Lab\\Bench\\LAB02;Workstation", "");
    load("/tree=KTR:\\\\LabTree");
    EXPECT_EQ(listed(form->ImageCombo1),
              QStringList{"KTR:\\\\LabTree\\Lab\\Bench\\LAB02 | LAB02.Bench.Lab | Workstation"});
    add(*form, "KTR:\\\\LabTree\\Lab\\Test\\LABTEST02", "Workstation");
    EXPECT_EQ(storedSection("History\\CorpTree").size(), 1u);
    EXPECT_EQ(storedSection("History\\LabTree").size(), 2u);
}

class NameBoxTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        store("Settings\\CorpTree", "Remote Action", "CH");
        newerConsoles();
        loadAndShow();
        form->cmbServerlist->setCurrentText("FS1");
        add(*form, kWS042, "Workstation");
        add(*form, kSmith, "User");
    }
    QLineEdit* edit() const { return form->ImageCombo1->lineEdit(); }
    // Keys go to the box, which has the focus and hands them on.
    QWidget* box() const { return form->ImageCombo1; }
    void choose(int index) {
        form->ImageCombo1->setCurrentIndex(index);
        emit form->ImageCombo1->activated(index);
    }
};

TEST_F(NameBoxTest, TypingAsksForASearchAndChoosingAnEntryRestoresTheAction) {
    ASSERT_EQ(form->cmdRC->text(), "Chat");
    form->setStatusText("Context: KTR:\\\\CorpTree");
    form->treeFlag = true;
    QTest::keyClick(box(), Qt::Key_W);
    EXPECT_EQ(edit()->text(), "w") << "the key goes on into the box";
    EXPECT_EQ(form->cmdRC->text(), "Search");
    EXPECT_FALSE(form->Command1->isEnabled());
    EXPECT_EQ(form->statusText(), "");
    EXPECT_FALSE(form->treeFlag);
    EXPECT_FALSE(form->historyFlag);
    EXPECT_EQ(form->resultListFlag, false);

    form->resultListFlag = true;
    choose(0);
    EXPECT_TRUE(form->historyFlag);
    EXPECT_FALSE(form->treeFlag);
    EXPECT_EQ(form->resultListFlag, false);
    EXPECT_TRUE(form->Command1->isEnabled());
    EXPECT_EQ(form->cmdRC->text(), "Chat");

    QTest::keyClick(box(), Qt::Key_Backspace);
    EXPECT_FALSE(form->historyFlag) << "any key ends the choice";
    EXPECT_EQ(form->cmdRC->text(), "Search");
}

TEST_F(NameBoxTest, EnterRunsTheMainButtonAtOnce) {
    QTest::keyClicks(box(), "Smi");
    QTest::keyClick(box(), Qt::Key_Return);
    ASSERT_EQ(directory(1).searches.size(), 1u);
    EXPECT_EQ(directory(1).searches[0].pattern, "Smi*");
    EXPECT_EQ(form->cmdRC->text(), "Search") << "the caption is left as it was";
    EXPECT_EQ(edit()->text(), "Smi");

    choose(1);
    QTest::keyClick(box(), Qt::Key_Enter);
    EXPECT_FALSE(form->historyFlag) << "Enter clears the choice before the button runs";
    EXPECT_EQ(directory(1).searches.size(), 2u) << "so the entry's text is searched";
}

TEST_F(NameBoxTest, TheBoxSelectsItsWholeTextWhenItGetsTheFocus) {
    edit()->setText("WS042");
    edit()->setCursorPosition(2);
    form->cmdRC->setFocus();
    QTest::mouseClick(edit(), Qt::LeftButton, {}, QPoint(4, edit()->height() / 2));
    EXPECT_TRUE(eventually([&] { return edit()->selectedText() == "WS042"; }))
        << edit()->selectedText().toStdString();
    EXPECT_EQ(edit()->selectionStart(), 0);
}

TEST_F(NameBoxTest, TheButtonStartsTheDefaultActionOnAChosenWorkstationWithoutSearching) {
    directory(4).entries[kWS042.toStdString()] = "Workstation";  // KDDirWSAddress
    choose(0);
    form->cmdRC_Click();
    EXPECT_TRUE(directory(1).searches.empty());
    ASSERT_EQ(rec.programs->started.size(), 1);
    EXPECT_EQ(rec.programs->started[0],
              "\\\\FS1\\sys\\public\\harbex\\drevmin.exe -w\"WS042.Sales.Acme\" -n\"CorpTree\" "
              "-c\"Chat\"");
    EXPECT_EQ(form->chosenKey, kWS042);
    EXPECT_EQ(form->chosenImage, "Workstation");
    EXPECT_EQ(form->ImageCombo1->count(), 2) << "the entry is not added again";
}
