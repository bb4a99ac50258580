// Run-time error numbers and texts of program start and path translation.
#include "platform/process/errors.h"

namespace platform::process {

std::string_view errorDescription(int number) {
    switch (number) {
        case InvalidCall:
            return "Invalid procedure call or argument";
        case OutOfMemory:
            return "Out of memory";
        case BadFileName:
            return "Bad file name or number";
        case FileNotFound:
            return "File not found";
        case PermissionDenied:
            return "Permission denied";
        case PathFileAccess:
            return "Path/File access error";
        case PathNotFound:
            return "Path not found";
        default:
            return "Application-defined or object-defined error";
    }
}

namespace {

std::string composeMessage(int number, const std::string& detail) {
    std::string message(errorDescription(number));
    if (!detail.empty()) message += ": " + detail;
    return message;
}

int numberOf(PathError::Kind kind) {
    return kind == PathError::Kind::Malformed ? BadFileName : PathNotFound;
}

}  // namespace

ProcessError::ProcessError(int number, std::string detail)
    : std::runtime_error(composeMessage(number, detail)),
      number_(number),
      detail_(std::move(detail)) {}

PathError::PathError(Kind kind, std::string detail)
    : ProcessError(numberOf(kind), std::move(detail)), kind_(kind) {}

}  // namespace platform::process
