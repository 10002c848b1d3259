#include <gtest/gtest.h>
TEST(Library, Placeholder) {}
