// The registration report of quillon-host info and the member list of
// quillon-host members.
#include "session/host/info.h"

#include <cstdio>
#include <iomanip>
#include <string>
#include <vector>

#include "platform/automation/create.h"
#include "platform/automation/error.h"
#include "platform/automation/server.h"
#include "platform/automation/typelib.h"
#include "platform/framework/control.h"
#include "platform/registry/classes.h"
#include "platform/registry/store.h"
#include "platform/text/casefold.h"
#include "session/host/latebound.h"

namespace quillonhost {

namespace {

namespace reg = platform::registry;

// "Label:" padded to one column, then the lines of the value.
void field(std::ostream& out, const std::string& label, const std::vector<std::string>& lines) {
    constexpr int kColumn = 22;
    out << std::left << std::setw(kColumn) << (label + ":");
    if (lines.empty()) out << "none\n";
    for (std::size_t i = 0; i < lines.size(); ++i)
        out << (i ? std::string(kColumn, ' ') : std::string()) << lines[i] << '\n';
}

void field(std::ostream& out, const std::string& label, const std::string& value) {
    field(out, label, value.empty() ? std::vector<std::string>{} : std::vector{value});
}

std::string hex(std::uint32_t value, int width = 0) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", width, value);
    return buffer;
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : ", ") + w;
    return out;
}

// The pages a control names, each with its ProgID and name.
std::vector<std::string> pageLines(const reg::ClassStores& registration, std::string_view progId) {
    const auto object = platform::automation::createObject(registration, progId);
    const auto* control = dynamic_cast<const platform::framework::ControlBase*>(object.get());
    std::vector<std::string> lines;
    if (!control) return lines;
    for (const std::string& clsid : control->propertyPages()) {
        std::string line = clsid;
        if (const auto page = registration.findClass(clsid))
            line += " " + page->progId + " (" + page->name + ")";
        else
            line += " (not registered)";
        lines.push_back(line);
    }
    return lines;
}

// The registration of a ProgID; nullopt when it has none.
auto classOf(const reg::ClassStores& registration, std::string_view progId) {
    const auto clsid = registration.clsidFromProgId(progId);
    return clsid ? registration.findClass(*clsid) : std::nullopt;
}

// The same, saying on err where it was looked for when there is none.
auto registeredClass(const reg::ClassStores& registration, std::string_view progId,
                     std::ostream& err) {
    auto cls = classOf(registration, progId);
    if (!cls)
        err << "quillon-host: " << progId << " is not registered (looked in "
            << registration.describe() << ")\n";
    return cls;
}

}  // namespace

std::optional<platform::automation::TypeLibrary> typeLibraryOf(std::string_view progId) {
    try {
        const reg::ClassStores registration = reg::ClassStores::openDefault();
        const auto cls = classOf(registration, progId);
        if (!cls || cls->typeLibrary.empty()) return std::nullopt;
        return platform::automation::loadTypeLibrary(registration, cls->typeLibrary, cls->version);
    } catch (const std::runtime_error&) {
        // Without a readable description the call goes ahead without constants.
        return std::nullopt;
    }
}

int printMembers(std::string_view progId, std::string_view part, std::ostream& out,
                 std::ostream& err) {
    const reg::ClassStores registration = reg::ClassStores::openDefault();
    const auto cls = registeredClass(registration, progId, err);
    if (!cls) return 1;
    std::optional<platform::automation::TypeLibrary> library;
    if (!cls->typeLibrary.empty()) {
        try {
            library =
                platform::automation::loadTypeLibrary(registration, cls->typeLibrary, cls->version);
        } catch (const std::runtime_error& e) {
            err << "quillon-host: the type library of " << progId << " cannot be read: " << e.what()
                << "\n";
            return 1;
        }
    }
    const platform::automation::ClassInfo* described = nullptr;
    if (library)
        for (const auto& c : library->classes)
            if (platform::text::equalsIgnoringCase(c.guid, cls->clsid)) described = &c;
    if (!described) {
        err << "quillon-host: no type library describes " << progId << " (class " << cls->clsid
            << ")\n";
        return 1;
    }
    if (!part.empty()) {
        if (const auto* other = library->findClass(part)) {
            described = other;
        } else if (const auto* interface = library->findInterface(part)) {
            // An interface on its own: as the default interface of a class.
            platform::automation::ClassInfo alone;
            alone.name = interface->name;
            alone.defaultInterface = interface->name;
            out << library->name << " " << library->version() << ": interface " << interface->name
                << "\n";
            for (const std::string& line : memberLines(*library, alone)) out << line << "\n";
            return 0;
        } else {
            err << "quillon-host: " << library->name << " describes no class or interface \""
                << part << "\"\n";
            return 1;
        }
    }
    out << library->name << " " << library->version() << ": class " << described->name;
    if (!described->helpString.empty()) out << "  \"" << described->helpString << "\"";
    out << "\n";
    for (const std::string& line : memberLines(*library, *described)) out << line << "\n";
    return 0;
}

int printInfo(std::string_view progId, std::ostream& out, std::ostream& err) {
    const reg::ClassStores registration = reg::ClassStores::openDefault();
    const auto cls = registeredClass(registration, progId, err);
    if (!cls) return 1;

    field(out, "ProgID", cls->progId.empty() ? std::string(progId) : cls->progId);
    if (!cls->versionIndependentProgId.empty())
        field(out, "Version-independent", cls->versionIndependentProgId);
    field(out, "Name", cls->name);
    field(out, "Class id", cls->clsid);
    field(out, "Server", cls->serverPath);
    field(out, "Threading", cls->threadingModel);
    std::string typeLibrary;
    if (!cls->typeLibrary.empty()) {
        std::string name;
        try {
            if (const auto lib = platform::automation::loadTypeLibrary(
                    registration, cls->typeLibrary, cls->version))
                name = lib->name + " ";
        } catch (const std::runtime_error&) {
            name = "(unreadable) ";
        }
        typeLibrary =
            name + cls->typeLibrary + " version " + (cls->version.empty() ? "?" : cls->version);
    }
    field(out, "Type library", typeLibrary);
    field(out, "Kind", cls->control ? "control" : cls->insertable ? "insertable object" : "object");
    field(out, "Misc status",
          cls->miscStatus
              ? "0x" + hex(*cls->miscStatus) + " (" +
                    joined(platform::automation::describeMiscStatus(*cls->miscStatus)) + ")"
              : std::string());
    field(out, "Toolbox bitmap", cls->toolboxBitmap);
    std::vector<std::string> categories;
    for (const std::string& catid : cls->implementedCategories)
        categories.push_back(catid + " " + registration.categoryDescription(catid).value_or("?"));
    field(out, "Categories", categories);

    int status = 0;
    std::vector<std::string> pages;
    if (cls->control) {
        try {
            pages = pageLines(registration, progId);
        } catch (const platform::automation::AutomationError& e) {
            err << "quillon-host: the property pages of " << progId
                << " are not known: " << errorLine(e.code(), e.description()) << "\n";
            pages = {"not known (the object cannot be created)"};
            status = 1;
        }
    }
    field(out, "Property pages", pages);

    if (const auto& v = cls->versionInfo) {
        out << "Version information:\n";
        field(out, "  File version", v->fileVersion);
        field(out, "  Product version", v->productVersion);
        field(out, "  File description", v->fileDescription);
        field(out, "  Product name", v->productName);
        field(out, "  Internal name", v->internalName);
        field(out, "  Original file name", v->originalFilename);
        field(out, "  Language",
              hex(v->language, 4) + ", code page " + std::to_string(v->codePage));
    } else {
        field(out, "Version information", std::string());
    }
    return status;
}

}  // namespace quillonhost
