// The built-in mappings and the reader of mapping files (INI, read by inih).
#include "outside/directory/mapping.h"

#include <ini.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/text/casefold.h"

namespace outside::directory {

using platform::text::foldCase;

namespace {

// Debian's core, cosine, inetorgperson and nis schemas. Domains, localities
// and dcObject entries below a tree root browse as organizational units:
// the trees show the container classes they know by name, and a class of
// another name would be hidden from them.
constexpr const char* kStandard = R"(
[mapping]
consoles = newer

[Workstation]
classes = device, ipHost
search = cn
field = Description = description
field = Location = l
field = RJ:Network Address = ipHostNumber, tcp
field = Owner = owner
field = Serial Number = serialNumber
field = Organizational Unit Name = ou

[User]
classes = inetOrgPerson, organizationalPerson, person
search = uid
field = Full Name = cn
field = Login Name = uid
field = Given Name = givenName
field = Surname = sn
field = Title = title
field = Department = departmentNumber
field = Telephone Number = telephoneNumber
field = Internet EMail Address = mail
field = Description = description
field = Location = l
field = Network Address = ipHostNumber, owner

[Alias]
classes = alias
field = Aliased Object Name = aliasedObjectName

[Organization]
classes = organization
field = Organization Name = o
field = Description = description

[Country]
classes = country
field = Country Name = c
field = Description = description

[Organizational Unit]
classes = organizationalUnit, domain, locality, dcObject
field = Organizational Unit Name = ou
field = Description = description

[Top]
field = Description = description
)";

// A computer is a user in this schema as well: Workstation comes first.
constexpr const char* kActiveDirectory = R"(
[mapping]
consoles = newer

[Workstation]
classes = computer
search = sAMAccountName, dNSHostName
field = Description = description
field = Location = location
field = RJ:Network Address = networkAddress
field = DNS Host Name = dNSHostName
field = Operating System = operatingSystem
field = Managed By = managedBy

[User]
classes = user, inetOrgPerson
search = sAMAccountName
field = Full Name = displayName
field = Login Name = sAMAccountName
field = Given Name = givenName
field = Surname = sn
field = Title = title
field = Department = department
field = Telephone Number = telephoneNumber
field = Internet EMail Address = mail
field = Description = description
field = Location = physicalDeliveryOfficeName
field = Network Address = networkAddress

[Organizational Unit]
classes = organizationalUnit, container, builtinDomain
field = Organizational Unit Name = ou
field = Description = description

[Top]
classes = domainDNS
field = Description = description
)";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> list(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = trim(text.substr(0, comma));
        if (!item.empty()) out.emplace_back(item);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return out;
}

bool validType(std::string_view type) {
    if (type.empty()) return false;
    for (char c : type) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ';';
        if (!ok) return false;
    }
    return true;
}

struct Parse {
    Mapping mapping;
    std::string error;  // set by the handler that failed
};

bool fail(Parse& parse, std::string message) {
    parse.error = std::move(message);
    return false;
}

int handle(void* user, const char* section, const char* name, const char* value) {
    Parse& parse = *static_cast<Parse*>(user);
    const std::string key = foldCase(trim(name));
    const std::string_view text = trim(value);
    if (foldCase(section) == "mapping") {
        if (key == "consoles") {
            const std::string which = foldCase(text);
            if (which != "newer" && which != "older")
                return fail(parse, "consoles must be \"newer\" or \"older\", not \"" +
                                       std::string(text) + "\"");
            parse.mapping.newerConsoles = which == "newer";
            return 1;
        }
        return fail(parse, "unknown setting \"" + std::string(trim(name)) + "\" in [mapping]");
    }
    if (!*section) return fail(parse, "a setting before the first [section]");
    Mapping& mapping = parse.mapping;
    if (mapping.classes.empty() || mapping.classes.back().name != section) {
        if (mapping.find(section))
            return fail(parse, "the class [" + std::string(section) + "] is given twice");
        mapping.classes.push_back({section, {}, {}, {}});
    }
    ClassMapping& cls = mapping.classes.back();
    if (key == "classes" || key == "search") {
        auto& into = key == "classes" ? cls.ldapClasses : cls.searchTypes;
        for (std::string& item : list(text)) {
            if (!validType(item)) return fail(parse, "\"" + item + "\" is no LDAP name");
            if (key == "classes") {
                for (const ClassMapping& other : mapping.classes) {
                    for (const std::string& taken : other.ldapClasses)
                        if (foldCase(taken) == foldCase(item))
                            return fail(parse, "the object class \"" + item + "\" is mapped to [" +
                                                   other.name + "] already");
                }
            }
            into.push_back(std::move(item));
        }
        return 1;
    }
    if (key != "field")
        return fail(parse, "unknown setting \"" + std::string(trim(name)) +
                               "\" (a class takes classes, search and field)");
    // field = <name> = <attribute>[, <form>]; the name may hold ":".
    const auto equals = text.rfind('=');
    if (equals == std::string_view::npos)
        return fail(parse, "a field is written \"field = <name> = <attribute>[, <form>]\"");
    const std::string fieldName(trim(text.substr(0, equals)));
    const std::vector<std::string> parts = list(text.substr(equals + 1));
    if (fieldName.empty() || parts.empty() || parts.size() > 2)
        return fail(parse, "a field is written \"field = <name> = <attribute>[, <form>]\"");
    if (!validType(parts[0])) return fail(parse, "\"" + parts[0] + "\" is no LDAP name");
    FieldMapping field{fieldName, parts[0], ValueForm::Stored};
    if (parts.size() == 2) {
        const std::string form = foldCase(parts[1]);
        if (form == "stored") {
            field.form = ValueForm::Stored;
        } else if (form == "tcp") {
            field.form = ValueForm::Tcp;
        } else if (form == "hostname") {
            field.form = ValueForm::HostName;
        } else if (form == "owner") {
            field.form = ValueForm::Owner;
        } else {
            return fail(parse,
                        "the form \"" + parts[1] + "\" is none of stored, tcp, hostname and owner");
        }
    }
    for (const FieldMapping& other : cls.fields)
        if (foldCase(other.name) == foldCase(field.name))
            return fail(parse,
                        "the field \"" + field.name + "\" is given twice in [" + cls.name + "]");
    cls.fields.push_back(std::move(field));
    return 1;
}

std::shared_ptr<const Mapping> parseMapping(const std::string& name, const std::string& file,
                                            const char* text) {
    Parse parse;
    parse.mapping.name = name;
    const int at =
        text ? ini_parse_string(text, handle, &parse) : ini_parse(file.c_str(), handle, &parse);
    if (at < 0) throw MappingError(file, 0, std::string("cannot read: ") + std::strerror(errno));
    if (at > 0)
        throw MappingError(file, static_cast<unsigned long>(at),
                           parse.error.empty() ? "not an INI line" : parse.error);
    const auto has = [&](const char* cls) { return parse.mapping.find(cls) != nullptr; };
    if (!has("User") || !has("Workstation"))
        throw MappingError(file, 0, "the mapping needs a [User] and a [Workstation] section");
    return std::make_shared<const Mapping>(std::move(parse.mapping));
}

}  // namespace

const ClassMapping* Mapping::find(std::string_view className) const {
    const std::string wanted = foldCase(className);
    for (const ClassMapping& cls : classes)
        if (foldCase(cls.name) == wanted) return &cls;
    return nullptr;
}

namespace {

// Appended step by step: GCC 12 at -O3 warns (-Wrestrict, wrongly) about the
// same text built as one expression of temporaries.
std::string whereAndWhy(const std::string& file, unsigned long line, const std::string& message) {
    std::string text = file;
    if (line) text.append(":").append(std::to_string(line));
    text.append(": ").append(message);
    return text;
}

}  // namespace

MappingError::MappingError(std::string file, unsigned long line, const std::string& message)
    : std::runtime_error(whereAndWhy(file, line, message)), file(std::move(file)), line(line) {}

std::shared_ptr<const Mapping> builtinMapping(std::string_view name) {
    static const auto ktr = [] {
        auto mapping = std::make_shared<Mapping>();
        mapping->name = "ktr";
        mapping->ktr = true;
        return std::shared_ptr<const Mapping>(mapping);
    }();
    static const auto standard = parseMapping("standard", "standard", kStandard);
    static const auto activeDirectory =
        parseMapping("activedirectory", "activedirectory", kActiveDirectory);
    const std::string wanted = foldCase(trim(name));
    if (wanted == "ktr") return ktr;
    if (wanted == "standard") return standard;
    if (wanted == "activedirectory") return activeDirectory;
    return nullptr;
}

std::shared_ptr<const Mapping> loadMappingFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw MappingError(path, 0, std::string("cannot read: ") + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw MappingError(path, 0, "not a regular file");
    if (st.st_size > (1 << 20)) throw MappingError(path, 0, "larger than 1 MiB");
    return parseMapping(path, path, nullptr);
}

bool MappingChoice::isAuto() const {
    const std::string v = foldCase(trim(value));
    return v.empty() || v == "auto";
}

std::shared_ptr<const Mapping> MappingChoice::resolve() const {
    if (isAuto()) return nullptr;
    if (auto builtin = builtinMapping(value)) return builtin;
    return loadMappingFile(std::string(trim(value)));
}

}  // namespace outside::directory
