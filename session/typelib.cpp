// The description of the type library. The control and the name collections
// are described from their dispatch maps, so the library cannot drift from
// what the objects answer; the event interface and the drive and port
// interfaces are written out here.
#include "session/typelib.h"

#include "session/control.h"
#include "session/netnames.h"

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

Member returning(Member m, std::string interfaceName) {
    m.typeName = std::move(interfaceName);
    return m;
}

Member asDefault(Member m) {
    m.isDefault = true;
    return m;
}

pa::InterfaceInfo plainInterface(std::string_view name, std::string_view id,
                                 std::vector<Member> members) {
    pa::InterfaceInfo info;
    info.name = name;
    info.guid = id;
    info.members = std::move(members);
    return info;
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

std::vector<pa::InterfaceInfo> driveAndPortInterfaces() {
    const auto get = MemberKind::PropertyGet;
    const auto method = MemberKind::Method;
    return {
        plainInterface(
            "IKDDriveMappings", guid::IKDDriveMappings,
            {member(1, "Count", get, TypeCode::Int32,
                    "Returns the number of drive mapping objects in this collection.", 486),
             member(2, "Remove", method, TypeCode::Boolean,
                    "Removes a logical drive mapping from this network session.", 1007,
                    {{"Index", TypeCode::Variant}}),
             returning(
                 member(3, "Add", method, TypeCode::Object, "Adds a logical drive mapping.", 1006,
                        {{"DriveLetter", TypeCode::String},
                         {"FullName", TypeCode::String},
                         {"MapAsRoot", TypeCode::Variant, true}}),
                 "IKDDriveMapping"),
             returning(asDefault(member(4, "Item", get, TypeCode::Object,
                                        "Returns the requested KDDriveMapping object from the "
                                        "collection according to Index.",
                                        368, {{"Index", TypeCode::Variant}})),
                       "IKDDriveMapping")}),
        plainInterface(
            "IKDDriveMapping", guid::IKDDriveMapping,
            {member(1, "DriveLetter", get, TypeCode::String,
                    "Returns the letter of the logical drive as mapped in the current session.",
                    997),
             asDefault(member(2, "FullName", get, TypeCode::String,
                              "Returns the full name of the network drive and directory for "
                              "this KDDriveMapping object.",
                              998)),
             member(3, "MappedAsRoot", get, TypeCode::Boolean,
                    "Specifies whether the path was mapped to the root of a network volume.",
                    999)}),
        plainInterface(
            "IKDCapturedPorts", guid::IKDCapturedPorts,
            {member(1, "Count", get, TypeCode::Int32,
                    "Specifies the number of ports that have been captured.", 486),
             returning(member(2, "Add", method, TypeCode::Object,
                              "Adds a new KDCapturedPort.  Valid ports are from 1 to 9.", 10,
                              {{"Port", TypeCode::Int32}, {"FullName", TypeCode::String}}),
                       "IKDCapturedPort"),
             member(3, "Remove", method, TypeCode::Void,
                    "Removes a captured port.  Valid ports are 1 to 9.", 11,
                    {{"Port", TypeCode::Int32}}),
             returning(asDefault(member(4, "Item", get, TypeCode::Object,
                                        "Returns an KDCapturedPort.  Index is a value from 0 to 8",
                                        368, {{"Index", TypeCode::Int16}})),
                       "IKDCapturedPort"),
             [] {
                 Member m = member(pa::DispIdNewEnum, "_NewEnum", MemberKind::Method,
                                   TypeCode::Object, "", 0);
                 m.hidden = true;
                 return m;
             }()}),
        plainInterface("IKDCapturedPort", guid::IKDCapturedPort,
                       {member(1, "Port", get, TypeCode::Int16,
                               "Specifies the port number.  Valid ports are from 1 to 9.", 14),
                        returning(member(2, "QueueName", get, TypeCode::Object,
                                         "Specifies the name of the port being captured.", 15),
                                  "KDNetworkName")}),
    };
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
    lib.interfaces.push_back(pa::describeInterface(
        "IKDNetworkName", std::string(guid::IKDNetworkName), KDNetObj::classMap()));
    lib.interfaces.push_back(pa::describeInterface(
        "IKDNetworkNames", std::string(guid::IKDNetworkNames), KDNetObjects::classMap()));
    for (auto& i : driveAndPortInterfaces()) lib.interfaces.push_back(std::move(i));

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

    pa::EnumInfo ports{"KDPrinterPorts", "Printer ports constants", 12, {}};
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
