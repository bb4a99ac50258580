// The automation error code a piece of test code raises (0 when it raises none).
#pragma once

#include <functional>

#include "platform/automation/error.h"

inline int codeOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const platform::automation::AutomationError& e) {
        return e.code();
    }
    return 0;
}
