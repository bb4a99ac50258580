// Reading the error number of any failure.
#include "app/shell/RuntimeError.h"

#include <new>

#include "platform/automation/error.h"
#include "platform/forms/errors.h"
#include "platform/process/errors.h"

namespace tvn {

RuntimeError::RuntimeError(int number, const std::string& description)
    : std::runtime_error(description.empty() ? "run-time error " + std::to_string(number)
                                             : description),
      number_(number) {}

int errorNumber(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeError& e) {
        return e.number();
    } catch (const platform::automation::AutomationError& e) {
        return e.code();
    } catch (const platform::forms::FormsError& e) {
        return e.number();
    } catch (const platform::process::ProcessError& e) {
        return e.number();
    } catch (const std::bad_alloc&) {
        return err::kOutOfMemory;
    } catch (...) {
        return err::kInvalidCall;
    }
}

std::string errorDescription(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "run-time error " + std::to_string(errorNumber(std::current_exception()));
    }
}

}  // namespace tvn
