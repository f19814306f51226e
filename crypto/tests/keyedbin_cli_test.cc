#include "rc4.h"
#include <gtest/gtest.h>
TEST(KeyedbinCli, Placeholder) {}
