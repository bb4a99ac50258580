// A name search that finds one user lists the workstations the user is
// logged in from, one item per address, looked up in the workstation
// database by whole addresses; the file server node, other kinds of
// address, a user logged in nowhere, an alias, a missing database and one
// that is no file or too large; searches that cannot start, and a hit the
// tree cannot show.
#include <sys/stat.h>

#include <QCheckBox>
#include <QTreeWidgetItem>

#include "app/lookup/DatabaseFile.h"
#include "lookupfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/tabstrip.h"

namespace {

const QString kWS01 = "WS01.Sales.Acme | KTR:\\\\Corp\\Acme\\Sales\\WS01 | Workstation";
const QString kWS02 = "WS02.Sales.Acme | KTR:\\\\Corp\\Acme\\Sales\\WS02 | Workstation";
const QString kWS05 = "WS05.IT.Acme | KTR:\\\\Corp\\Acme\\IT\\WS05 | Workstation";
const QString kWS50 = "WS50.IT.Acme | KTR:\\\\Corp\\Acme\\IT\\WS50 | Workstation";
const QString kInUse = "Workstation(s) currently in use ...";

class ResolutionTest : public LookupTest {
protected:
    void SetUp() override {
        LookupTest::SetUp();
        openForSearches();
    }
    // Searches a name that only one user has.
    QStringList resolve(const QString& user) {
        search(user);
        return items();
    }
};

}  // namespace

TEST_F(ResolutionTest, AUserAtOneWorkstationGetsItWhateverTheCaseAndSocketOfTheNode) {
    form->setStatusText("Searching ...");
    EXPECT_EQ(resolve("Single"), QStringList{kWS01});
    EXPECT_EQ(form->lstMultiple->columnHeader(1), kInUse);
    EXPECT_EQ(form->statusText(), "");
    EXPECT_TRUE(rec.programs->started.isEmpty()) << "the administrator picks from the list";
    EXPECT_EQ(form->chosenKey, key("Acme\\Sales\\Single"));
    EXPECT_EQ(form->chosenImage, "User");
    EXPECT_EQ(platform::forms::KeyedTree::keyOf(form->TreeViewRC->selectedNode()),
              key("Acme\\Sales\\Single"));
    EXPECT_EQ(form->MousePointer(), platform::forms::pointer::kDefault);
}

TEST_F(ResolutionTest, OneItemPerAddressInTheUsersOrder) {
    EXPECT_EQ(resolve("Twice"), (QStringList{kWS02, kWS01}));
    EXPECT_EQ(resolve("HalfKnown"),
              (QStringList{kWS02, "Workstation not in database: TCP 10.9.9.9 |  | Workstation"}));
    EXPECT_EQ(resolve("Stranger"),
              QStringList{"Workstation not in database: IPX 0000AC10:0080AAAAAAAA:4003 |  | "
                          "Workstation"});
    EXPECT_EQ(resolve("SameTwice"), QStringList{kWS02}) << "one workstation is listed once";
}

TEST_F(ResolutionTest, AnAddressMatchesOnlyAWholeAddress) {
    EXPECT_EQ(resolve("Prefix"), QStringList{kWS05}) << "10.0.0.5 is not 10.0.0.50";
}

TEST_F(ResolutionTest, TheServerNodeAndOtherKindsOfAddressGetNoItem) {
    EXPECT_EQ(resolve("Admin"), QStringList{kWS05});
    EXPECT_EQ(resolve("Odd"), QStringList{kWS50});
    EXPECT_TRUE(resolve("Console").isEmpty());
    EXPECT_EQ(form->lstMultiple->columnHeader(1), kInUse);
}

TEST_F(ResolutionTest, AUserLoggedInNowhere) {
    EXPECT_EQ(resolve("Nowhere"), QStringList{"User not logged in! |  | User"});
    EXPECT_EQ(form->lstMultiple->columnHeader(1), "Search Results");
}

TEST_F(ResolutionTest, AnAliasEmptiesTheListAndAddsNothing) {
    resolve("Twice");
    form->CheckAlias->setChecked(true);
    EXPECT_TRUE(resolve("SingleAlias").isEmpty());
    EXPECT_EQ(form->chosenImage, "Alias");
    EXPECT_TRUE(rec.programs->started.isEmpty());
}

TEST_F(ResolutionTest, AMissingDatabaseSendsTheAdministratorToBuildIt) {
    std::filesystem::remove(dbFile());
    form->setStatusText("Searching ...");
    EXPECT_TRUE(resolve("Twice").isEmpty());
    ASSERT_EQ(rec.messages->boxes.size(), 1u) << "once, not once per address";
    EXPECT_EQ(rec.messages->boxes[0].text,
              "Could not find Workstation Database File!\r\n\r\n"
              "The Workstation Database File needs to be placed in\r\n"
              "the same directory as the application's executable!\r\n\r\n"
              "Please create a new Workstation Database File");
    EXPECT_EQ(rec.messages->boxes[0].title, "Warning!");
    EXPECT_EQ(rec.messages->boxes[0].style, 16);
    EXPECT_EQ(form->mintCurFrame, 2);
    EXPECT_EQ(form->mintCurFrameSettings, 4);
    EXPECT_EQ(form->statusText(), "");

    form->dbDirectory += "\\gone";
    rec.messages->boxes.clear();
    resolve("Single");
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_TRUE(rec.messages->boxes[0].text.startsWith(
        "Could not find path of Workstation Database File!\r\n\r\n"));
}

TEST_F(ResolutionTest, ADatabaseThatIsNoFileOrTooLargeIsRefusedAtOnceWithItsReason) {
    struct Case {
        std::function<void()> make;
        QString reason;
    };
    const std::filesystem::path file = dbFile();
    for (const Case& c : {
             Case{[&] { ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0); }, "it is a FIFO"},
             Case{[&] { std::filesystem::create_symlink("/dev/zero", file); },
                  "it is a character device"},
             Case{[&] {
                      testsupport::writeFile(file, "");
                      std::filesystem::resize_file(file, tvn::kMaxDatabaseBytes + 1);
                  },
                  "it holds more than 256 MB"},
         }) {
        std::filesystem::remove(file);
        c.make();
        form->setStatusText("Searching ...");
        EXPECT_TRUE(resolve("Single").isEmpty()) << c.reason.toStdString();
        EXPECT_TRUE(form->statusText().startsWith("Could not read the Workstation Database File: "))
            << form->statusText().toStdString();
        EXPECT_TRUE(form->statusText().contains(c.reason)) << form->statusText().toStdString();
        EXPECT_TRUE(rec.messages->boxes.empty());
        EXPECT_EQ(form->MousePointer(), platform::forms::pointer::kDefault);
    }
}

// ---- searches that go wrong ----

TEST_F(ResolutionTest, ASearchThatCannotStartSaysWhyAndShowsNoEarlierHits) {
    resolve("Twice");
    ASSERT_EQ(form->lstMultiple->count(), 2);
    // The context went away while the program runs.
    form->currentContext = key("Acme\\Removed");
    EXPECT_TRUE(resolve("Single").isEmpty());
    EXPECT_TRUE(form->statusText().startsWith("The search for Single could not be run: "))
        << form->statusText().toStdString();
    EXPECT_TRUE(form->statusText().contains("Acme\\Removed")) << form->statusText().toStdString();
    EXPECT_EQ(rec.errors->lines.value(0), form->statusText());
    EXPECT_EQ(form->MousePointer(), platform::forms::pointer::kDefault);
}

TEST_F(ResolutionTest, AHitTheTreeCannotShowGetsItsOwnAttributesNotThoseOfTheSelectedNode) {
    platform::forms::KeyedList& fields = *form->lstKTRInfoSelect[0];
    for (int row = 0; row < fields.count(); ++row)
        platform::forms::KeyedList::setChecked(fields.itemAt(row),
                                               fields.itemAt(row)->text(0) == "Network Address");
    resolve("Twice");
    ASSERT_EQ(form->lvwKTRinfo->count(), 2) << "both addresses of Twice";
    // The tree no longer holds the way to Single (Sales was taken out).
    form->TreeViewRC->removeNode(key("Acme\\Sales"));
    resolve("Single");
    ASSERT_EQ(form->lvwKTRinfo->count(), 1);
    EXPECT_EQ(form->lvwKTRinfo->itemAt(0)->text(1), "IPX 0000AC10:00c04f6c8c59:8063");
}
