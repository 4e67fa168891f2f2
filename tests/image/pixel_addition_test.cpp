#include "image/pixel_addition.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
