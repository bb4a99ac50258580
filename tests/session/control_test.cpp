// The control itself, without a host: its Boolean properties and what they
// tell the container, persistence, extent, drawing, the refusal of puts on
// read-only properties, the Win32s notice and the type library.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstring>

#include "platform/automation/error.h"
#include "session/control.h"
#include "session/glyph.h"
#include "session/notices.h"
#include "session/typelib.h"
#include "testsupport/testsupport.h"

namespace {

namespace pa = platform::automation;
using session::CQuillonCtrl;

const char* const kBooleans[] = {"AutoClose",    "Bindery",    "ConnectionTab", "ScriptTab",
                                 "VariablesTab", "RunScripts", "DisplayResults"};

class RecordingSite : public platform::framework::ControlSite {
public:
    bool ambientUserMode() const override { return userMode; }
    QColor ambientBackColor() const override { return QColor(0x12, 0x34, 0x56); }
    void onPropertyChanged(int dispid) override { changed.push_back(dispid); }
    void onModified() override { ++modified; }

    bool userMode = true;
    std::vector<int> changed;
    int modified = 0;
};

class RecordingNotices : public session::Notices {
public:
    RecordingNotices() { session::setNotices(this); }
    ~RecordingNotices() override { session::setNotices(nullptr); }
    void messageBox(const std::string& text, const std::string& caption, int style) override {
        boxes.push_back({text, caption, style});
    }
    void aboutBox() override { ++abouts; }

    struct Box {
        std::string text, caption;
        int style;
    };
    std::vector<Box> boxes;
    int abouts = 0;
};

std::int32_t int32At(const QByteArray& stream, int offset) {
    std::int32_t v;
    std::memcpy(&v, stream.constData() + offset, sizeof v);
    return v;
}

TEST(Control, BooleansStartFalseAndNotifyByDispid) {
    auto control = CQuillonCtrl::create();
    RecordingSite site;
    control->setClientSite(&site);
    for (const char* name : kBooleans) EXPECT_FALSE(control->get(name).toBool()) << name;

    for (const char* name : kBooleans) control->put(name, pa::Variant(true));
    for (const char* name : kBooleans) EXPECT_TRUE(control->get(name).toBool()) << name;
    EXPECT_EQ(site.changed, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(site.modified, 7);
    EXPECT_TRUE(control->isModified());

    control->put("RunScripts", pa::Variant(std::int32_t(0)));
    EXPECT_FALSE(control->runScripts());
}

TEST(Control, PersistsTheBooleansInOrderWithVersion) {
    auto control = CQuillonCtrl::create();
    control->put("AutoClose", pa::Variant(true));
    control->put("Bindery", pa::Variant(true));
    control->put("DisplayResults", pa::Variant(true));
    const QByteArray stream = control->save();
    EXPECT_FALSE(control->isModified());
    ASSERT_EQ(stream.size(), 4 + 4 + 7 * 4);
    EXPECT_EQ(stream[0], 1);  // major
    EXPECT_EQ(stream[2], 2);  // minor
    // AutoClose, ConnectionTab, ScriptTab, VariablesTab, Bindery, RunScripts, DisplayResults
    const std::int32_t expected[] = {1, 0, 0, 0, 1, 0, 1};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(int32At(stream, 8 + 4 * i), expected[i]) << i;

    auto reloaded = CQuillonCtrl::create();
    reloaded->load(stream);
    EXPECT_TRUE(reloaded->autoClose());
    EXPECT_TRUE(reloaded->bindery());
    EXPECT_TRUE(reloaded->displayResults());
    EXPECT_FALSE(reloaded->connectionTab());
    EXPECT_FALSE(reloaded->runScripts());
}

TEST(Control, StreamWithoutBooleansLoadsThemFalse) {
    auto full = CQuillonCtrl::create();
    for (const char* name : kBooleans) full->put(name, pa::Variant(true));
    const QByteArray headOnly = full->save().left(8);

    for (const char* name : kBooleans) full->put(name, pa::Variant(true));
    full->load(headOnly);
    for (const char* name : kBooleans) EXPECT_FALSE(full->get(name).toBool()) << name;
    full->load(QByteArray());
    EXPECT_FALSE(full->autoClose());
}

TEST(Control, KeepsItsSizeWhateverTheContainerAsks) {
    auto control = CQuillonCtrl::create();
    EXPECT_EQ(control->extentPixels(), QSize(28, 28));
    for (QSize asked : {QSize(10000, 5000), QSize(1, 1), QSize(0, 0)}) {
        const QSize taken = control->requestExtent(asked);
        EXPECT_EQ(control->extentPixels(), QSize(28, 28));
        EXPECT_EQ(taken, QSize(platform::framework::pixelsToHimetric(28),
                               platform::framework::pixelsToHimetric(28)));
    }
}

TEST(Control, DrawsItsImageOnTheAmbientBackground) {
    auto control = CQuillonCtrl::create();
    RecordingSite site;
    control->setClientSite(&site);
    QImage canvas(28, 28, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    {
        QPainter painter(&canvas);
        control->draw(painter, QRect(0, 0, 28, 28));
    }
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 0, 0));  // the frame
    EXPECT_EQ(canvas.pixel(27, 27), qRgb(0, 0, 0));
    const QImage image = session::controlBitmap();
    const QImage mask = session::controlMask();
    int opaque = 0, clear = 0;
    for (int y = 0; y < session::kGlyphHeight; ++y)
        for (int x = 0; x < session::kGlyphWidth; ++x) {
            const QRgb drawn = canvas.pixel(6 + x, 6 + y);
            if (qGray(mask.pixel(x, y)) < 128) {
                EXPECT_EQ(drawn, image.pixel(x, y)) << x << "," << y;
                ++opaque;
            } else {
                EXPECT_EQ(drawn, site.ambientBackColor().rgb()) << x << "," << y;
                ++clear;
            }
        }
    EXPECT_GT(opaque, 0);
    EXPECT_GT(clear, 0);
    EXPECT_EQ(canvas.pixel(3, 14), site.ambientBackColor().rgb());
}

TEST(Control, RefusesPutsOnReadOnlyProperties) {
    auto control = CQuillonCtrl::create();
    for (const char* name : {"ServerNames", "TreeNames", "ConnectedServers", "ConnectedTrees",
                             "ConnectedVolumes", "DriveMappings", "CapturedPorts"}) {
        try {
            control->put(name, pa::Variant(std::int32_t(1)));
            ADD_FAILURE() << name;
        } catch (const pa::AutomationError& e) {
            EXPECT_EQ(e.code(), pa::error::PropertyReadOnly) << name;
        }
    }
}

TEST(Control, AboutBoxGoesThroughTheNoticeService) {
    RecordingNotices notices;
    auto control = CQuillonCtrl::create();
    control->invoke(-552, pa::CallKind::Method, {});
    control->call("AboutBox");
    EXPECT_EQ(notices.abouts, 2);
}

TEST(Control, WarnsUnderWin32s) {
    RecordingNotices notices;
    testsupport::ScopedEnv os("TVN_OS_PLATFORM", "win32s");
    auto control = CQuillonCtrl::create();
    ASSERT_EQ(notices.boxes.size(), 1u);
    EXPECT_EQ(notices.boxes[0].text, "This control will not function under Win32s.");
    EXPECT_EQ(notices.boxes[0].caption, "Marrel Session Control");
    EXPECT_EQ(notices.boxes[0].style, 0x30);
    EXPECT_FALSE(control->isNT());
}

TEST(TypeLibrary, DescribesTheInterfacesAsTheObjectsAnswer) {
    const auto& lib = session::quillonTypeLibrary();
    EXPECT_EQ(lib.name, "QuillonLib");
    EXPECT_EQ(lib.version(), "1.2");
    EXPECT_EQ(lib.locale, 0x409u);
    EXPECT_EQ(lib.helpFile, "quillon.hlp");

    const auto* dispatch = lib.findInterface("_DQuillon");
    ASSERT_TRUE(dispatch);
    const auto* login = pa::findMember(*dispatch, "Login");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->id, 16);
    EXPECT_EQ(login->helpContext, 982);
    ASSERT_EQ(login->params.size(), 4u);
    EXPECT_EQ(login->params[3].type, pa::TypeCode::Boolean);
    const auto* about = pa::findMember(*dispatch, "AboutBox");
    ASSERT_TRUE(about);
    EXPECT_EQ(about->id, -552);
    EXPECT_TRUE(pa::findMember(*dispatch, "DefaultFullName", pa::MemberKind::PropertyPut));
    EXPECT_FALSE(pa::findMember(*dispatch, "ServerNames", pa::MemberKind::PropertyPut));

    const auto* events = lib.findInterface("_DQuillonEvents");
    ASSERT_TRUE(events);
    EXPECT_TRUE(events->events);
    EXPECT_EQ(pa::findMember(*events, "OnLogout")->helpContext, 989);

    const auto* names = lib.findInterface("IKDNetworkNames");
    ASSERT_TRUE(names);
    EXPECT_FALSE(pa::findMember(*names, "_NewEnum"));
    EXPECT_TRUE(pa::findMember(*lib.findInterface("IKDCapturedPorts"), "_NewEnum"));

    const auto* control = lib.findClass("Quillon");
    ASSERT_TRUE(control);
    EXPECT_EQ(control->sourceInterface, "_DQuillonEvents");
    EXPECT_EQ(lib.findClass("KDNetworkName")->helpString, "Network Name ");
    ASSERT_TRUE(lib.findEnum("KDPrinterPorts"));
    EXPECT_EQ(lib.findEnum("KDPrinterPorts")->values.back().name, "LPT9");
    EXPECT_EQ(lib.findEnum("KDPrinterPorts")->values.back().value, 9);
}

}  // namespace
