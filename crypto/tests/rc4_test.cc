#include "rc4.h"
#include <gtest/gtest.h>
TEST(Rc4, Placeholder) {}
