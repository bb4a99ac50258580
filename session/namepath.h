// The name forms of the session control. A full name of a directory object is
// "KTR:\\TREE\Org\Unit\Object" (containers from the top down); its dotted form
// runs leaf first, "Object.Unit.Org", with "[Root]" for the tree root. A
// NamePath holds the backslash path, the tree and the dotted context of such
// a name; a context specification ("\\TREE\.Unit.Org" or a bare dotted name
// in the default tree) is what a directory context is set up from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace session {

// The dotted name of a tree root.
inline constexpr std::string_view kRootContext = "[Root]";

// Leading and trailing blanks removed.
std::string_view trimBlanks(std::string_view text);
std::string_view trimLeadingBlanks(std::string_view text);

class NamePath {
public:
    // From a full name; "KTR:" or "\\" in front may be left out, and "ktr"
    // may come in any case. Invalid (isValid() false) when the tree is empty,
    // a component is empty, the name ends with "\" or holds a ".".
    static NamePath fromFullName(std::string_view fullName);
    // From a tree and a dotted context, leaf first ("Unit.Org"); an empty
    // context (or "[Root]") names the tree root.
    static NamePath fromTreeAndContext(std::string_view tree, std::string_view dottedContext);

    bool isValid() const { return valid_; }
    // "\\TREE\Org\Unit"; empty when invalid.
    const std::string& path() const { return path_; }
    const std::string& tree() const { return tree_; }
    // "Unit.Org", or "[Root]" for the tree alone.
    const std::string& context() const { return context_; }
    // The components below the tree, from the top down.
    const std::vector<std::string>& components() const { return components_; }
    // "KTR:" and the path; empty when invalid.
    std::string fullName() const;
    // The path one level up (the tree root stays the tree root).
    NamePath parent() const;

private:
    static NamePath build(std::string tree, std::vector<std::string> components);

    bool valid_ = false;
    std::string path_, tree_, context_;
    std::vector<std::string> components_;
};

// What a directory context is set up from: a tree (none means the client's
// default tree) and a dotted name context.
struct ContextSpec {
    std::optional<std::string> tree;
    std::string nameContext;
};

// The context specification of a full name: KTR:\\T\A\B\C gives \\T\.C.B.A;
// a name without "KTR:" is passed on unchanged. A "KTR:" name that is not a
// valid NamePath gives "" (which does not parse).
std::string contextSpecification(std::string_view fullName);
// Parses a specification; nullopt when a leading "\\" is not followed by a
// tree, "\." and a name, or when it is empty.
std::optional<ContextSpec> parseContextSpecification(std::string_view spec);

// Whether text begins with "KTR:\\", in any case.
bool hasDirectoryPrefix(std::string_view text);

// Removes the "_" that pad tree names in the connection table.
std::string stripTreePadding(std::string_view tree);

// Upper case for the names the client compares in upper case (drive
// letters, server, volume and queue names); other bytes stay as they are.
char toUpperAscii(char c);
std::string toUpperAscii(std::string text);

}  // namespace session
