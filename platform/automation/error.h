// The one exception type of the automation boundary: a numeric code with its
// description, help context and source, plus the fixed codes of the standard
// errors that hosts test for. The numbers are the classic run-time error
// numbers, so that a host's error handling reads the same as it always has.
#pragma once

#include <stdexcept>
#include <string>

namespace platform::automation {

namespace error {
inline constexpr int InvalidCall = 5;          // "Invalid procedure call or argument"
inline constexpr int Overflow = 6;             // "Overflow"
inline constexpr int OutOfMemory = 7;          // "Out of memory"
inline constexpr int BadIndex = 9;             // "Subscript out of range"
inline constexpr int TypeMismatch = 13;        // "Type mismatch"
inline constexpr int ObjectNotSet = 91;        // a call through Nothing
inline constexpr int PropertyReadOnly = 383;   // a put on a property that cannot be set
inline constexpr int PropertyWriteOnly = 394;  // a get on a property that cannot be read
inline constexpr int ObjectRequired = 424;     // a value used where an object is needed
inline constexpr int CannotCreateObject = 429;
inline constexpr int MemberNotFound = 438;
inline constexpr int AutomationFailure = 440;  // a failure the component gave no code for
inline constexpr int ArgumentNotOptional = 449;
inline constexpr int WrongArgumentCount = 450;
inline constexpr int NoSuchEventInterface = 459;
}  // namespace error

// The fixed text of a standard code; an empty string for codes that are not ours.
std::string standardDescription(int code);

class AutomationError : public std::runtime_error {
public:
    AutomationError(int code, std::string description, int helpContext = 0,
                    std::string source = {});

    // A standard error with its fixed text, optionally followed by ": " and detail.
    static AutomationError standard(int code, const std::string& detail = {});

    int code() const { return code_; }
    const std::string& description() const { return description_; }
    int helpContext() const { return helpContext_; }
    const std::string& source() const { return source_; }

private:
    int code_;
    std::string description_;
    int helpContext_;
    std::string source_;
};

}  // namespace platform::automation
