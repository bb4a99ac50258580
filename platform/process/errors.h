// Errors of program start and path translation. They carry the classic
// run-time error numbers (53 file not found, 76 path not found, ...) because
// tvn tests exactly those numbers after a start or a file call.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace platform::process {

// The run-time error numbers this layer raises.
enum ErrorNumber : int {
    InvalidCall = 5,        // "Invalid procedure call or argument"
    OutOfMemory = 7,        // "Out of memory"
    BadFileName = 52,       // "Bad file name or number"
    FileNotFound = 53,      // "File not found"
    PermissionDenied = 70,  // "Permission denied"
    PathFileAccess = 75,    // "Path/File access error"
    PathNotFound = 76,      // "Path not found"
};

// The classic description of a run-time error number ("File not found").
std::string_view errorDescription(int number);

// A failed start or translation. what() is the description followed by the
// detail (which file, which drive), for logs and messages.
class ProcessError : public std::runtime_error {
public:
    ProcessError(int number, std::string detail);

    int number() const noexcept { return number_; }
    std::string_view description() const { return errorDescription(number_); }
    const std::string& detail() const noexcept { return detail_; }

private:
    int number_;
    std::string detail_;
};

// A path in the platform's form that has no local counterpart.
class PathError : public ProcessError {
public:
    enum class Kind {
        Malformed,      // empty, a NUL character, a UNC path without server or volume
        UnknownDrive,   // a drive letter that the drive table does not map
        NoNetworkRoot,  // UNC path but no network root configured or present
        UnknownVolume,  // UNC path naming a server or volume the network does not have
    };

    PathError(Kind kind, std::string detail);

    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

}  // namespace platform::process
