#include "cli/cli.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
