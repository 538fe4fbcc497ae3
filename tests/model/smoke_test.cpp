#include <gtest/gtest.h>
#include "model/TaNGRAQVTemplate.h"
TEST(Smoke, RoundTrip) { CTaNGRAQVTemplate t; auto b = t.save(); EXPECT_EQ(b.size(), 4112u); }
