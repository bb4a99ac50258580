// CQuillonCtrl, the session control: an in-process control that exposes the
// workstation's network client session to automation hosts through
// `_DQuillon` (log in and out, who the user is, the default context, the
// network name collections, drive mappings and captured ports) and fires
// `_DQuillonEvents`. It draws a fixed 28 by 28 pixel image in a design
// surface, persists its seven Boolean properties and names its two property
// pages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/dispatch.h"
#include "platform/automation/events.h"
#include "platform/framework/control.h"
#include "session/client.h"
#include "session/netnames.h"
#include "session/ports.h"

namespace session {

// DISPIDs of `_DQuillon` and `_DQuillonEvents`.
namespace dispid {
inline constexpr pa::DispId AutoClose = 1, Bindery = 2, ConnectionTab = 3, ScriptTab = 4,
                            VariablesTab = 5, RunScripts = 6, DisplayResults = 7, DriveMappings = 8,
                            ConnectedServers = 9, ConnectedTrees = 10, ConnectedVolumes = 11,
                            ServerNames = 12, TreeNames = 13, DefaultFullName = 14,
                            CapturedPorts = 15, Login = 16, Logout = 17, LoginName = 18,
                            DefaultFullNameFromTreeName = 19, AboutBox = -552;
inline constexpr pa::DispId OnLogin = 1, OnLogout = 2;
}  // namespace dispid

inline constexpr int kControlSize = 28;  // pixels, whatever the container asks

// One successful login: what was logged in to, as whom, and whether it was a
// tree (kind 0) or a server (kind 1).
struct LoginRecord {
    std::string name;
    std::string userName;
    int kind = 0;
};

class CQuillonCtrl : public pa::Dispatchable<CQuillonCtrl>,
                     public platform::framework::ControlBase {
public:
    static void describe(pa::MapBuilder<CQuillonCtrl>& b);
    static pa::Ref<CQuillonCtrl> create() { return pa::Ref<CQuillonCtrl>(new CQuillonCtrl); }

    pa::EventSource* events() noexcept override { return &events_; }

    // The seven Boolean properties.
    bool autoClose() const { return autoClose_; }
    bool bindery() const { return bindery_; }
    bool connectionTab() const { return connectionTab_; }
    bool scriptTab() const { return scriptTab_; }
    bool variablesTab() const { return variablesTab_; }
    bool runScripts() const { return runScripts_; }
    bool displayResults() const { return displayResults_; }

    bool login(std::string fullName, std::string loginName, std::string password, bool showUI);
    bool logout(std::string fullName);
    pa::Ref<KDNetObj> loginName(std::string name);
    std::string defaultFullName();
    void setDefaultFullName(std::string fullName);
    std::string defaultFullNameFromTreeName(std::string treeName);
    void aboutBox();
    // The control's one list of captured ports, read afresh.
    pa::Ref<KDCapturedPorts> capturedPorts();

    // The general page, then the network browser.
    std::vector<std::string> propertyPages() const override;

    // The full-name check behind the members above: the server or tree a
    // full name stands for. Sets contextText() and namesTree().
    std::string checkFullName(std::string_view fullName);
    const std::string& contextText() const { return contextText_; }
    bool namesTree() const { return treeFlag_; }

    const std::vector<LoginRecord>& loginRecords() const { return loginRecords_; }
    bool isNT() const { return nt_; }

    // The login-dialog library that Login loads, shared by every control of
    // the process; empty where none was chosen. Setting it replaces the
    // choice for the whole process (hosts that ship their own library).
    static std::string loginLibraryName();
    static void setLoginLibraryName(const std::string& platformName);

protected:
    void onDraw(QPainter& painter, const QRect& bounds) override;
    void doPropExchange(platform::framework::PropExchange& px) override;
    QSize onSetExtent(QSize) override { return QSize(kControlSize, kControlSize); }

private:
    CQuillonCtrl();
    ~CQuillonCtrl() override;

    // A read/write Boolean property: sets it and tells the container.
    void setFlag(std::int32_t& flag, bool value, pa::DispId id);

    std::int32_t autoClose_ = 0, bindery_ = 0, connectionTab_ = 0, scriptTab_ = 0,
                 variablesTab_ = 0, runScripts_ = 0, displayResults_ = 0;
    std::vector<LoginRecord> loginRecords_;
    pa::Ref<KDCapturedPorts> capturedPorts_;  // made on the first read, then kept
    DirContext context_;                      // set up by the full-name check, kept until the next
    std::string contextText_;
    bool treeFlag_ = false;
    bool nt_ = false;
    pa::EventSource events_;
};

}  // namespace session
