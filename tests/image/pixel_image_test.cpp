#include "image/pixel_image.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
