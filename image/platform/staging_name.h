// Where a search for a free temporary name begins, on every system that names its staged files.
#pragma once

#include <atomic>

// Each call begins at a number of its own, so that a batch's threads staging in one folder do not
// walk the same taken names, nor two processes saving side by side.
inline unsigned StagingNameStart(unsigned processId) {
    static std::atomic<unsigned> calls{0};
    return processId * 2654435761u + calls++ * 40503u;
}
