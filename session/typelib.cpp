// The description of the type library. The control and the collections are
// described from their dispatch maps, so the library cannot drift from what
// the objects answer; only the event interface is written out here.
#include "session/typelib.h"

#include "session/control.h"
#include "session/drives.h"
#include "session/netnames.h"
#include "session/ports.h"

namespace session {
namespace {

using pa::Member;
using pa::MemberKind;
using pa::ParamInfo;
using pa::TypeCode;

Member member(pa::DispId id, std::string name, MemberKind kind, TypeCode type,
              std::string helpString, int helpContext, std::vector<ParamInfo> params = {}) {
    Member m;
    m.id = id;
    m.name = std::move(name);
    m.kind = kind;
    m.type = type;
    m.helpString = std::move(helpString);
    m.helpContext = helpContext;
    m.params = std::move(params);
    return m;
}

pa::InterfaceInfo eventInterface() {
    pa::InterfaceInfo info;
    info.name = "_DQuillonEvents";
    info.guid = guid::DQuillonEvents;
    info.helpString = "Event interface for Marrel Session Control.";
    info.events = true;
    info.members = {
        member(dispid::OnLogin, "OnLogin", MemberKind::Method, TypeCode::Void,
               "Fired after a successful login is established.", 988,
               {{"FullName", TypeCode::String}}),
        member(dispid::OnLogout, "OnLogout", MemberKind::Method, TypeCode::Void,
               "Fired after a successful logout.", 989, {{"FullName", TypeCode::String}}),
    };
    return info;
}

pa::ClassInfo classInfo(std::string_view name, std::string_view id, std::string helpString,
                        int helpContext, std::string_view defaultInterface, bool creatable) {
    pa::ClassInfo info;
    info.name = name;
    info.guid = id;
    info.helpString = std::move(helpString);
    info.helpContext = helpContext;
    info.defaultInterface = defaultInterface;
    info.creatable = creatable;
    return info;
}

pa::TypeLibrary build() {
    pa::TypeLibrary lib;
    lib.name = "QuillonLib";
    lib.guid = guid::Library;
    lib.major = 1;
    lib.minor = 2;
    lib.locale = 0x409;
    lib.helpString = "Marrel Session Control";
    lib.helpFile = "quillon.hlp";
    lib.helpContext = 2;

    lib.interfaces.push_back(
        pa::describeInterface("_DQuillon", std::string(guid::DQuillon), CQuillonCtrl::classMap(),
                              "Dispatch interface for Marrel Session Control"));
    lib.interfaces.push_back(eventInterface());
    const struct {
        const char* name;
        std::string_view guid;
        const pa::DispatchMap& map;
    } collections[] = {
        {"IKDNetworkName", guid::IKDNetworkName, KDNetObj::classMap()},
        {"IKDNetworkNames", guid::IKDNetworkNames, KDNetObjects::classMap()},
        {"IKDDriveMappings", guid::IKDDriveMappings, KDDriveMappings::classMap()},
        {"IKDDriveMapping", guid::IKDDriveMapping, KDDriveMapping::classMap()},
        {"IKDCapturedPorts", guid::IKDCapturedPorts, KDCapturedPorts::classMap()},
        {"IKDCapturedPort", guid::IKDCapturedPort, KDCapturedPort::classMap()},
    };
    for (const auto& c : collections)
        lib.interfaces.push_back(pa::describeInterface(c.name, std::string(c.guid), c.map));

    pa::ClassInfo control =
        classInfo("Quillon", guid::Quillon, "Marrel Session Control", 2, "_DQuillon", true);
    control.sourceInterface = "_DQuillonEvents";
    control.control = true;
    lib.classes.push_back(control);
    lib.classes.push_back(classInfo("KDDriveMappings", guid::KDDriveMappings, "Drive Mappings ", 16,
                                    "IKDDriveMappings", true));
    lib.classes.push_back(classInfo("KDDriveMapping", guid::KDDriveMapping, "Drive Mapping ", 974,
                                    "IKDDriveMapping", false));
    lib.classes.push_back(classInfo("KDNetworkNames", guid::KDNetworkNames, "Network Names ", 17,
                                    "IKDNetworkNames", false));
    lib.classes.push_back(classInfo("KDNetworkName", guid::KDNetworkName, "Network Name ", 1429,
                                    "IKDNetworkName", false));
    lib.classes.push_back(classInfo("KDCapturedPorts", guid::KDCapturedPorts, "Captured Ports ", 4,
                                    "IKDCapturedPorts", false));
    lib.classes.push_back(classInfo("KDCapturedPort", guid::KDCapturedPort, "Captured Port ", 5,
                                    "IKDCapturedPort", false));

    pa::EnumInfo ports{kPrinterPortsType, "Printer ports constants", 12, {}};
    for (int port = 1; port <= 9; ++port)
        ports.values.push_back({"LPT" + std::to_string(port), port, "Printer port constant", 12});
    lib.enums.push_back(std::move(ports));
    return lib;
}

}  // namespace

const pa::TypeLibrary& quillonTypeLibrary() {
    static const pa::TypeLibrary library = build();
    return library;
}

}  // namespace session
