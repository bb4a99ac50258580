// The control's property pages as widgets: the general page's check boxes at
// their places and bound to the properties, and the network browser, which
// reads each level once when it is expanded, over the client stand-in's test
// network; and the browser's pictures.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSet>
#include <QTreeWidget>

#include "platform/framework/dialogunits.h"
#include "session/browserimages.h"
#include "session/proppages.h"
#include "testsupport/testsupport.h"

namespace {

namespace fw = platform::framework;
using session::CQuillonPropPage;
using session::CTreeContextPPg;

TEST(GeneralPage, SevenCheckBoxesAtTheirPlacesInDialogUnits) {
    CQuillonPropPage page;
    EXPECT_EQ(page.caption(), "General Properties");
    EXPECT_EQ(page.sizeHint(), fw::dialogUnitsToPixels(QSize(250, 110), page.font()));
    const struct {
        int id;
        const char* label;
        int x, y;
    } expected[] = {{202, "AutoClose", 30, 20},      {204, "RunScripts", 30, 40},
                    {206, "DisplayResults", 30, 60}, {203, "Bindery connection", 30, 80},
                    {205, "ConnectionTab", 140, 20}, {207, "ScriptTab", 140, 40},
                    {208, "VariablesTab", 140, 60}};
    for (const auto& e : expected) {
        QCheckBox* box = page.checkBox(e.id);
        ASSERT_TRUE(box) << e.id;
        EXPECT_EQ(box->text(), e.label);
        EXPECT_EQ(box->geometry().topLeft(),
                  fw::dialogUnitsToPixels(QRect(e.x, e.y, 1, 1), page.font()).topLeft())
            << e.label;
    }
    EXPECT_EQ(page.findChildren<QCheckBox*>().size(), 7);
    EXPECT_FALSE(page.checkBox(201));
}

TEST(BrowserImages, FortyOneDistinctPicturesAndAClassMap) {
    session::BrowserImageList images;
    ASSERT_EQ(images.count(), 41);
    QSet<QByteArray> seen;
    for (int i = 0; i < images.count(); ++i) {
        const QImage image = session::drawBrowserImage(i);
        ASSERT_EQ(image.size(), QSize(16, 16));
        seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()),
                               static_cast<int>(image.sizeInBytes())));
        EXPECT_FALSE(images.icon(i).isNull()) << i;
        // White is the mask colour: some of every picture shows through.
        const QImage shown = images.icon(i).pixmap(16, 16).toImage();
        EXPECT_EQ(qAlpha(shown.pixel(0, 15)) == 0, image.pixel(0, 15) == qRgb(255, 255, 255));
    }
    EXPECT_EQ(seen.size(), 41);  // no two classes look alike
    EXPECT_EQ(images.indexOfClass("Generic KTR Object (default)"), 0);
    EXPECT_EQ(images.indexOfClass("organization"), 22);
    EXPECT_EQ(images.indexOfClass("ORGANIZATIONAL UNIT"), 25);
    EXPECT_EQ(images.indexOfClass("KXP Server"), 19);
    EXPECT_EQ(images.indexOfClass("Volume"), 36);
    EXPECT_EQ(images.indexOfClass("Top"), 0);
    EXPECT_EQ(images.indexOfClass(""), 0);
}

class NetworkBrowser : public ::testing::Test {
protected:
    QTreeWidgetItem* root() { return page_.tree()->topLevelItem(0); }
    QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text) {
        for (int i = 0; i < item->childCount(); ++i)
            if (item->child(i)->text(0) == text) return item->child(i);
        return nullptr;
    }
    static QStringList texts(QTreeWidgetItem* item) {
        QStringList out;
        for (int i = 0; i < item->childCount(); ++i) out << item->child(i)->text(0);
        return out;
    }
    static bool hasMarker(QTreeWidgetItem* item) {
        return item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator ||
               item->childCount() > 0;
    }
    QTreeWidgetItem* expand(QTreeWidgetItem* item) {
        item->setExpanded(true);
        return item;
    }

    testsupport::ScopedEnv network_{"KDCLIENT_NETWORK",
                                    (testsupport::dataDir() / "session" / "network.json").string()};
    testsupport::ScopedEnv state_{"KDCLIENT_STATE",
                                  (testsupport::freshDir("session") / "state.json").string()};
    testsupport::ScopedEnv directory_{"KDDIR_SOURCE", nullptr};
    CTreeContextPPg page_;
};

TEST_F(NetworkBrowser, OpensOnTheRootWithItsTwoCategories) {
    EXPECT_EQ(page_.caption(), "Network Browser");
    ASSERT_EQ(page_.tree()->topLevelItemCount(), 1);
    EXPECT_EQ(root()->text(0), "Kalder Services");
    EXPECT_EQ(CTreeContextPPg::imageOf(root()), session::image::NetworkRoot);
    EXPECT_TRUE(root()->isExpanded());
    EXPECT_EQ(texts(root()), (QStringList{"Kalder Servers", "Marrel Directory Services"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(CTreeContextPPg::imageOf(root()->child(i)), session::image::Category);
        EXPECT_TRUE(hasMarker(root()->child(i)));
    }
    EXPECT_EQ(page_.selectedName(), "");
}

TEST_F(NetworkBrowser, ServersAreReadOnceAndHaveNoChildren) {
    QTreeWidgetItem* servers = expand(child(root(), "Kalder Servers"));
    const QStringList all{"FS1", "FS2", "OLD1", "LAB1"};
    EXPECT_EQ(texts(servers), all);
    servers->setExpanded(false);
    expand(servers);
    EXPECT_EQ(texts(servers), all);

    QTreeWidgetItem* fs2 = child(servers, "FS2");
    EXPECT_EQ(CTreeContextPPg::imageOf(fs2), session::image::Server);
    EXPECT_TRUE(hasMarker(fs2));
    expand(fs2);
    EXPECT_FALSE(hasMarker(fs2));
    page_.tree()->setCurrentItem(fs2);
    EXPECT_EQ(page_.selectedName(), "FS2");
    page_.tree()->setCurrentItem(servers);
    EXPECT_EQ(page_.selectedName(), "");
}

TEST_F(NetworkBrowser, TreesDescendIntoContainersOnly) {
    QTreeWidgetItem* trees = expand(child(root(), "Marrel Directory Services"));
    EXPECT_EQ(texts(trees), (QStringList{"ACME", "LabTree"}));
    QTreeWidgetItem* acme = child(trees, "ACME");
    EXPECT_EQ(CTreeContextPPg::imageOf(acme), session::image::Tree);

    QTreeWidgetItem* org = child(expand(acme), "Org");
    ASSERT_TRUE(org);
    EXPECT_EQ(CTreeContextPPg::imageOf(org), 22);  // Organization
    // Units and the server, not the user admin.
    EXPECT_EQ(texts(expand(org)), (QStringList{"Unit", "Servers", "FS2"}));
    EXPECT_EQ(CTreeContextPPg::imageOf(child(org, "Unit")), 25);
    EXPECT_EQ(CTreeContextPPg::imageOf(child(org, "FS2")), 19);
    QTreeWidgetItem* fs1 = child(expand(child(org, "Servers")), "FS1");
    ASSERT_TRUE(fs1);
    expand(fs1);
    EXPECT_FALSE(hasMarker(fs1));

    page_.tree()->setCurrentItem(fs1);
    EXPECT_EQ(page_.selectedName(), "KTR:\\\\ACME\\Org\\Servers\\FS1");
    page_.tree()->setCurrentItem(acme);
    EXPECT_EQ(page_.selectedName(), "KTR:\\\\ACME");
}

TEST_F(NetworkBrowser, AnOrganizationHoldingOnlyUsersLosesItsMarker) {
    QTreeWidgetItem* lab =
        child(expand(child(expand(child(root(), "Marrel Directory Services")), "LabTree")), "Lab");
    ASSERT_TRUE(lab);
    EXPECT_TRUE(hasMarker(lab));
    expand(lab);
    EXPECT_EQ(lab->childCount(), 0);
    EXPECT_FALSE(hasMarker(lab));
}

}  // namespace
