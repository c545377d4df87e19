#include <gtest/gtest.h>
#include "value/value.h"
TEST(Smoke, Builds) { EXPECT_TRUE(velk::isNumeric(velk::Value::integer(1))); }
