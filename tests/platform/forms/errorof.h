// The number of the forms error that a call raises, or 0.
#pragma once

#include <functional>

#include "platform/forms/errors.h"

namespace formstest {

inline int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const platform::forms::FormsError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace formstest
