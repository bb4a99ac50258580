// quillon-host info: the registration of a class as the registry holds it,
// and the property pages its objects name.
#pragma once

#include <ostream>
#include <string_view>

namespace quillonhost {

// Writes what is registered for progId to `out`. Returns the exit status:
// 0, or 1 when the class is not registered or its pages cannot be asked for
// (the reason then goes to `err`).
int printInfo(std::string_view progId, std::ostream& out, std::ostream& err);

}  // namespace quillonhost
