// tvn from end to end on directories that were not written for it: the demo
// directory in the standard classes (an export without a schema, and slapd
// with only Debian's standard schemas) and in Active Directory's (Samba's
// domain controller). The administrator types the login name, the user
// resolves to the workstation through a database built from the same
// source, a double click starts the console, and the attributes show.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/shell/ShellProgramStart.h"
#include "app/shell/frmMain.h"
#include "consolenetwork.h"
#include "fakeservices.h"
#include "platform/automation/create.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/registry/store.h"
#include "testsupport/samba_ad.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"
#include "windowsearch.h"

namespace fs = std::filesystem;
using testsupport::ScopedEnv;

namespace {

enum class Site { StandardLdif, StandardLdap, ActiveDirectory };

std::string siteName(const ::testing::TestParamInfo<Site>& info) {
    switch (info.param) {
        case Site::StandardLdif:
            return "StandardLdif";
        case Site::StandardLdap:
            return "StandardLdap";
        case Site::ActiveDirectory:
            return "ActiveDirectory";
    }
    return "?";
}

constexpr const char* kControlKey = "Software\\KDDirLib\\KDDirCtrl";

class MappedEndToEnd : public ::testing::TestWithParam<Site> {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(platform::automation::loadServer(KDDIR_LIBRARY).registerServer(), 0);
    }
    void SetUp() override {
        services = rec.services();
        services.programs = std::make_shared<tvn::ShellProgramStart>();
        switch (GetParam()) {
            case Site::StandardLdif:
                source = std::make_unique<ScopedEnv>(
                    "KDDIR_SOURCE",
                    (testsupport::sourceDir() / "demo" / "directory-standard.ldif").string());
                break;
            case Site::StandardLdap: {
                const auto& server = testsupport::Slapd::shared(testsupport::Slapd::Data::Standard);
                source = std::make_unique<ScopedEnv>("KDDIR_SOURCE", server.url());
                testsupport::storeCredentials(server);
                break;
            }
            case Site::ActiveDirectory: {
                const auto& server = testsupport::SambaAd::shared();
                source = std::make_unique<ScopedEnv>("KDDIR_SOURCE", server.url());
                testsupport::storeCredentials(server);
                platform::registry::Store().setValue(kControlKey, "TreeName", "CorpTree");
                break;
            }
        }
    }
    void TearDown() override {
        form.reset();
        testsupport::forgetCredentials();
        platform::registry::Store().deleteValue(kControlKey, "TreeName");
    }

    void load(const QString& commandLine) {
        form = std::make_unique<tvn::frmMain>(services);
        form->commandLine = commandLine;
        ASSERT_EQ(form->Form_Load(), tvn::frmMain::LoadResult::Show)
            << form->statusText().toStdString();
        form->currentContext = "KTR:\\\\CorpTree";
        form->cmbServerlist->setCurrentText("FS1");
    }
    QStringList listed(const QString& typed) { return searchAndList(*form, typed); }
    QStringList consoleLog() const {
        if (!fs::exists(log)) return {};
        return QString::fromStdString(testsupport::readFile(log)).split('\n', Qt::SkipEmptyParts);
    }
    static QStringList items(const platform::forms::KeyedList& list) {
        QStringList out;
        for (int i = 0; i < list.count(); ++i) out << list.itemAt(i)->text(0);
        return out;
    }

    const fs::path log = testsupport::freshDir("consoles") / "console.log";
    std::unique_ptr<ScopedEnv> source;
    ScopedEnv network{"UNC_ROOT", makeConsoleNetwork(CONSOLE_PROGRAM).string()};
    ScopedEnv consoleLogEnv{"CONSOLE_LOG", log.string()};
    fakes::Recorders rec;
    platform::forms::Services services;
    std::unique_ptr<tvn::frmMain> form;
};

INSTANTIATE_TEST_SUITE_P(Sites, MappedEndToEnd,
                         ::testing::Values(Site::StandardLdif, Site::StandardLdap,
                                           Site::ActiveDirectory),
                         siteName);

}  // namespace

TEST_P(MappedEndToEnd, ALoginNameResolvesToTheWorkstationAndStartsItsConsole) {
    const fs::path db = testsupport::freshDir("database");
    load("/dbbuild=KTR:\\\\CorpTree /dbpath=" +
         QString::fromStdString(db.string()).replace('/', '\\'));
    ASSERT_TRUE(fs::exists(db / "CorpTree.lst")) << form->statusText().toStdString();
    const std::string database = testsupport::readFile(db / "CorpTree.lst");
    const auto line = database.find("\"KTR:\\\\CorpTree\\Acme\\Sales\\WS042\",");
    ASSERT_NE(line, std::string::npos) << database.substr(0, 400);
    EXPECT_NE(
        database.substr(line, database.find('\n', line) - line).find("\"TCP 10.101.110.140\""),
        std::string::npos);
    // All eight actions: the mapping declares the newer consoles' field type.
    EXPECT_TRUE(form->consoleNewGeneration);

    EXPECT_EQ(listed("VossbeckT"), QStringList{"WS042.Sales.Acme"});
    EXPECT_EQ(form->lstMultiple->columnHeader(1), "Workstation(s) currently in use ...");
    form->lstMultiple->setCurrentRow(0);
    form->lstMultiple_DblClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !consoleLog().isEmpty(); }, 10000))
        << "no console was started";
    EXPECT_EQ(consoleLog().front(),
              "vorplin.exe\t-wWS042.Sales.Acme\t-nCorpTree\t-cRemote Control");
    EXPECT_TRUE(rec.messages->boxes.empty());

    // A workstation typed by name goes straight to its console.
    listed("WS042");
    ASSERT_TRUE(QTest::qWaitFor([&] { return consoleLog().size() == 2; }, 10000));
}

TEST_P(MappedEndToEnd, TheTreeBrowsesAndTheAttributesShow) {
    load({});
    // Without the session control start-up stops before these two steps.
    tvn::BuildKTRLayoutList(*form);
    tvn::BrowseStartRC(*form);
    // The layouts name the fields a person reads.
    const QStringList user = items(*form->lstKTRInfoSelect[0]);
    EXPECT_TRUE(user.contains("Full Name") && user.contains("Network Address") &&
                user.contains("Title"))
        << user.join(", ").toStdString();
    EXPECT_TRUE(items(*form->lstKTRInfoSelect[1]).contains("RJ:Network Address"));

    // Acme opens and its units are listed, without the users and workstations.
    auto* acme = form->TreeViewRC->node("KTR:\\\\CorpTree\\Acme");
    ASSERT_TRUE(acme);
    form->TreeViewRC_Expand(acme);
    ASSERT_TRUE(form->TreeViewRC->node("KTR:\\\\CorpTree\\Acme\\Sales"));

    for (int i = 0; i < form->lstKTRInfoSelect[0]->count(); ++i) {
        auto* item = form->lstKTRInfoSelect[0]->itemAt(i);
        platform::forms::KeyedList::setChecked(
            item, item->text(0) == "Full Name" || item->text(0) == "Title");
    }
    tvn::getKTRinfo(*form, "KTR:\\\\CorpTree\\Acme\\Sales\\Tilman Vossbeck");
    QStringList rows;
    for (int i = 0; i < form->lvwKTRinfo->count(); ++i)
        rows << form->lvwKTRinfo->itemAt(i)->text(0) + "=" + form->lvwKTRinfo->itemAt(i)->text(1);
    EXPECT_EQ(rows, (QStringList{"Full Name=Tilman Vossbeck", "Title=Key Account Manager"}));
}
