// How a site's schema is read as the directory's classes and fields. A
// directory written for us names its classes and attribute types itself
// (X-KTR-NAME, the `ktr` mapping); any other directory is read through a
// mapping: which of its object classes are a "User", a "Workstation" or a
// container, which attribute types stand behind the fields a person looks at,
// and in which form an address field's values are given.
//
// Three mappings are built in (`standard` for the usual LDAP person and
// device classes, `activedirectory`, and `ktr`); a site with classes of its
// own writes a mapping file in the same INI form as the built-in ones:
//
//   [mapping]
//   consoles = newer            ; "older": no "RK:Harbex File Transfer" field type
//
//   [Workstation]               ; a directory class; the first section that
//   classes = device, ipHost    ; lists one of an entry's classes wins
//   search = serialNumber       ; types a name search matches besides the RDN
//   field = RJ:Network Address = ipHostNumber, tcp
//   field = Description = description
//
// A field's form is `stored` (the default: values as the server holds them),
// `tcp` (an IPv4 address, shown "TCP a.b.c.d"), `hostname` (a host name,
// resolved when it is read to its IPv4 addresses, each "TCP a.b.c.d") or
// `owner` (the named attribute's values, in the `tcp` form, of the
// workstations whose `owner` names this entry).
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace outside::directory {

enum class ValueForm { Stored, Tcp, HostName, Owner };

struct FieldMapping {
    std::string name;       // the field as a person reads it: "Network Address"
    std::string attribute;  // the LDAP attribute type behind it: "networkAddress"
    ValueForm form = ValueForm::Stored;
};

struct ClassMapping {
    std::string name;                      // the directory class: "User"
    std::vector<std::string> ldapClasses;  // the object classes read as it
    std::vector<std::string> searchTypes;  // attribute types a name search also matches
    std::vector<FieldMapping> fields;      // the layout's first fields, in order
};

struct Mapping {
    // "ktr", "standard", "activedirectory", or the path of a mapping file.
    std::string name;
    // The `ktr` mapping reads the schema's own names; every other one maps.
    bool ktr = false;
    // Declares the field type "RK:Harbex File Transfer", which tells the
    // newer console generation.
    bool newerConsoles = true;
    // In order of precedence: the most specific class first.
    std::vector<ClassMapping> classes;

    const ClassMapping* find(std::string_view className) const;
};

// A mapping file that cannot be used: where and why. what() is
// "file:line: message" (line 0: not about one line).
class MappingError : public std::runtime_error {
public:
    MappingError(std::string file, unsigned long line, const std::string& message);
    std::string file;
    unsigned long line;
};

// The built-in mappings by name (case ignored); nullptr for another name.
std::shared_ptr<const Mapping> builtinMapping(std::string_view name);

// Reads a mapping file. Throws MappingError naming the file and the line.
std::shared_ptr<const Mapping> loadMappingFile(const std::string& path);

// What the configuration asks for: "auto" (or empty), a built-in name, or a
// mapping file's path.
struct MappingChoice {
    std::string value = "auto";
    bool isAuto() const;
    // The mapping it names, or nullptr for auto. Throws MappingError.
    std::shared_ptr<const Mapping> resolve() const;
};

}  // namespace outside::directory
