// The core's out-parameters are optional: callers that do not care pass null. This is the one
// place that stores an answer (a verdict, a reason, a flag) into them, and it hands back the
// call's result so a failure reads as a single return statement.
#pragma once

template <typename T>
inline bool Answer(T* out, T value, bool result = false) {
    if (out != nullptr) {
        *out = value;
    }
    return result;
}
