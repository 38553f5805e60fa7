#include <gtest/gtest.h>

#include "flights/TManagementFlight.h"
#include "store/TDataAccess.h"

using ManagementFlight::TManagementFlight;

TEST(ManagementFlight, WithoutAStoreEveryEditIsMinusOneAndReadsAreNull) {
    TManagementFlight service(nullptr);
    EXPECT_EQ(nullptr, service.getAirports());
    EXPECT_EQ(nullptr, service.getFlights(1));
    EXPECT_EQ(-1, service.addAirport(1, "a"));
    EXPECT_EQ(-1, service.addFlight("f", 1, 1, 1, 2));
    EXPECT_EQ(-1, service.removeFlight(1, 1));
    EXPECT_EQ(-1, service.removeAirport(1));
}

TEST(ManagementFlight, FoldsEveryStoreRefusalToMinusTwo) {
    DataAccess::TDataAccess store;
    TManagementFlight service(&store);
    EXPECT_EQ(0, service.addAirport(3, "first"));
    EXPECT_EQ(-2, service.addAirport(3, "second"));
    EXPECT_EQ("first", service.getAirports()->at(3).name);
    EXPECT_EQ(0, service.addAirport(4, "b"));
    EXPECT_EQ(-2, service.addFlight("f", 1, 1, 3, 9));  // store: -1
    EXPECT_EQ(-2, service.addFlight("f", 1, 1, 3, 3));  // store: -2
    EXPECT_TRUE(service.getFlights(3)->empty());
    EXPECT_EQ(0, service.addFlight("f", 1, 1, 3, 4));
    EXPECT_EQ(-2, service.addFlight("g", 1, 5, 4, 3));
    EXPECT_EQ("f", service.getFlights(4)->at(1).name);
    EXPECT_EQ(-2, service.removeFlight(9, 1));  // store: -1
    EXPECT_EQ(-2, service.removeFlight(3, 2));  // store: -2
    EXPECT_EQ(0, service.removeAirport(9)) << "nothing to remove is no failure";
    EXPECT_EQ(0, service.removeFlight(4, 1));
    EXPECT_EQ(0, service.removeAirport(3));
    EXPECT_EQ(nullptr, service.getFlights(3));
    EXPECT_EQ(&store.getAirports()->at(4), &service.getAirports()->at(4)) << "the store's own table";
}
