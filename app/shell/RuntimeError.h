// tvn's numbered run-time errors and the three ways its procedures handle
// them: start-up stops at the first failure (the caller catches), layout and
// settings code ignore each failing statement (resumeNext), and dispatch and
// search code run a step and test its number (errorNumberOf). Failures of the
// layers below (automation, forms, program start) arrive with their own
// types; errorNumber() reads the number from any of them, in one place.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace tvn {

namespace err {
inline constexpr int kInvalidCall = 5;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kFileNotFound = 53;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kObjectNotSet = 91;
inline constexpr int kConnectionLost = 600;
inline constexpr int kNoSuchObject = 601;
inline constexpr int kNoSuchFieldType = 603;
}  // namespace err

class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(int number, const std::string& description = {});
    int number() const { return number_; }

private:
    int number_;
};

// A run-time error whose description is already the whole reason, as a
// person reads it ("Tree KTR:\\Nope not found in the directory"); start-up
// shows it as it stands.
class ExplainedError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

// The number of any failure: tvn's own, an automation error's code, a forms
// or program-start error's number; out of memory is 7, anything else 5.
int errorNumber(std::exception_ptr failure);
// What went wrong, in words, for the status bar.
std::string errorDescription(std::exception_ptr failure);

// Runs one statement and ignores its failure.
template <typename F>
void resumeNext(F&& statement) {
    try {
        std::forward<F>(statement)();
    } catch (...) {
    }
}

// Runs one step and returns its error number, 0 when it succeeded.
template <typename F>
int errorNumberOf(F&& step) {
    try {
        std::forward<F>(step)();
        return 0;
    } catch (...) {
        return errorNumber(std::current_exception());
    }
}

// A pointer the next statement needs; null raises error 91.
template <typename T>
T* need(T* object) {
    if (!object) throw RuntimeError(err::kObjectNotSet, "Object variable not set");
    return object;
}

}  // namespace tvn
