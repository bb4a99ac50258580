// tvn's result list for "*" on a server that pages its answers: the first
// rows come at once, the rest as the list is scrolled to its end, and the
// whole list is the one the same directory as a file shows. A server lost
// while the list reads on leaves the rows read and says why.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <algorithm>

#include "app/shell/frmMain.h"
#include "fakeservices.h"
#include "platform/automation/create.h"
#include "platform/forms/keyedlistview.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"
#include "windowsearch.h"

using testsupport::ScopedEnv;

namespace {

class ServerList : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(platform::automation::loadServer(KDDIR_LIBRARY).registerServer(), 0);
    }
    void TearDown() override {
        form.reset();
        testsupport::forgetCredentials();
    }

    void load(const std::string& source) {
        form.reset();
        ScopedEnv env("KDDIR_SOURCE", source);
        form = std::make_unique<tvn::frmMain>(rec.services());
        ASSERT_EQ(form->Form_Load(), tvn::frmMain::LoadResult::Show)
            << form->statusText().toStdString();
        form->currentContext = "KTR:\\\\CorpTree";
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // What the list shows once it was scrolled to its end until no more rows came.
    QStringList scrolledThrough() {
        platform::forms::KeyedListView& list = *form->lstMultiple;
        for (int rounds = 0; rounds < 1000; ++rounds) {
            const int before = list.count();
            list.scrollToBottom();
            QApplication::processEvents();
            if (list.count() == before && !list.model()->canFetchMore({})) break;
        }
        QStringList texts;
        for (int i = 0; i < list.count(); ++i) texts << list.textAt(i);
        return texts;
    }

    static QStringList sorted(QStringList texts) {
        texts.sort();
        return texts;
    }

    fakes::Recorders rec;
    std::unique_ptr<tvn::frmMain> form;
};

}  // namespace

TEST_F(ServerList, TheStarListOfAServerIsTheFilesReadAsItIsScrolled) {
    load((testsupport::sourceDir() / "demo" / "directory.ldif").string());
    searchAndList(*form, "*");
    const QStringList file = scrolledThrough();
    ASSERT_GT(file.size(), 20);

    testsupport::Slapd server({.ldif = {}, .sizeLimit = 0, .tls = false, .pageSize = 7});
    testsupport::storeCredentials(server);
    load(server.url());
    const QStringList first = searchAndList(*form, "*");
    ASSERT_GE(first.size(), 2);
    EXPECT_LT(first.size(), file.size());  // not read whole before it shows
    const QStringList whole = scrolledThrough();
    EXPECT_EQ(sorted(whole), sorted(file));
    EXPECT_EQ(whole.mid(0, first.size()), first);
    EXPECT_EQ(form->statusText(), "");
}

TEST_F(ServerList, AServerLostWhileTheListReadsOnKeepsItsRowsAndSaysWhy) {
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 0, .tls = false, .pageSize = 7});
    testsupport::storeCredentials(server);
    load(server.url());
    searchAndList(*form, "*");
    const int shown = form->lstMultiple->count();
    ASSERT_GE(shown, 2);

    server.stop();
    const QStringList rows = scrolledThrough();
    EXPECT_GE(rows.size(), shown);
    EXPECT_TRUE(form->statusText().contains("further hits could not be read"))
        << form->statusText().toStdString();
    EXPECT_FALSE(form->lstMultiple->model()->canFetchMore({}));
    server.start();
}

TEST_F(ServerList, ALimitMetWhileScrollingIsShownInTheStatusBar) {
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 12, .tls = false, .pageSize = 5});
    testsupport::storeCredentials(server);
    load(server.url());
    searchAndList(*form, "*");
    EXPECT_EQ(scrolledThrough().size(), 12);
    EXPECT_EQ(form->statusText(), "The directory server returned only 12 of the entries");
}
