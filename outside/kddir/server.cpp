// The directory control's in-process server: its class, ProgID and type library.
#include "outside/kddir/kddirctrl.h"
#include "outside/kddir/objects.h"

namespace {

using namespace platform::automation;
using namespace outside::kddir;

ServerDescription describeServer() {
    ServerDescription d;
    TypeLibrary lib;
    lib.name = "KDDirLib";
    lib.guid = kLibraryId;
    lib.major = 1;
    lib.minor = 0;
    lib.locale = 0x409;
    lib.helpString = "Directory Browsing Control";
    lib.interfaces.push_back(describeInterface("_DKDDirCtrl",
                                               "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C010}",
                                               KDDirCtrl::classMap(), "Directory control"));
    InterfaceInfo events{"_DKDDirCtrlEvents", kEventsIid, "Directory control events", 0, true, {}};
    Member completed;
    completed.id = kSearchCompleted;
    completed.name = "SearchCompleted";
    completed.params = {{"Results", TypeCode::Variant, false, false}};
    events.members.push_back(completed);
    lib.interfaces.push_back(events);
    lib.interfaces.push_back(describeInterface(
        "IKDDirEntry", "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C011}", Entry::classMap()));
    lib.interfaces.push_back(describeInterface(
        "IKDDirCollection", "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C012}", Collection::classMap()));
    lib.interfaces.push_back(describeInterface(
        "IKDDirLayout", "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C013}", Layout::classMap()));
    lib.interfaces.push_back(describeInterface(
        "IKDDirFieldType", "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C014}", FieldType::classMap()));
    lib.classes.push_back({"KDDirCtrl", kClsid, "Directory Browsing Control", 0, "_DKDDirCtrl",
                           "_DKDDirCtrlEvents", true, true});
    d.typeLibrary = lib;

    ServerClass control;
    control.clsid = kClsid;
    control.name = "KDDirCtrl Control";
    control.progId = kProgId;
    control.versionIndependentProgId = "KDDirLib.KDDirCtrl";
    control.create = [] { return Ref<Object>(make<KDDirCtrl>()); };
    control.control = true;
    d.classes.push_back(control);
    return d;
}

}  // namespace

TVN_AUTOMATION_SERVER(describeServer)
