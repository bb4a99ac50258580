// Texts of the standard automation errors, kept next to their numbers.
#include "platform/automation/error.h"

namespace platform::automation {

std::string standardDescription(int code) {
    switch (code) {
        case error::InvalidCall:
            return "Invalid procedure call or argument";
        case error::Overflow:
            return "Overflow";
        case error::OutOfMemory:
            return "Out of memory";
        case error::BadIndex:
            return "Subscript out of range";
        case error::TypeMismatch:
            return "Type mismatch";
        case error::ObjectNotSet:
            return "Object variable or With block variable not set";
        case error::PropertyReadOnly:
            return "Property cannot be set (read-only property)";
        case error::PropertyWriteOnly:
            return "Property cannot be read (write-only property)";
        case error::ObjectRequired:
            return "Object required";
        case error::CannotCreateObject:
            return "Component can't create object";
        case error::MemberNotFound:
            return "Object doesn't support this property or method";
        case error::AutomationFailure:
            return "Automation error";
        case error::ArgumentNotOptional:
            return "Argument not optional";
        case error::WrongArgumentCount:
            return "Wrong number of arguments or invalid property assignment";
        case error::NoSuchEventInterface:
            return "Object or class does not support the set of events";
        default:
            return {};
    }
}

AutomationError::AutomationError(int code, std::string description, int helpContext,
                                 std::string source)
    : std::runtime_error(description),
      code_(code),
      description_(std::move(description)),
      helpContext_(helpContext),
      source_(std::move(source)) {}

AutomationError AutomationError::standard(int code, const std::string& detail) {
    std::string text = standardDescription(code);
    if (!detail.empty()) text += text.empty() ? detail : ": " + detail;
    return AutomationError(code, std::move(text));
}

}  // namespace platform::automation
