// Why the system refused a file call, in the few kinds a user can do something about. The
// platform files map their own error codes onto these; anything else is kNone.
#pragma once

enum class SystemReason {
    kNone,
    kNoFolder,
    kNoFile,
    kDenied,
    kInUse,
    kDiskFull,
    kForeignLink,  // another user's link in a shared folder, which is not followed
};
