// The type library "QuillonLib" 1.2: the control's dispatch and event
// interfaces, the collection and item interfaces, the classes and the
// printer-port constants, with their fixed GUIDs.
#pragma once

#include <string_view>

#include "platform/automation/typelib.h"

namespace session {

namespace guid {
inline constexpr std::string_view Library = "{6C1F3A20-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view DQuillon = "{6C1F3A21-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view DQuillonEvents = "{6C1F3A22-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view Quillon = "{6C1F3A23-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view IKDDriveMappings = "{6C1F3A24-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view IKDDriveMapping = "{6C1F3A25-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view IKDNetworkName = "{6C1F3A26-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view IKDNetworkNames = "{6C1F3A27-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view IKDCapturedPorts = "{6C1F3A28-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view IKDCapturedPort = "{6C1F3A29-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view KDDriveMappings = "{6C1F3A2A-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view KDDriveMapping = "{6C1F3A2B-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view KDNetworkNames = "{6C1F3A2C-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view KDNetworkName = "{6C1F3A2D-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view KDCapturedPorts = "{6C1F3A2E-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view KDCapturedPort = "{6C1F3A2F-5B7E-4D2A-9E41-2A8D0C1B7F01}";
// The property pages, which are classes of the server but not of the library.
inline constexpr std::string_view QuillonPropPage = "{6C1F3A30-5B7E-4D2A-9E41-2A8D0C1B7F01}";
inline constexpr std::string_view TreeContextPPg = "{6C1F3A31-5B7E-4D2A-9E41-2A8D0C1B7F01}";
}  // namespace guid

inline constexpr std::string_view kControlProgId = "QuillonLib.QuillonCtrl.1";
inline constexpr std::string_view kDriveMappingsProgId = "QuillonLib.DriveMappings";
inline constexpr std::string_view kPropPageProgId = "QuillonLib.QuillonPropPage.1";
inline constexpr std::string_view kTreePageProgId = "QuillonLib.CTreeContextPPg";

const platform::automation::TypeLibrary& quillonTypeLibrary();

}  // namespace session
