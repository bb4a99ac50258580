// tvn on a directory server that enforces a size limit: the partial list is
// used, and the status bar says that it is partial, for a name search, a
// database build and a level of the tree.
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "lookupfixture.h"
#include "platform/forms/keyedtree.h"
#include "testsupport/slapd.h"

namespace {

const QString kNotice = "The directory server returned only 3 of the entries";

class ServerLimitTest : public LookupTest {
protected:
    void SetUp() override {
        LookupTest::SetUp();
        useDirectory(server_.url());
        testsupport::storeCredentials(server_);
    }
    void TearDown() override {
        testsupport::forgetCredentials();
        LookupTest::TearDown();
    }

    testsupport::Slapd server_{{.ldif = testsupport::dataDir() / "lookup" / "directory.ldif",
                                .sizeLimit = 3,
                                .tls = false}};
};

}  // namespace

TEST_F(ServerLimitTest, ACutSearchListsWhatCameAndSaysSo) {
    openForSearches();
    search("WS");  // four workstations
    EXPECT_EQ(form->lstMultiple->count(), 3);
    EXPECT_EQ(form->statusText(), kNotice);

    search("WS0");  // exactly as many as the limit: the list is whole, nothing is said
    EXPECT_EQ(form->lstMultiple->count(), 3);
    EXPECT_EQ(form->statusText(), "");
}

TEST_F(ServerLimitTest, ADatabaseBuiltFromACutListSaysSo) {
    open();
    form->optDBfile[1]->setChecked(true);
    QTest::mouseClick(form->cmdBuildWSdb, Qt::LeftButton);
    EXPECT_EQ(form->statusText(), "Found: 3 Workstation(s). " + kNotice);
    EXPECT_EQ(rec.errors->lines, QStringList{form->statusText()});
    EXPECT_TRUE(form->incomplete()) << "an unattended run ends with status 3";
    const std::string written = database();
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);
}

TEST_F(ServerLimitTest, ACutLevelOfTheTreeSaysSo) {
    open();
    // Acme holds six entries; the tree shows what came.
    QTreeWidgetItem* acme = form->TreeViewRC->node(key("Acme"));
    ASSERT_NE(acme, nullptr);
    acme->setExpanded(true);
    EXPECT_EQ(acme->childCount(), 3);
    EXPECT_EQ(form->statusText(), kNotice);
}
