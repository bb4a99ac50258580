// The name search: what the main button asks the directory for, and what the
// answer does (several hits listed, one workstation acted on at once, one
// user resolved, the directory's failures).
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include "formfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/services.h"

namespace pa = platform::automation;
namespace pointer = platform::forms::pointer;

class SearchTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        loadAndShow();
        rec.pointer->history.clear();  // the trees' levels at start-up
        form->cmbServerlist->setCurrentText("FS1");
        form->currentContext = "KTR:\\\\CorpTree\\Acme";
    }
    fakes::FakeDirectory& user() { return directory(1); }     // KDDirUser
    fakes::FakeDirectory& address() { return directory(4); }  // KDDirWSAddress
    void search(const QString& typed) {
        form->ImageCombo1->setEditText(typed);
        form->cmdRC_Click();
    }
    static pa::Variant hits(const std::vector<std::string>& names) {
        return pa::Variant::fromStrings(names);
    }
};

TEST_F(SearchTest, SearchesThePrefixForUsersWorkstationsAndAliasesBelowTheContext) {
    search("smi");
    ASSERT_EQ(user().searches.size(), 1u);
    const auto& s = user().searches[0];
    EXPECT_EQ(s.pattern, "smi*");
    EXPECT_EQ(s.classes, "User, Alias, Workstation");
    EXPECT_EQ(s.scope, 2);
    EXPECT_EQ(s.context, "KTR:\\\\CorpTree\\Acme");
    EXPECT_EQ(s.mode, 1);

    form->CheckAlias->setChecked(false);
    form->optSubOrdTree[1]->setChecked(true);
    search("WS0");
    ASSERT_EQ(user().searches.size(), 2u);
    EXPECT_EQ(user().searches[1].classes, "User, Workstation");
    EXPECT_EQ(user().searches[1].scope, 1);
}

TEST_F(SearchTest, AFixedAnchorReplacesTheCurrentContext) {
    form->anchorFixed = true;
    form->searchAnchor = "KTR:\\\\CorpTree\\Acme\\IT";
    search("Ok");
    ASSERT_EQ(user().searches.size(), 1u);
    EXPECT_EQ(user().searches[0].context, "KTR:\\\\CorpTree\\Acme\\IT");
    EXPECT_EQ(form->currentContext, "KTR:\\\\CorpTree\\Acme\\IT") << "it stays overwritten";
}

TEST_F(SearchTest, BlankEntriesStartNoSearch) {
    for (const char* typed : {"", " ", "   "}) search(typed);
    EXPECT_TRUE(user().searches.empty());
    EXPECT_TRUE(rec.pointer->history.empty());
}

TEST_F(SearchTest, SeveralHitsAreListedInOrderWithTheUserIcon) {
    form->lstMultiple->addItem("KTR:\\\\CorpTree\\Old", "Old", "User");
    user().results =
        hits({"KTR:\\\\CorpTree\\Acme\\IT\\NovakM", "KTR:\\\\CorpTree\\DE\\Nordwerk\\NovakM"});
    search("NovakM");
    ASSERT_EQ(form->lstMultiple->count(), 2);
    EXPECT_EQ(form->lstMultiple->keyAt(0), "KTR:\\\\CorpTree\\Acme\\IT\\NovakM");
    EXPECT_EQ(form->lstMultiple->textAt(0), "NovakM.IT.Acme");
    EXPECT_EQ(form->lstMultiple->textAt(1), "NovakM.Nordwerk.DE");
    for (int i = 0; i < 2; ++i) EXPECT_EQ(form->lstMultiple->smallIconAt(i), "User");
    EXPECT_EQ(form->lstMultiple->columnHeader(1), "Multiple users found ...");
    EXPECT_EQ(form->statusText(), "");
    EXPECT_EQ(rec.pointer->history, (std::vector<int>{pointer::kHourglass, pointer::kDefault}));
    EXPECT_TRUE(rec.programs->started.isEmpty());
}

// The list reads its rows from the answer when they are shown; it keeps the
// answer itself, not the caller's variable that held it.
TEST_F(SearchTest, TheListKeepsHitsPassedByReferenceAfterTheCallerDropsThem) {
    {
        pa::Variant answer =
            hits({"KTR:\\\\CorpTree\\Acme\\IT\\NovakM", "KTR:\\\\CorpTree\\Acme\\IT\\NovakJ"});
        form->KDDirUser_SearchCompleted(pa::Variant::byRef(answer));
        answer = pa::Variant();
    }
    ASSERT_EQ(form->lstMultiple->count(), 2);
    EXPECT_EQ(form->lstMultiple->keyAt(1), "KTR:\\\\CorpTree\\Acme\\IT\\NovakJ");
    EXPECT_EQ(form->lstMultiple->textAt(1), "NovakJ.IT.Acme");
    EXPECT_EQ(form->lstMultiple->row("ktr:\\\\corptree\\acme\\it\\novakm"), 0);
}

TEST_F(SearchTest, ASingleWorkstationStartsTheDefaultActionAtOnce) {
    const std::string ws = "KTR:\\\\CorpTree\\Acme\\Sales\\WS042";
    user().results = hits({ws});
    address().entries[ws] = "Workstation";
    search("WS042");
    ASSERT_EQ(rec.programs->started.size(), 1);
    EXPECT_EQ(rec.programs->started[0],
              "\\\\FS1\\sys\\public\\win32\\vorplin.exe -w\"WS042.Sales.Acme\" -n\"CorpTree\" "
              "-c\"Remote Control\"");
    EXPECT_EQ(form->chosenKey, QString::fromStdString(ws));
    EXPECT_EQ(form->chosenImage, "Workstation");
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);
}

TEST_F(SearchTest, ASingleWorkstationOnAServerWithoutConsolesSendsToTheSettings) {
    const std::string ws = "KTR:\\\\CorpTree\\Acme\\Sales\\WS042";
    user().results = hits({ws});
    address().entries[ws] = "Workstation";
    rec.programs->failWith = 76;
    search("WS042");
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_TRUE(rec.messages->boxes[0].text.startsWith("Could not find files needed"));
    EXPECT_EQ(form->mintCurFrame, 2);
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);
}

TEST_F(SearchTest, ASingleUserIsResolvedNotStarted) {
    const std::string user1 = "KTR:\\\\CorpTree\\Acme\\Sales\\VossbeckT";
    user().results = hits({user1});
    address().entries[user1] = "User";
    address().values[user1]["Network Address"] = {pa::Variant(std::string())};
    search("Vossbeck");
    EXPECT_TRUE(rec.programs->started.isEmpty());
    ASSERT_EQ(form->lstMultiple->count(), 1);
    EXPECT_EQ(form->lstMultiple->textAt(0), "User not logged in!");
    EXPECT_EQ(form->statusText(), "User not logged in!") << "the search is over";
    EXPECT_EQ(form->chosenImage, "User");
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);
}

TEST_F(SearchTest, ASingleHitThatCannotBeOpened) {
    user().results = hits({"KTR:\\\\CorpTree\\Acme\\Gone"});
    search("Gone");
    EXPECT_EQ(form->statusText(), "User/workstation object not found!");
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);

    address().openError = 600;
    search("Gone");
    EXPECT_EQ(
        form->statusText(),
        "Could not read KTR:\\\\CorpTree\\Acme\\Gone: the connection to the directory is lost");
    EXPECT_EQ(rec.errors->lines.value(0), form->statusText());
    EXPECT_EQ(form->lstMultiple->count(), 0);
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_TRUE(rec.programs->started.isEmpty());
}

TEST_F(SearchTest, NoHitsLeaveAnEmptyListAndAStatusBarThatSaySo) {
    for (const pa::Variant& none : {pa::Variant(), hits({})}) {
        // Hits of an earlier search, one of them chosen.
        user().results =
            hits({"KTR:\\\\CorpTree\\Acme\\MilnerJ", "KTR:\\\\CorpTree\\Acme\\MillerA"});
        search("Mil");
        form->lstMultiple->setCurrentRow(0);
        form->lstMultiple_Click();
        ASSERT_EQ(form->resultListFlag, true);

        user().results = none;
        form->ImageCombo1_KeyPress('z');
        search("zzz");
        EXPECT_EQ(form->statusText(), "No match for zzz");
        EXPECT_EQ(form->MousePointer(), pointer::kDefault);
        EXPECT_EQ(form->lstMultiple->count(), 0);
        EXPECT_EQ(form->lstMultiple->columnHeader(1), "No match for zzz");

        // Nothing of the earlier hits is left to act on.
        form->lstMultiple_DblClick();
        form->lstMultiple_KeyPress(13);
        EXPECT_EQ(form->statusText(), "No match for zzz");
        EXPECT_TRUE(rec.programs->started.isEmpty());
    }
}

TEST_F(SearchTest, ASelectedContainerInTheTreeMakesTheButtonDoNothing) {
    form->TreeViewRC->addNode("", "KTR:\\\\CorpTree\\Acme", "Acme", "Organization")
        ->setSelected(true);
    form->treeFlag = true;
    search("smi");
    EXPECT_TRUE(user().searches.empty());
}

TEST(SearchWithoutDirectory, TheHourglassDoesNotStayWhenTheSearchCannotStart) {
    fakes::Recorders rec;
    fakes::FakeObjects objects;
    objects.failAt = 0;
    objects.failWith = 429;
    tvn::frmMain form(rec.services(), objects.factory());
    form.Form_Load();
    form.ImageCombo1->setEditText("smi");
    form.cmdRC_Click();
    EXPECT_EQ(form.MousePointer(), pointer::kDefault);
}
