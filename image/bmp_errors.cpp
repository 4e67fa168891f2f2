// What each refusal tells the user.
#include "image/bmp_file.h"

const char* DescribeBmpError(BmpError error) {
    switch (error) {
        case BmpError::kNone:
            return "no error";
        case BmpError::kCannotOpen:
            return "missing or unreadable";
        case BmpError::kNotBmp24:
            return "not a 24 bits per pixel BMP file";
        case BmpError::kBadSize:
            // Names the common causes, a negative (top-down) or zero height; a width below 1,
            // refused too, is neither, but the text is what users and scripts already know.
            return "top-down or zero size";
        case BmpError::kTruncated:
            return "pixel data cut short";
        case BmpError::kTooLarge:
            return "too large for memory";
        case BmpError::kCannotWrite:
            return "cannot be written";
    }
    return "unknown error";
}

const char* DescribeBmpFailure(BmpError error, SystemReason reason) {
    switch (reason) {
        case SystemReason::kNone:
            break;
        case SystemReason::kNoFolder:
            return "no such folder";
        case SystemReason::kNoFile:
            return "no such file";
        case SystemReason::kDenied:
            return "permission denied";
        case SystemReason::kInUse:
            return "file in use";
        case SystemReason::kDiskFull:
            return "disk full";
        case SystemReason::kForeignLink:
            return "another user's link in a shared folder";
    }
    return DescribeBmpError(error);
}
