// quillon-host info and members: the registration of a class as the
// registry holds it, the property pages its objects name, and its members
// as its type library describes them.
#pragma once

#include <optional>
#include <ostream>
#include <string_view>

#include "platform/automation/typelib.h"

namespace quillonhost {

// The type library registered for a class; nothing when the class or its
// library is not registered or the description cannot be read.
std::optional<platform::automation::TypeLibrary> typeLibraryOf(std::string_view progId);

// Writes the members of the class as its type library describes them, or
// with `part` those of another interface or class of the same library (the
// collections and items it hands out). Returns 0, or 1 when the class is not
// registered, no type library describes it or the library has no such part
// (the reason then goes to `err`).
int printMembers(std::string_view progId, std::string_view part, std::ostream& out,
                 std::ostream& err);

// Writes what is registered for progId to `out`. Returns the exit status:
// 0, or 1 when the class is not registered or its pages cannot be asked for
// (the reason then goes to `err`).
int printInfo(std::string_view progId, std::ostream& out, std::ostream& err);

}  // namespace quillonhost
