#include <gtest/gtest.h>
#include "store/TDataAccess.h"
TEST(Smoke, AddAirport) { DataAccess::TDataAccess s; EXPECT_EQ(0, s.addAirport(1, "a")); }
