// Arguments, member paths and results of late-bound calls.
#include "session/host/latebound.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "platform/automation/dispatch.h"
#include "platform/automation/enumerator.h"
#include "platform/automation/error.h"

namespace quillonhost {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool isInteger(std::string_view word) {
    if (!word.empty() && (word.front() == '-' || word.front() == '+')) word.remove_prefix(1);
    if (word.empty()) return false;
    for (char c : word)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool digitsAt(std::string_view word, std::size_t& i) {
    const std::size_t start = i;
    while (i < word.size() && std::isdigit(static_cast<unsigned char>(word[i]))) ++i;
    return i > start;
}

// [sign] digits [. digits] [e [sign] digits], or [sign] . digits: written
// as a person writes a decimal, never "inf", "nan" or hexadecimal.
bool isDecimal(std::string_view word) {
    std::size_t i = 0;
    if (i < word.size() && (word[i] == '-' || word[i] == '+')) ++i;
    bool digits = digitsAt(word, i);
    if (i < word.size() && word[i] == '.') {
        ++i;
        digits = digitsAt(word, i) || digits;
    }
    if (!digits) return false;
    if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
        ++i;
        if (i < word.size() && (word[i] == '-' || word[i] == '+')) ++i;
        if (!digitsAt(word, i)) return false;
    }
    return i == word.size();
}

std::optional<std::int32_t> constantNamed(const pa::TypeLibrary* library, std::string_view word) {
    if (!library) return std::nullopt;
    for (const pa::EnumInfo& e : library->enums)
        for (const pa::EnumValue& v : e.values)
            if (equalsNoCase(v.name, word)) return v.value;
    return std::nullopt;
}

const pa::Member* readMember(pa::Object& object, pa::DispId id) {
    const pa::DispatchMap& map = object.dispatchMap();
    if (const pa::Member* get = map.find(id, pa::MemberKind::PropertyGet)) return get;
    return map.find(id, pa::MemberKind::Method);
}

// Item(args), or the default member when there is no Item.
pa::Variant indexInto(const pa::Variant& value, const pa::Args& args, const std::string& what) {
    const pa::Ref<pa::Object> collection = value.toObject();
    if (!collection) throw pa::AutomationError::standard(pa::error::ObjectNotSet, what);
    if (collection->hasMember("Item")) return collection->get("Item", args);
    return collection->invoke(pa::DispIdValue, pa::CallKind::Get, args);
}

constexpr int kDescribeDepth = 3;

std::string describe(const pa::Variant& value, int depth);

std::string describeObject(pa::Object& object, int depth) {
    if (depth <= 0) return "(object)";
    const pa::DispatchMap& map = object.dispatchMap();
    if (map.find(pa::DispIdValue, pa::MemberKind::PropertyGet))
        return describe(object.value(), depth - 1);
    // Without a default member: its simple properties, Name=value.
    std::string out;
    for (const pa::Member& m : map.members()) {
        if (m.kind != pa::MemberKind::PropertyGet || !m.params.empty() || m.hidden ||
            m.id == pa::DispIdValue)
            continue;
        if (!out.empty()) out += ' ';
        out += m.name + "=" + describe(object.invoke(m.id, pa::CallKind::Get, {}), depth - 1);
    }
    return out.empty() ? "(object)" : out;
}

std::string describe(const pa::Variant& value, int depth) {
    switch (value.kind()) {
        case pa::Variant::Kind::Empty:
        case pa::Variant::Kind::Missing:
            return {};
        case pa::Variant::Kind::Null:
            return "Null";
        case pa::Variant::Kind::Object: {
            const pa::Ref<pa::Object> object = value.toObject();
            return object ? describeObject(*object, depth) : "Nothing";
        }
        case pa::Variant::Kind::Array: {
            std::string out;
            for (const pa::Variant& item : value.array())
                out += (out.empty() ? "" : ", ") + describe(item, depth - 1);
            return out;
        }
        default:
            return value.toString();
    }
}

}  // namespace

pa::Variant parseArgument(std::string_view word, const pa::TypeLibrary* constants) {
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
        return pa::Variant(std::string(word.substr(1, word.size() - 2)));
    if (equalsNoCase(word, "true")) return pa::Variant(true);
    if (equalsNoCase(word, "false")) return pa::Variant(false);
    if (equalsNoCase(word, "null")) return pa::Variant::null();
    if (isInteger(word)) {
        const std::string_view digits = word.front() == '+' ? word.substr(1) : word;
        std::int32_t value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec == std::errc() && end == digits.data() + digits.size()) return pa::Variant(value);
        return pa::Variant(std::strtod(std::string(word).c_str(), nullptr));
    }
    if (isDecimal(word)) {
        // strtod would read the decimal separator of the user's locale.
        const std::string_view digits = word.front() == '+' ? word.substr(1) : word;
        double value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec == std::errc() && end == digits.data() + digits.size()) return pa::Variant(value);
    }
    if (const auto value = constantNamed(constants, word)) return pa::Variant(*value);
    return pa::Variant(std::string(word));
}

std::vector<PathStep> parseMemberPath(std::string_view path, const pa::TypeLibrary* constants) {
    std::vector<PathStep> steps;
    std::size_t i = 0;
    const auto fail = [&](const std::string& why) {
        throw std::invalid_argument("member path \"" + std::string(path) + "\": " + why);
    };
    while (true) {
        PathStep step;
        while (i < path.size() && path[i] != '.' && path[i] != '(') step.member += path[i++];
        step.member = std::string(trimmed(step.member));
        if (step.member.empty()) fail("a member name is missing");
        if (i < path.size() && path[i] == '(') {
            step.indexed = true;
            ++i;
            std::string arg;
            bool quoted = false, closed = false, any = false;
            int depth = 0;
            for (; i < path.size(); ++i) {
                const char c = path[i];
                if (c == '"') quoted = !quoted;
                if (!quoted && c == '(') ++depth;
                if (!quoted && c == ')' && depth-- == 0) {
                    closed = true;
                    ++i;
                    break;
                }
                if (!quoted && depth == 0 && c == ',') {
                    step.args.push_back(parseArgument(trimmed(arg), constants));
                    arg.clear();
                    any = true;
                    continue;
                }
                arg += c;
            }
            if (!closed) fail("a \")\" is missing");
            if (any || !trimmed(arg).empty())
                step.args.push_back(parseArgument(trimmed(arg), constants));
            if (i < path.size() && path[i] != '.') fail("text follows \")\"");
        }
        steps.push_back(std::move(step));
        if (i >= path.size()) break;
        ++i;  // the "."
        if (i >= path.size()) fail("a member name is missing after \".\"");
    }
    return steps;
}

pa::Variant callPath(pa::Object& object, const std::vector<PathStep>& path,
                     const pa::Args& lastArgs) {
    pa::Variant current(pa::ref(&object));
    for (std::size_t i = 0; i < path.size(); ++i) {
        const PathStep& step = path[i];
        const bool last = i + 1 == path.size();
        const pa::Ref<pa::Object> target = current.toObject();
        if (!target) throw pa::AutomationError::standard(pa::error::ObjectNotSet, step.member);
        const pa::DispId id = target->dispId(step.member);
        const pa::Member* member = readMember(*target, id);
        const bool takesArguments = !member || !member->params.empty();

        pa::Args args = step.args;
        if (last) args.insert(args.end(), lastArgs.begin(), lastArgs.end());
        // One value for a property is a put, also for a property that
        // cannot be set: the object says so in its own words.
        if (last && !step.indexed && args.size() == 1 && !takesArguments &&
            (target->dispatchMap().find(id, pa::MemberKind::PropertyPut) ||
             member->kind == pa::MemberKind::PropertyGet)) {
            target->invoke(id, pa::CallKind::Put, args);
            return {};
        }
        if (step.indexed && !takesArguments) {
            if (last && !lastArgs.empty())
                throw pa::AutomationError::standard(pa::error::WrongArgumentCount, step.member);
            current = indexInto(target->invoke(id, pa::CallKind::Get, {}), step.args, step.member);
        } else {
            current = target->invoke(id, pa::CallKind::Get, args);
        }
    }
    return current;
}

bool isCollection(const pa::Variant& value) {
    if (!value.isObject() || value.isNothing()) return false;
    const pa::DispatchMap& map = value.toObject()->dispatchMap();
    return map.find(pa::DispIdNewEnum, pa::MemberKind::Method) ||
           map.find(pa::DispIdNewEnum, pa::MemberKind::PropertyGet);
}

std::string describeValue(const pa::Variant& value) {
    return describe(value, kDescribeDepth);
}

std::vector<std::string> resultLines(const pa::Variant& value) {
    std::vector<std::string> lines;
    if (value.isEmpty()) return lines;
    if (isCollection(value)) {
        for (const pa::Variant& item : pa::enumerate(*value.toObject()))
            lines.push_back(describeValue(item));
    } else if (value.isArray()) {
        for (const pa::Variant& item : value.array()) lines.push_back(describeValue(item));
    } else {
        lines.push_back(describeValue(value));
    }
    return lines;
}

std::string summarizeValue(const pa::Variant& value) {
    if (!isCollection(value)) return describeValue(value);
    const std::vector<std::string> items = resultLines(value);
    std::string out = std::to_string(items.size()) + (items.size() == 1 ? " item" : " items");
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : ": ") + items[i];
    return out;
}

std::string errorLine(int code, const std::string& description) {
    return "error " + std::to_string(code) + ": " + description;
}

namespace {

std::string typeText(pa::TypeCode type, const std::string& typeName) {
    return typeName.empty() ? pa::typeCodeName(type) : typeName;
}

std::string signature(const pa::Member& m, bool withParams) {
    std::string out = m.name;
    if (withParams) {
        out += "(";
        for (std::size_t i = 0; i < m.params.size(); ++i) {
            const pa::ParamInfo& p = m.params[i];
            std::string param =
                (p.byRef ? "ByRef " : "") + p.name + " As " + typeText(p.type, p.typeName);
            out += (i ? ", " : "") + (p.optional ? "[" + param + "]" : param);
        }
        out += ")";
    }
    if (m.type != pa::TypeCode::Void) out += " As " + typeText(m.type, m.typeName);
    return out;
}

// "  DISPID  kind     signature  help string (help context)"
std::string memberLine(pa::DispId id, const std::string& kind, const std::string& text,
                       const pa::Member& m) {
    char head[32];
    std::snprintf(head, sizeof head, "%8d  %-8s ", id, kind.c_str());
    std::string line = head + text;
    if (m.isDefault) line += " (default)";
    if (m.hidden) line += " (hidden)";
    if (!m.helpString.empty()) line += "  \"" + m.helpString + "\"";
    if (m.helpContext) line += " (" + std::to_string(m.helpContext) + ")";
    return line;
}

void interfaceLines(const pa::InterfaceInfo& info, std::vector<std::string>& lines) {
    lines.push_back(std::string(info.events ? "Events " : "Interface ") + info.name +
                    (info.helpString.empty() ? "" : "  \"" + info.helpString + "\""));
    for (const pa::Member& m : info.members) {
        if (info.events) {
            lines.push_back(memberLine(m.id, "event", signature(m, true), m));
            continue;
        }
        switch (m.kind) {
            case pa::MemberKind::Method:
                lines.push_back(memberLine(m.id, "method", signature(m, true), m));
                break;
            case pa::MemberKind::PropertyGet: {
                const bool settable = pa::findMember(info, m.name, pa::MemberKind::PropertyPut);
                lines.push_back(memberLine(m.id, settable ? "get/put" : "get",
                                           signature(m, !m.params.empty()), m));
                break;
            }
            case pa::MemberKind::PropertyPut:
                // Listed with its get; a property that can only be set stands alone.
                if (!pa::findMember(info, m.name, pa::MemberKind::PropertyGet)) {
                    pa::Member value = m;
                    value.type = m.params.empty() ? pa::TypeCode::Void : m.params.back().type;
                    value.params.clear();
                    lines.push_back(memberLine(m.id, "put", signature(value, false), m));
                }
                break;
        }
    }
}

}  // namespace

std::vector<std::string> memberLines(const pa::TypeLibrary& library, const pa::ClassInfo& cls) {
    std::vector<std::string> lines;
    for (const std::string& name : {cls.defaultInterface, cls.sourceInterface}) {
        if (name.empty()) continue;
        if (const pa::InterfaceInfo* info = library.findInterface(name))
            interfaceLines(*info, lines);
        else
            lines.push_back("Interface " + name + ": not described by " + library.name);
    }
    for (const pa::EnumInfo& e : library.enums) {
        std::string line = "Constants " + e.name + ":";
        for (std::size_t i = 0; i < e.values.size(); ++i)
            line += (i ? ", " : " ") + e.values[i].name + " = " + std::to_string(e.values[i].value);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace quillonhost
