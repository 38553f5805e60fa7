#include <gtest/gtest.h>

#include <vector>

#include "flights/TManagementFlight.h"
#include "store/TDataAccess.h"
#include "tickets/TArmoringTicket.h"

using ArmoringTicket::TArmoringTicket;

namespace {

using Tickets = std::vector<TTicket>;

class Booking : public ::testing::Test {
protected:
    DataAccess::TDataAccess store;
    ManagementFlight::TManagementFlight management{&store};
    TArmoringTicket booking{&store};

    void SetUp() override {
        for (int n : {1, 2, 3}) ASSERT_EQ(0, management.addAirport(n, "a"));
        ASSERT_EQ(0, management.addFlight("twenty-one", 21, 2, 1, 2));
        ASSERT_EQ(0, management.addFlight("twenty-two", 22, 3, 2, 3));
    }
    Tickets tickets() { return Tickets(booking.getTickets()->begin(), booking.getTickets()->end()); }
    int booked(int airport, int flight) { return store.getFlights(airport)->at(flight).booked; }
    std::vector<int> allBooked() {
        return {booked(1, 21), booked(2, 21), booked(2, 22), booked(3, 22)};
    }
};

}  // namespace

TEST_F(Booking, NothingToBookBeforeARouteOrAfterARefusal) {
    EXPECT_EQ(-4, booking.armoringTickets());
    EXPECT_EQ(-7, booking.getRouteFlight(4, 1, 3));
    EXPECT_EQ(-4, booking.armoringTickets());
    EXPECT_EQ(0, booking.getRouteFlight(0, 2, 2));
    EXPECT_TRUE(booking.getTickets()->empty());
    EXPECT_EQ(-4, booking.armoringTickets());
}

TEST_F(Booking, FittingCodesAreShiftedByFour) {
    EXPECT_EQ(-5, booking.getRouteFlight(100, 9, 3));
    EXPECT_EQ(-6, booking.getRouteFlight(100, 1, 9));
    EXPECT_EQ(-7, booking.getRouteFlight(4, 1, 3));
    EXPECT_EQ(-8, booking.getRouteFlight(100, 3, 1));
    EXPECT_EQ(0, booking.getRouteFlight(5, 1, 3));
}

TEST_F(Booking, BookingRaisesBothEntriesOfEveryLegEachTime) {
    std::list<TTicket>* list = booking.getTickets();
    ASSERT_EQ(0, booking.getRouteFlight(5, 1, 3));
    EXPECT_EQ((Tickets{{3, 22}, {2, 22}, {2, 21}, {1, 21}}), tickets());
    EXPECT_EQ(list, booking.getTickets()) << "the same list object every time";
    EXPECT_EQ(0, booking.armoringTickets());
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1}), allBooked());
    EXPECT_EQ(0, booking.armoringTickets());
    EXPECT_EQ((std::vector<int>{2, 2, 2, 2}), allBooked());
}

TEST_F(Booking, RemovedFlightMakesTheWholeBookingFail) {
    ASSERT_EQ(0, booking.getRouteFlight(5, 1, 3));
    ASSERT_EQ(0, management.removeFlight(1, 21));
    EXPECT_EQ(-5, booking.armoringTickets());
    EXPECT_EQ(0, booked(3, 22));
    EXPECT_EQ(0, booked(2, 22));
}

TEST_F(Booking, RemovedAirportMakesTheWholeBookingFail) {
    ASSERT_EQ(0, booking.getRouteFlight(5, 1, 3));
    ASSERT_EQ(0, management.removeAirport(2));
    EXPECT_EQ(-5, booking.armoringTickets());
    EXPECT_TRUE(store.getFlights(1)->empty());
    EXPECT_TRUE(store.getFlights(3)->empty());
}
