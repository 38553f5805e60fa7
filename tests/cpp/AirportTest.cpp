#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "store/GetNewAirport.h"
#include "store/TAirport.h"

using ManagementAirport::GetNewAirport;
using ManagementAirport::TAirport;

namespace {

std::vector<int> keys(const std::map<int, TFlightLink>& table) {
    std::vector<int> out;
    for (const auto& entry : table) out.push_back(entry.first);
    return out;
}

}  // namespace

TEST(Airport, StoresAFlightWithEveryField) {
    TAirport airport(5);
    EXPECT_EQ(0, airport.addFlight(10, "A", 2, 5, 7));
    TFlightLink out;
    ASSERT_EQ(0, airport.getFlight(10, &out));
    EXPECT_EQ("A", out.name);
    EXPECT_EQ(2, out.days);
    EXPECT_EQ(5, out.from);
    EXPECT_EQ(7, out.to);
    EXPECT_EQ(0, out.booked);
}

TEST(Airport, RefusalsComeInTheOrderOfTheChecks) {
    TAirport airport(5);
    ASSERT_EQ(0, airport.addFlight(10, "A", 2, 5, 7));
    // Duplicate number: -2, and the first record stays.
    EXPECT_EQ(-2, airport.addFlight(10, "B", 9, 7, 5));
    // Foreign flight: -1, also when the number is a duplicate too.
    EXPECT_EQ(-1, airport.addFlight(11, "C", 1, 6, 7));
    EXPECT_EQ(-1, airport.addFlight(10, "C", 1, 6, 7));
    TFlightLink out;
    ASSERT_EQ(0, airport.getFlight(10, &out));
    EXPECT_EQ("A", out.name);
    EXPECT_EQ(2, out.days);
    EXPECT_EQ(std::vector<int>{10}, keys(*airport.getFlights()));
}

TEST(Airport, AcceptsAFlightToItselfOnceAndArrivingFlights) {
    TAirport airport(5);
    EXPECT_EQ(0, airport.addFlight(1, "loop", 0, 5, 5));
    EXPECT_EQ(-2, airport.addFlight(1, "loop", 0, 5, 5));
    EXPECT_EQ(0, airport.addFlight(2, "in", 1, 9, 5));
}

TEST(Airport, RemoveReportsNothingToRemoveAsPositive) {
    TAirport airport(5);
    EXPECT_EQ(1, airport.removeFlight(10));
    ASSERT_EQ(0, airport.addFlight(10, "A", 2, 5, 7));
    EXPECT_EQ(0, airport.removeFlight(10));
    TFlightLink out;
    out.name = "untouched";
    EXPECT_EQ(-1, airport.getFlight(10, &out));
    EXPECT_EQ("untouched", out.name);
    EXPECT_TRUE(airport.getFlights()->empty());
}

TEST(Airport, BookingCountsUpAndRestartsAfterReAdd) {
    TAirport airport(5);
    EXPECT_EQ(-1, airport.bookTicket(10));
    EXPECT_TRUE(airport.getFlights()->empty()) << "a failed lookup must not insert";
    ASSERT_EQ(0, airport.addFlight(10, "A", 2, 5, 7));
    EXPECT_EQ(1, airport.bookTicket(10));
    EXPECT_EQ(2, airport.bookTicket(10));
    EXPECT_EQ(3, airport.bookTicket(10));
    TFlightLink out;
    ASSERT_EQ(0, airport.getFlight(10, &out));
    EXPECT_EQ(3, out.booked);
    ASSERT_EQ(0, airport.removeFlight(10));
    ASSERT_EQ(0, airport.addFlight(10, "A", 2, 5, 7));
    ASSERT_EQ(0, airport.getFlight(10, &out));
    EXPECT_EQ(0, out.booked);
}

TEST(Airport, BookingStopsAtTheLargestCountAndUnbookTakesBack) {
    TAirport airport(5);
    ASSERT_EQ(0, airport.addFlight(10, "A", 2, 5, 7));
    EXPECT_EQ(-1, airport.unbookTicket(10)) << "nothing booked yet";
    (*airport.getFlights())[10].booked = INT_MAX - 1;
    EXPECT_EQ(INT_MAX, airport.bookTicket(10));
    EXPECT_EQ(-2, airport.bookTicket(10));
    EXPECT_EQ(INT_MAX, airport.getFlights()->at(10).booked);
    EXPECT_EQ(INT_MAX - 1, airport.unbookTicket(10));
    EXPECT_EQ(-1, airport.unbookTicket(99));
}

TEST(Airport, TableIsWalkedInAscendingFlightNumber) {
    TAirport airport(5);
    EXPECT_TRUE(airport.getFlights()->empty());
    airport.addFlight(30, "c", 1, 5, 6);
    airport.addFlight(10, "a", 1, 5, 6);
    airport.addFlight(-20, "b", 1, 6, 5);
    EXPECT_EQ((std::vector<int>{-20, 10, 30}), keys(*airport.getFlights()));
    EXPECT_EQ(airport.getFlights(), airport.getFlights()) << "the live table, not a copy";
}

TEST(AirportFactory, GivesIndependentObjectsForTheSameNumber) {
    GetNewAirport factory;
    std::unique_ptr<IManagementAirport> a(factory.createAirport(3));
    std::unique_ptr<IManagementAirport> b(factory.createAirport(3));
    EXPECT_NE(a.get(), b.get());
    a->addFlight(1, "x", 1, 3, 4);
    EXPECT_EQ(1u, a->getFlights()->size());
    EXPECT_TRUE(b->getFlights()->empty());
}
