// Finding the workstation through the directory control; see workstation.h.
#include "outside/consoles/workstation.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

#include "app/lookup/KDDirCtrl.h"
#include "platform/automation/create.h"
#include "platform/automation/error.h"

namespace outside::consoles {

namespace pa = platform::automation;

namespace {

constexpr int kNoSuchObject = 601;

std::vector<std::string> split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const auto end = text.find(at, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

void search(const std::vector<std::string>& parts, std::size_t from, const std::string& path,
            const EntryExists& exists, std::vector<std::string>& found) {
    std::string level;
    for (std::size_t to = from; to < parts.size(); ++to) {
        // The parts run top down, a name's own dots leaf first.
        level = to > from ? parts[to] + '.' + level : parts[to];
        if (level.empty()) continue;  // a level of its own is never empty
        std::string candidate = path;
        candidate += '\\';
        candidate += level;
        if (to + 1 == parts.size()) {
            if (exists(candidate)) found.push_back(candidate);
        } else if (exists(candidate)) {
            search(parts, to + 1, candidate, exists, found);
        }
    }
}

std::string text(const QString& s) {
    return s.toStdString();
}

}  // namespace

std::string aliasTarget(const std::string& value) {
    if (value.rfind("KTR:\\\\", 0) == 0) return value;
    // A DN: its values top down are the full name's levels, the tree first.
    std::vector<std::string> levels;
    std::string level;
    bool inValue = false;
    bool skipping = false;  // the further values of a multi-valued RDN
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            if (inValue && !skipping)
                level += value[++i];
            else
                ++i;
        } else if (c == ',') {
            if (!inValue) return {};
            levels.push_back(level);
            level.clear();
            inValue = skipping = false;
        } else if (c == '+') {
            skipping = true;
        } else if (c == '=' && !inValue) {
            inValue = true;
        } else if (inValue && !skipping) {
            level += c;
        }
    }
    if (!inValue || level.empty()) return {};
    levels.push_back(level);
    for (std::string& l : levels) {
        l.erase(0, l.find_first_not_of(' '));
        l.erase(l.find_last_not_of(' ') + 1);
        if (l.empty()) return {};
    }
    std::string out = "KTR:\\\\";
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (it != levels.rbegin()) out += '\\';
        out += *it;
    }
    return out;
}

std::vector<std::string> fullNamesOf(const std::string& dotted, const std::string& tree,
                                     const EntryExists& exists) {
    std::vector<std::string> found;
    if (dotted.empty() || tree.empty()) return found;
    std::vector<std::string> parts = split(dotted, '.');
    std::reverse(parts.begin(), parts.end());  // top down
    std::string root = "KTR:\\\\";
    root += tree;
    search(parts, 0, root, exists, found);
    return found;
}

std::string tcpAddress(const std::vector<std::string>& values) {
    for (const std::string& value : values) {
        if (value.size() < 5 || value.compare(0, 4, "TCP ") != 0) continue;
        std::string address = value.substr(4);
        address.erase(0, address.find_first_not_of(' '));
        address.erase(address.find_last_not_of(' ') + 1);
        in_addr parsed{};
        if (inet_pton(AF_INET, address.c_str(), &parsed) == 1) return address;
    }
    return {};
}

bool isHostName(const std::string& host) {
    if (host.empty() || host.size() > 253 || host.front() == '-') return false;
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':';
    });
}

Workstation findWorkstation(const std::string& dotted, const std::string& tree) {
    if (dotted.empty()) throw LookupError("No workstation was named (-w is missing or empty).");
    if (tree.empty()) throw LookupError("No tree was named (-n is missing or empty).");
    std::unique_ptr<tvn::KDDirCtrl> control;
    try {
        control = std::make_unique<tvn::KDDirCtrl>(pa::createObject(tvn::KDDirCtrl::kProgId));
    } catch (const std::exception& e) {
        throw LookupError(std::string("The directory cannot be read: ") + e.what());
    }
    const EntryExists exists = [&](const std::string& fullName) {
        try {
            control->OpenEntry(QString::fromStdString(fullName));
            return true;
        } catch (const pa::AutomationError& e) {
            if (e.code() == kNoSuchObject) return false;
            throw LookupError(std::string("The directory cannot be read: ") + e.what());
        }
    };
    const std::vector<std::string> names = fullNamesOf(dotted, tree, exists);
    if (names.empty())
        throw LookupError(std::string("The workstation ") + dotted +
                          " is not in the directory tree " + tree + ".");
    if (names.size() > 1) {
        std::string list;
        for (const std::string& name : names) {
            if (!list.empty()) list += ", ";
            list += name;
        }
        throw LookupError(std::string("The name ") + dotted + " in the tree " + tree +
                          " fits more than one entry (" + list +
                          "); start the action from the entry itself.");
    }
    Workstation out;
    out.fullName = names.front();
    std::vector<std::string> values;
    try {
        tvn::KDDirEntry entry = control->OpenEntry(QString::fromStdString(out.fullName));
        // tvn starts a console on an alias of a workstation as on the
        // workstation itself.
        if (entry.LayoutName() == "Alias") {
            const std::string target =
                aliasTarget(text(entry.GetFieldValue("Aliased Object Name").value(0)));
            if (target.empty())
                throw LookupError(std::string("The alias ") + out.fullName +
                                  " names no entry that can be read.");
            try {
                entry = control->OpenEntry(QString::fromStdString(target));
            } catch (const pa::AutomationError& e) {
                if (e.code() != kNoSuchObject) throw;
                throw LookupError(std::string("The alias ") + out.fullName + " names " + target +
                                  ", which is not in the directory.");
            }
            out.fullName = target;
        }
        for (const QString& value : entry.GetFieldValue("RJ:Network Address"))
            values.push_back(text(value));
        out.address = tcpAddress(values);
        if (out.address.empty()) {
            // A computer of a domain may be known by its host name only.
            try {
                for (const QString& value : entry.GetFieldValue("DNS Host Name"))
                    if (isHostName(text(value))) {
                        out.address = text(value);
                        break;
                    }
            } catch (const pa::AutomationError&) {
                // No such field in this schema.
            }
        }
    } catch (const pa::AutomationError& e) {
        throw LookupError(std::string("The directory cannot be read: ") + e.what());
    }
    out.name = out.fullName.substr(out.fullName.rfind('\\') + 1);
    if (out.address.empty()) {
        std::string held;
        for (const std::string& value : values)
            if (!value.empty()) held += (held.empty() ? "" : ", ") + value;
        throw LookupError(std::string("The workstation ") + out.fullName +
                          " has no TCP address in the " + "directory" +
                          (held.empty() ? std::string(".") : std::string(" (only ") + held + ")."));
    }
    return out;
}

}  // namespace outside::consoles
