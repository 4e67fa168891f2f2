// The core's out-parameters are optional: callers that do not care pass null. This is the one
// place that stores a reason (or any other answer) into them, and it hands back the call's
// result so a failure reads as a single return statement.
#pragma once

template <typename T>
inline bool StoreReason(T* out, T value, bool result = false) {
    if (out != nullptr) {
        *out = value;
    }
    return result;
}
