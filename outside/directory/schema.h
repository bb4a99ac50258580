// The schema of a directory: its classes (each with the layout of its fields)
// and its attribute types (the field types), read from RFC 4512 definitions.
// The directory's own name of a class or attribute is the value of its
// X-KTR-NAME extension; an element without one is known by its first LDAP
// name, except the class `top`, which every tree root has and which is known
// as "Top" (unless a class of its own carries that name: then that one is the
// tree roots' class), and the standard classes and attribute types that a
// server ships built in (alias, country, organization, organizationalUnit;
// cn, sn, ou, ...), which take the directory's usual names ("Alias",
// "Organizational Unit", "Surname") unless another element claims them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "outside/directory/mapping.h"

namespace outside::directory {

class DirectorySnapshot;

using AttributeId = std::uint32_t;
using ClassId = std::uint32_t;

// A field of a mapped schema that is read from another attribute type: per
// directory class, the type behind it and the form its values take.
struct Derivation {
    static constexpr ClassId kAnyClass = static_cast<ClassId>(-1);
    ClassId cls = kAnyClass;  // kAnyClass: the classes that have no derivation of their own
    std::uint32_t backing = 0;
    ValueForm form = ValueForm::Stored;
};

struct AttributeType {
    std::string name;  // the directory's name, e.g. "Network Address"
    std::string oid;
    std::vector<std::string> ldapNames;
    std::string syntax;
    bool singleValue = false;
    // False for a type that the data or a class uses but the schema does not
    // define; it is known by the name it was used with.
    bool declared = true;
    // Not empty for a field of a mapping: where its values come from.
    std::vector<Derivation> derivations;
};

struct ObjectClass {
    enum class Kind { Abstract, Structural, Auxiliary };
    std::string name;  // the directory's name, e.g. "User"
    std::string oid;
    std::vector<std::string> ldapNames;
    Kind kind = Kind::Structural;
    std::vector<ClassId> superclasses;
    std::vector<AttributeId> must;
    std::vector<AttributeId> may;
    // The layout: the fields of the superclasses first (in SUP order), then
    // the class's own MUST, then its own MAY attributes, each in definition
    // order, every attribute once. `objectClass` is no field.
    std::vector<AttributeId> fields;
    bool declared = true;
    // False for LDAP's `top` when another class carries the name "Top": it is
    // then found by its LDAP name only and is no layout of the directory.
    bool named = true;
};

// A definition that cannot be used. `list` is "attributeTypes" or
// "objectClasses", `index` the position of the definition in that list.
class SchemaError : public std::runtime_error {
public:
    SchemaError(const std::string& message, std::string list, std::size_t index)
        : std::runtime_error(message), list(std::move(list)), index(index) {}
    std::string list;
    std::size_t index;
};

class Schema {
public:
    // Bounds on what a schema may ask for, checked before the work they would
    // cost: the classes an entry's class number can tell apart, and the
    // fields of all layouts together (a deep chain of classes that each add
    // a field needs the square of its length).
    static constexpr std::size_t kMaxClasses = 65535;
    static constexpr std::size_t kMaxLayoutFields = 4'000'000;

    // Reads attribute type and object class descriptions (RFC 4512, parsed by
    // libldap). Attributes named by a class but not defined become undeclared
    // types; an unknown superclass, a SUP cycle, a malformed definition or two
    // elements with the same name or OID throw SchemaError.
    //
    // With a mapping other than `ktr`, classes and types are known by their
    // LDAP names, the mapping's classes are added with the layouts it gives,
    // and the object classes it maps are known by their LDAP names only.
    static Schema parse(const std::vector<std::string_view>& attributeTypes,
                        const std::vector<std::string_view>& objectClasses,
                        std::shared_ptr<const Mapping> mapping = nullptr);

    // The mapping the schema is read through; nullptr for the `ktr` way.
    const std::shared_ptr<const Mapping>& mapping() const { return mapping_; }
    bool mapped() const { return mapping_ != nullptr; }
    std::string mappingName() const { return mapping_ ? mapping_->name : "ktr"; }

    // The directory class an object class is read as: the mapping's class
    // that lists it, else the class itself.
    ClassId directoryClass(ClassId ldapClass) const {
        return ldapClass < directoryClass_.size() ? directoryClass_[ldapClass] : ldapClass;
    }
    // The object classes read as a directory class (its LDAP names, or those
    // of the classes the mapping lists for it), and those that an entry must
    // not have to be of it (the classes that take precedence over it).
    std::vector<std::string> ldapNamesOf(ClassId directoryClass) const;
    std::vector<std::string> precedingLdapNames(ClassId directoryClass) const;
    // The attribute types (LDAP names) a name search matches besides the
    // entry's relative name, for any of these classes (every class: empty).
    std::vector<std::string> searchTypes(const std::vector<ClassId>& classes) const;
    // How a field is read for an entry of this class; nullptr when it is a
    // plain attribute type.
    const Derivation* derivation(AttributeId attribute, ClassId cls) const;
    // Registers an object class that data uses without the schema defining
    // it (only a mapped schema accepts those), or returns the known one.
    ClassId addUndeclaredClass(std::string_view ldapName);
    // Adds attribute types to the end of a class's layout (those that the
    // entries of a source without a schema were seen to use).
    void extendLayout(ClassId cls, const std::vector<AttributeId>& attributes);

    std::size_t attributeCount() const { return attributes_.size(); }
    const AttributeType& attribute(AttributeId id) const { return attributes_.at(id); }
    std::size_t classCount() const { return classes_.size(); }
    const ObjectClass& objectClass(ClassId id) const { return classes_.at(id); }

    // By the directory's name, without regard to case.
    std::optional<AttributeId> findAttribute(std::string_view name) const;
    std::optional<ClassId> findClass(std::string_view name) const;
    // By any LDAP name or the OID, without regard to case; attribute options
    // (";binary", ";lang-de") are ignored.
    std::optional<AttributeId> attributeByLdapName(std::string_view nameOrOid) const;
    std::optional<ClassId> classByLdapName(std::string_view nameOrOid) const;

    // The class of an entry that lists these classes (not empty): the most
    // derived of them, a structural one before an auxiliary one, the last
    // listed when several qualify.
    ClassId entryClass(const std::vector<ClassId>& listed) const;

    // True when derived is base or inherits from it, directly or not. Costs
    // a constant along first superclasses, and otherwise no more than the
    // ancestors of derived.
    bool inherits(ClassId derived, ClassId base) const;

    // The class of every tree root, named "Top".
    ClassId topClass() const { return top_; }
    AttributeId objectClassAttribute() const { return objectClassAttribute_; }

    // Registers a type that data uses without the schema defining it (or
    // returns the one registered before under that name).
    AttributeId addUndeclaredAttribute(std::string_view ldapName);

private:
    friend class DirectorySnapshot;  // stores the elements, restores them through reindex()

    AttributeId addAttribute(AttributeType type, std::size_t index);
    AttributeId addMappedAttribute(AttributeType type, std::size_t index);
    ClassId addClass(ObjectClass cls, std::size_t index);
    void computeLayouts();
    // Files every element under its names again and derives the layouts, as
    // adding them one by one did. Throws SchemaError on a SUP cycle.
    void reindex();

    std::vector<AttributeType> attributes_;
    std::vector<ObjectClass> classes_;
    // Inheritance without a class-by-class table: the tree of first
    // superclasses numbered in depth-first order (a class's descendants along
    // it lie in [enter_, leave_)), whether a class reaches all its ancestors
    // along that tree, and its depth (the longest way up to a class without
    // superclass), which no ancestor can reach.
    std::vector<std::uint32_t> enter_;
    std::vector<std::uint32_t> leave_;
    std::vector<std::uint32_t> depth_;
    std::vector<bool> singleLine_;
    std::unordered_map<std::string, AttributeId> attributeByName_;      // folded
    std::unordered_map<std::string, AttributeId> attributeByLdapName_;  // lower case
    std::unordered_map<std::string, ClassId> classByName_;
    std::unordered_map<std::string, ClassId> classByLdapName_;
    ClassId top_ = 0;
    AttributeId objectClassAttribute_ = 0;
    std::shared_ptr<const Mapping> mapping_;
    std::vector<ClassId> directoryClass_;  // mapped schemas: per class
    std::vector<std::size_t> precedence_;  // per class: its mapping section, or npos
    void applyMapping();
    AttributeId fieldAttribute(const FieldMapping& field, ClassId cls);
};

}  // namespace outside::directory
