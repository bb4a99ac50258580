// The control framework: library names and loading, the version query,
// property exchange with versions and short streams, extents, change
// notification and transparent drawing.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <vector>

#include "platform/framework/control.h"
#include "platform/framework/library.h"
#include "platform/framework/osversion.h"
#include "testsupport/testsupport.h"

using namespace platform::framework;

TEST(Library, PlatformNamesMapToSharedObjects) {
    EXPECT_EQ(sharedObjectName("VESTANT.DLL"), "libvestant.so");
    EXPECT_EQ(sharedObjectName("Porta95.dll"), "libporta95.so");
    EXPECT_EQ(sharedObjectName("C:\\WINDOWS\\SYSTEM\\KDSERV32.DLL"), "libkdserv32.so");
    EXPECT_EQ(sharedObjectName("noext"), "libnoext.so");
}

TEST(Library, LoadsFromTheSearchPathAndFindsEntries) {
    testsupport::ScopedEnv path("TVN_LIBRARY_PATH",
                                "/nonexistent:" + testsupport::libDir().string());
    auto library = Library::load("FW_SAMPLE.DLL");
    ASSERT_TRUE(library) << Library::lastError();
    auto fn = library->entryAs<int (*)(int)>("SampleEntry");
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(21), 42);
    EXPECT_EQ(library->entry("NoSuchEntry"), nullptr);
}

TEST(Library, AMissingLibraryIsReported) {
    testsupport::ScopedEnv path("TVN_LIBRARY_PATH", testsupport::freshDir("empty").string());
    EXPECT_EQ(Library::load("NOTTHERE.DLL"), nullptr);
    EXPECT_NE(Library::lastError().find("NOTTHERE.DLL"), std::string::npos);
}

TEST(Library, AFileThatIsNoLibraryFailsCleanly) {
    const auto dir = testsupport::freshDir("bogus");
    testsupport::writeFile(dir / "libbogus.so", "not an ELF file");
    testsupport::ScopedEnv path("TVN_LIBRARY_PATH", dir.string());
    EXPECT_EQ(Library::load("BOGUS.DLL"), nullptr);
    EXPECT_FALSE(Library::lastError().empty());
}

TEST(OsVersionQuery, ReportsTheNtFamilyUnlessToldOtherwise) {
    {
        testsupport::ScopedEnv none("TVN_OS_PLATFORM", nullptr);
        EXPECT_EQ(queryOsVersion().platform, OsPlatform::WindowsNT);
        EXPECT_FALSE(queryOsVersion().description.empty());
    }
    testsupport::ScopedEnv win95("TVN_OS_PLATFORM", "Win95");
    EXPECT_EQ(queryOsVersion().platform, OsPlatform::Windows95);
    testsupport::ScopedEnv win32s("TVN_OS_PLATFORM", "win32s");
    EXPECT_EQ(queryOsVersion().platform, OsPlatform::Win32s);
}

namespace {

struct RecordingSite : ControlSite {
    bool userMode = true;
    std::vector<int> changed;
    int modified = 0;
    bool ambientUserMode() const override { return userMode; }
    QColor ambientBackColor() const override { return QColor(10, 20, 30); }
    void onPropertyChanged(int dispid) override { changed.push_back(dispid); }
    void onModified() override { ++modified; }
};

// A control with a fixed 28 by 28 extent and three persisted values.
class SampleControl : public ControlBase {
public:
    std::int32_t a = 0, b = 0;
    QString text;
    std::uint16_t loadedMajor = 0, loadedMinor = 0;

    SampleControl() { setInitialSize(28, 28); }

protected:
    void onDraw(QPainter& painter, const QRect& bounds) override {
        painter.fillRect(bounds, ambientBackColor());
    }
    void doPropExchange(PropExchange& px) override {
        std::uint16_t major = 1, minor = 2;
        px.exchangeVersion(major, minor);
        if (px.isLoading()) {
            loadedMajor = major;
            loadedMinor = minor;
        }
        px.exchangeStockProps(stockFlags_);
        px.exchangeBool("A", a, false);
        px.exchangeBool("B", b, true);
        px.exchangeString("Text", text, "none");
    }
    QSize onSetExtent(QSize) override { return QSize(28, 28); }
};

}  // namespace

TEST(ControlBase, PropertiesRoundTripWithTheirVersion) {
    SampleControl saved;
    saved.a = 1;
    saved.b = 0;
    saved.text = "hello";
    const QByteArray stream = saved.save();

    SampleControl loaded;
    loaded.load(stream);
    EXPECT_EQ(loaded.loadedMajor, 1);
    EXPECT_EQ(loaded.loadedMinor, 2);
    EXPECT_EQ(loaded.a, 1);
    EXPECT_EQ(loaded.b, 0);
    EXPECT_EQ(loaded.text, "hello");
    EXPECT_FALSE(loaded.isModified());
}

TEST(ControlBase, AShortStreamYieldsTheDefaults) {
    SampleControl full;
    full.a = 1;
    QByteArray stream = full.save();
    // Keep only the version and the stock state (2 + 2 + 4 bytes).
    stream.truncate(8);
    SampleControl loaded;
    loaded.a = 1;
    loaded.b = 0;
    loaded.load(stream);
    EXPECT_EQ(loaded.a, 0);
    EXPECT_EQ(loaded.b, 1);
    EXPECT_EQ(loaded.text, "none");

    SampleControl empty;
    empty.load(QByteArray());
    EXPECT_EQ(empty.loadedMajor, 0);
    EXPECT_EQ(empty.b, 1);
}

TEST(ControlBase, ExtentStaysWhatTheControlChooses) {
    SampleControl control;
    const QSize answer = control.requestExtent(QSize(5000, 300));
    EXPECT_EQ(control.extentPixels(), QSize(28, 28));
    EXPECT_EQ(answer, QSize(pixelsToHimetric(28), pixelsToHimetric(28)));
    EXPECT_EQ(pixelsToHimetric(28), 741);
    EXPECT_EQ(himetricToPixels(741), 28);
}

TEST(ControlBase, ChangesReachTheSiteAndMarkTheControlModified) {
    RecordingSite site;
    SampleControl control;
    control.setClientSite(&site);
    EXPECT_FALSE(control.isModified());
    control.boundPropertyChanged(3);
    control.boundPropertyChanged(7);
    EXPECT_EQ(site.changed, (std::vector<int>{3, 7}));
    EXPECT_TRUE(control.isModified());
    EXPECT_EQ(site.modified, 2);
    control.save();
    EXPECT_FALSE(control.isModified());

    EXPECT_TRUE(control.ambientUserMode());
    site.userMode = false;
    EXPECT_FALSE(control.ambientUserMode());
}

TEST(ControlBase, DrawsWithTheAmbientBackground) {
    RecordingSite site;
    SampleControl control;
    control.setClientSite(&site);
    QImage canvas(28, 28, QImage::Format_ARGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        control.draw(painter, QRect(0, 0, 28, 28));
    }
    EXPECT_EQ(QColor(canvas.pixel(14, 14)), QColor(10, 20, 30));
}

TEST(Drawing, TransparentBitmapKeepsTheBackgroundWhereTheMaskIsWhite) {
    QImage canvas(4, 1, QImage::Format_ARGB32);
    canvas.fill(QColor(0, 0, 255));
    QImage image(2, 1, QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 0));
    QImage mask(2, 1, QImage::Format_ARGB32);
    mask.setPixel(0, 0, qRgb(0, 0, 0));        // opaque
    mask.setPixel(1, 0, qRgb(255, 255, 255));  // transparent
    {
        QPainter painter(&canvas);
        drawTransparentBitmap(painter, QPoint(1, 0), image, mask);
    }
    EXPECT_EQ(QColor(canvas.pixel(0, 0)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(canvas.pixel(1, 0)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(canvas.pixel(2, 0)), QColor(0, 0, 255));
}
