// The whole-file write, the same on every system: a staged save of one file over the platform's
// own steps.
#include "image/platform.h"
#include "image/answer.h"

bool PlatformWriteWholeFile(const char* path, uint8_t* data, size_t length, FileFailure* failure) {
    StagedFile staged;
    if (!PlatformBeginStaged(path, &staged, failure)) {
        return false;
    }
    // The file goes out in slices, each slice's bytes given back as soon as it is in the page
    // cache, so the cache can take those pages for the next slices rather than fresh ones.
    const size_t slice = size_t{8} << 20;
    for (size_t done = 0; done < length;) {
        const size_t n = length - done < slice ? length - done : slice;
        if (!PlatformWriteStaged(&staged, data + done, n, failure)) {
            PlatformAbandonStaged(&staged);
            return false;
        }
        done += n;
        PlatformDiscard(data, done);
    }
    FileFailure committed;
    PlatformCommitStaged(&staged, 1, &committed);
    return Answer(failure, committed, committed.error == FileError::kNone);
}
