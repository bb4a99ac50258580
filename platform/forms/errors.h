// The one error type of the forms layer. It carries the number under which
// the program's error handling knows each failure (an unknown key, a key that
// is already taken, a value a control cannot take, a program that cannot be
// started), so callers can test numbers as they do for every other failure.
#pragma once

#include <stdexcept>
#include <string>

namespace platform::forms {

namespace errors {
inline constexpr int kFileNotFound = 53;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kInvalidPropertyValue = 380;
inline constexpr int kElementNotFound = 35601;
inline constexpr int kKeyNotUnique = 35602;
}  // namespace errors

class FormsError : public std::runtime_error {
public:
    FormsError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

}  // namespace platform::forms
