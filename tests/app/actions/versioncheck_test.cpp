// The console version detection: the schema's answer for the newer
// generation's field type, and what each generation shows.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "formfixture.h"

namespace {
const char* const kNewerItems[] = {"mnuCH", "mnuFT", "mnuRe", "mnuRV", "mnuRP", "mnuRD", "mnuRI"};
}

class VersionCheckTest : public FormTest {
protected:
    // Loads with a schema that answers the field-type query as given.
    void loadWith(std::vector<std::string> fieldTypes, int error = 0) {
        objects.prepare = [fieldTypes, error](fakes::FakeDirectory& d) {
            d.fieldTypes = fieldTypes;
            d.fieldTypeError = error;
        };
        ASSERT_EQ(load(), tvn::frmMain::LoadResult::Show);
    }
    void expectNewerShown(bool shown) {
        for (const char* item : kNewerItems) {
            EXPECT_EQ(form->menuItem(item)->isVisible(), shown) << item;
            EXPECT_EQ(form->menuItem(item)->isEnabled(), shown) << item;
        }
        EXPECT_TRUE(form->menuItem("mnuRC")->isVisible());
        EXPECT_TRUE(form->menuItem("mnuRC")->isEnabled());
        EXPECT_EQ(form->Command1->isHidden(), !shown);
        EXPECT_EQ(form->lblInvServer->isHidden(), !shown);
        EXPECT_EQ(form->txtInvServer->isHidden(), !shown);
    }
};

TEST_F(VersionCheckTest, ASchemaWithTheFileTransferFieldMeansTheNewerConsoles) {
    loadWith({"RK:Harbex File Transfer"});
    EXPECT_TRUE(form->consoleNewGeneration);
    expectNewerShown(true);
    // The check has an instance of its own, released when it is done.
    ASSERT_EQ(objects.directories.size(), 6u);
    EXPECT_EQ(objects.created[5], "KDDirLib.KDdirCtrl.1");
    EXPECT_EQ(objects.directories[5]->refCount(), 1);
}

TEST_F(VersionCheckTest, NoSuchFieldTypeMeansTheOlderConsolesOnlyRemoteControl) {
    store("Settings\\CorpTree", "Remote Action", "RI");
    loadWith({});
    EXPECT_FALSE(form->consoleNewGeneration);
    expectNewerShown(false);
    EXPECT_EQ(form->defaultAction, "RC") << "whatever the store holds";
    for (QAction* item : form->mnuDefaultAction->actions())
        EXPECT_TRUE(item->isVisible()) << "the default menu is left as it is";
}

TEST_F(VersionCheckTest, AnyOtherFailureOfTheQueryMeansTheNewerConsoles) {
    for (int error : {600, 601, 91}) {
        loadWith({}, error);
        EXPECT_TRUE(form->consoleNewGeneration) << error;
        expectNewerShown(true);
    }
}
