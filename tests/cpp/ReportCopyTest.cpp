#include <gtest/gtest.h>

#include "flights/TManagementFlight.h"
#include "library/ReportCopy.h"
#include "store/TDataAccess.h"
#include "tickets/TArmoringTicket.h"

namespace {

// Airports 1, 2, 3; flight 21 from 1 to 2 (2 days), flight 22 from 2 to 3
// (3 days).
class ReportCopy : public ::testing::Test {
protected:
    DataAccess::TDataAccess store;
    ManagementFlight::TManagementFlight management{&store};
    ArmoringTicket::TArmoringTicket booking{&store};

    void SetUp() override {
        for (int n : {1, 2, 3}) ASSERT_EQ(0, management.addAirport(n, "a"));
        ASSERT_EQ(0, management.addFlight("twenty-one", 21, 2, 1, 2));
        ASSERT_EQ(0, management.addFlight("twenty-two", 22, 3, 2, 3));
    }
};

}  // namespace

TEST_F(ReportCopy, RouteReportFollowsTheListAndSkipsWhatHasGone) {
    ASSERT_EQ(0, booking.getRouteFlight(5, 1, 3));
    ASSERT_EQ(0, booking.armoringTickets());
    auto report = tavrik::copyRouteReport(booking, management);
    ASSERT_EQ(4u, report.size());
    EXPECT_EQ(3, report[0].airport);
    EXPECT_EQ(22, report[0].flight);
    EXPECT_EQ("twenty-two", report[0].name);
    EXPECT_EQ(3, report[0].days);
    EXPECT_EQ(2, report[0].from);
    EXPECT_EQ(3, report[0].to);
    EXPECT_EQ(1, report[0].booked);
    EXPECT_EQ(1, report[3].airport);
    EXPECT_EQ(21, report[3].flight);
    EXPECT_EQ("twenty-one", report[3].name);

    // A flight gone from a table that is still there, and an airport gone.
    ASSERT_EQ(0, management.removeFlight(2, 21));
    report = tavrik::copyRouteReport(booking, management);
    ASSERT_EQ(2u, report.size());
    EXPECT_EQ(22, report[1].flight);
    EXPECT_TRUE(store.getFlights(2)->count(21) == 0) << "reporting must not insert";
    // Removing airport 3 also takes flight 22 out of airport 2's table.
    ASSERT_EQ(0, management.removeAirport(3));
    EXPECT_TRUE(tavrik::copyRouteReport(booking, management).empty());
    EXPECT_EQ(4u, booking.getTickets()->size()) << "reporting leaves the list alone";
}

TEST_F(ReportCopy, AirportReportListsDepartingAndArrivingInFlightOrder) {
    auto report = tavrik::copyAirportReport(management, 2);
    ASSERT_EQ(2u, report.size());
    EXPECT_EQ(21, report[0].flight);
    EXPECT_EQ(1, report[0].from);
    EXPECT_EQ(22, report[1].flight);
    EXPECT_EQ(2, report[1].from);
    EXPECT_EQ(1u, tavrik::copyAirportReport(management, 1).size());
    EXPECT_TRUE(tavrik::copyAirportReport(management, 9).empty());
    EXPECT_EQ(nullptr, store.getFlights(9));
}

TEST_F(ReportCopy, RouteReportSkipsAFlightNumberGivenToAnotherFlight) {
    ASSERT_EQ(0, booking.getRouteFlight(5, 1, 3));
    ASSERT_EQ(0, management.removeFlight(1, 21));
    ASSERT_EQ(0, management.addFlight("back", 21, 2, 2, 1));  // 21 now goes the other way
    auto report = tavrik::copyRouteReport(booking, management);
    ASSERT_EQ(2u, report.size());
    EXPECT_EQ(22, report[0].flight);
    EXPECT_EQ(22, report[1].flight);
    ASSERT_EQ(0, management.removeFlight(1, 21));
    ASSERT_EQ(0, management.addFlight("again", 21, 4, 1, 2));  // the same way: the fitted flight
    report = tavrik::copyRouteReport(booking, management);
    ASSERT_EQ(4u, report.size());
    EXPECT_EQ("again", report[3].name);
    EXPECT_EQ(4, report[3].days);
}
