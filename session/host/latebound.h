// What quillon-host does with an object it knows only late-bound: reading
// command-line words as arguments, walking a member path
// ("DriveMappings(0).FullName") and writing results as text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/typelib.h"

namespace quillonhost {

namespace pa = platform::automation;

// A word of the command line as an argument: an integer (32-bit when it
// fits, else a Double), a decimal number as a Double, true or false (any
// case) as a Boolean, null (any case) as Null, the name of a constant of
// `constants` (LPT2, any case) as its value, anything else as a string;
// double quotes around a word make it a string as it stands.
pa::Variant parseArgument(std::string_view word, const pa::TypeLibrary* constants = nullptr);

// One step of a member path: a member name and, when written with
// parentheses, its arguments.
struct PathStep {
    std::string member;
    bool indexed = false;
    pa::Args args;
};

// "A.B(1).C" into steps, the arguments read as parseArgument reads them.
// Dots and commas inside parentheses or quotes do not split. Raises
// std::invalid_argument for an empty step, an unbalanced parenthesis or
// text after a closing one.
std::vector<PathStep> parseMemberPath(std::string_view path,
                                      const pa::TypeLibrary* constants = nullptr);

// Calls the path on `object`: each step reads its member (with the step's
// arguments when the member takes any, else `Member(i)` indexes what the
// member returns through its Item or default member); the last step also
// gets `lastArgs`. A last step given exactly one argument that names a
// property without parameters sets it and returns Empty (a property that
// cannot be set answers with its own error).
pa::Variant callPath(pa::Object& object, const std::vector<PathStep>& path,
                     const pa::Args& lastArgs);

// Whether a value is a collection (an object that answers `_NewEnum`).
bool isCollection(const pa::Variant& value);

// A value on one line: text, numbers, True/False, "Nothing"; an object by
// its default member, else as Name=value of its simple properties.
std::string describeValue(const pa::Variant& value);
// The lines `call` prints: one per item for collections and arrays, one for
// anything else, none for Empty.
std::vector<std::string> resultLines(const pa::Variant& value);
// A value for a property list: a collection as "N items: a, b, c".
std::string summarizeValue(const pa::Variant& value);

// "error N: text" for an automation error.
std::string errorLine(int code, const std::string& description);

// The members of a class as its type library describes them: for its
// interface and its event interface, one line per member with DISPID, kind,
// signature and help string; then the library's constants.
std::vector<std::string> memberLines(const pa::TypeLibrary& library, const pa::ClassInfo& cls);

}  // namespace quillonhost
