// The default notice service, the replaceable slot and the C hook for hosts.
#include "session/notices.h"

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

#include "platform/framework/dialogunits.h"
#include "session/glyph.h"

namespace session {
namespace {

constexpr const char* kAboutTitle = "About Marrel Session Control";

bool haveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void showAboutDialog() {
    QDialog dialog;
    const QFont font = platform::framework::dialogFont();
    dialog.setFont(font);
    dialog.setWindowTitle(kAboutTitle);
    dialog.setFixedSize(platform::framework::dialogUnitsToPixels(QSize(260, 63), font));
    auto* layout = new QHBoxLayout(&dialog);
    auto* icon = new QLabel;
    icon->setPixmap(QPixmap::fromImage(controlIcon()));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel("Marrel Session Control"));
    texts->addWidget(new QLabel("Version 1.2"));
    texts->addStretch();
    layout->addLayout(texts, 1);
    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* right = new QVBoxLayout;
    right->addWidget(ok);
    right->addStretch();
    layout->addLayout(right);
    dialog.exec();
}

class DefaultNotices : public Notices {
public:
    void messageBox(const std::string& text, const std::string& caption, int style) override {
        if (!haveWidgets()) {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
            return;
        }
        QMessageBox box(style & 0x30 ? QMessageBox::Warning : QMessageBox::Information,
                        QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Ok);
        box.exec();
    }
    void aboutBox() override {
        if (!haveWidgets()) {
            std::fprintf(stderr, "%s: Marrel Session Control, Version 1.2\n", kAboutTitle);
            return;
        }
        showAboutDialog();
    }
};

class HookNotices : public Notices {
public:
    HookNotices(QuillonNoticeHook hook, void* context) : hook_(hook), context_(context) {}
    void messageBox(const std::string& text, const std::string& caption, int style) override {
        hook_(0, text.c_str(), caption.c_str(), style, context_);
    }
    void aboutBox() override { hook_(1, kAboutTitle, "", 0, context_); }

private:
    QuillonNoticeHook hook_;
    void* context_;
};

DefaultNotices g_default;
Notices* g_current = &g_default;
HookNotices g_hook(nullptr, nullptr);

}  // namespace

Notices& notices() {
    return *g_current;
}

void setNotices(Notices* service) {
    g_current = service ? service : &g_default;
}

}  // namespace session

extern "C" void QuillonSetNoticeHook(QuillonNoticeHook hook, void* context) {
    using namespace session;
    if (!hook) {
        setNotices(nullptr);
        return;
    }
    g_hook = HookNotices(hook, context);
    setNotices(&g_hook);
}
