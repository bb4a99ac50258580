// The few things the control shows the user: message boxes (a missing login
// library, an unsupported platform) and the About box. They go through one
// replaceable service so that a host or a test can observe them; by default
// they are real dialogs when a QApplication exists and lines on stderr when
// not (a windowless host must never block on a dialog nobody can see).
#pragma once

#include <string>

namespace session {

// Message box styles the control uses.
inline constexpr int kStyleExclamationOk = 0x30;

class Notices {
public:
    virtual ~Notices() = default;
    virtual void messageBox(const std::string& text, const std::string& caption, int style) = 0;
    virtual void aboutBox() = 0;
};

// The service in use; setNotices(nullptr) restores the default.
Notices& notices();
void setNotices(Notices* service);

}  // namespace session

extern "C" {
// For hosts that load the control by ProgID and want to see its notices
// (kind 0 a message box, 1 the About box, whose text is the box's title).
typedef void (*QuillonNoticeHook)(int kind, const char* text, const char* caption, int style,
                                  void* context);
// A null hook restores the default service.
__attribute__((visibility("default"))) void QuillonSetNoticeHook(QuillonNoticeHook hook,
                                                                 void* context);
}
