#include <gtest/gtest.h>

#include <memory>

#include "flights/TManagementFlight.h"
#include "library/Network.h"
#include "library/ReportCopy.h"
#include "store/TAirport.h"
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

namespace {

// The same network, with a fourth airport and flight 23 from 3 to 4 (1 day),
// behind a tavrik::Network.
class WholeRoute : public ReportCopy {
protected:
    tavrik::Network lib{management, booking};

    void SetUp() override {
        ReportCopy::SetUp();
        ASSERT_EQ(0, management.addAirport(4, "d"));
        ASSERT_EQ(0, management.addFlight("twenty-three", 23, 1, 3, 4));
    }

    // The booked count of a flight's entry at one airport.
    int bookedAt(int airport, int flight) { return store.getFlights(airport)->at(flight).booked; }

    static std::vector<int> flightsOf(const std::vector<tavrik::ReportedFlight>& legs) {
        std::vector<int> numbers;
        for (const auto& leg : legs) numbers.push_back(leg.flight);
        return numbers;
    }
};

}  // namespace

TEST_F(WholeRoute, FitRouteGivesTheLegsInTravelOrderAndLeavesTheCurrentListAlone) {
    ASSERT_EQ(0, lib.getRouteFlight(5, 1, 2));
    const std::list<TTicket> current = *booking.getTickets();

    tavrik::FittedRoute fitted = lib.fitRoute(10, 1, 4);
    ASSERT_EQ(0, fitted.result);
    ASSERT_EQ((std::vector<int>{21, 22, 23}), flightsOf(fitted.legs));
    const tavrik::ReportedFlight& first = fitted.legs[0];
    EXPECT_EQ(1, first.airport);
    EXPECT_EQ(1, first.from);
    EXPECT_EQ(2, first.to);
    EXPECT_EQ(2, first.days);
    EXPECT_EQ("twenty-one", first.name);
    for (std::size_t i = 1; i < fitted.legs.size(); ++i)
        EXPECT_EQ(fitted.legs[i - 1].to, fitted.legs[i].from) << "leg " << i << " does not go on from the last";
    EXPECT_EQ(4, fitted.legs.back().to);
    EXPECT_EQ(0, bookedAt(1, 21)) << "fitting books nothing";
    EXPECT_EQ(current, *booking.getTickets());

    // The refusals come back with getRouteFlight's codes and no legs.
    EXPECT_EQ(-5, lib.fitRoute(10, 9, 4).result);
    EXPECT_EQ(-6, lib.fitRoute(10, 1, 9).result);
    EXPECT_EQ(-7, lib.fitRoute(5, 1, 4).result);
    tavrik::FittedRoute none = lib.fitRoute(10, 4, 1);
    EXPECT_EQ(-8, none.result);
    EXPECT_TRUE(none.legs.empty());
    EXPECT_EQ(current, *booking.getTickets());
}

TEST_F(WholeRoute, FitAndBookBooksOnlyItsOwnRouteAndReportsTheRaisedCounts) {
    ASSERT_EQ(0, lib.getRouteFlight(5, 1, 2));
    const std::list<TTicket> current = *booking.getTickets();

    for (int round = 1; round <= 2; ++round) {
        tavrik::FittedRoute fitted = lib.fitAndBook(10, 2, 4);
        ASSERT_EQ(0, fitted.result);
        ASSERT_EQ((std::vector<int>{22, 23}), flightsOf(fitted.legs));
        for (const auto& leg : fitted.legs) {
            EXPECT_EQ(round, leg.booked) << "flight " << leg.flight;
            EXPECT_EQ(round, bookedAt(leg.from, leg.flight)) << "departure entry of " << leg.flight;
            EXPECT_EQ(round, bookedAt(leg.to, leg.flight)) << "arrival entry of " << leg.flight;
        }
    }
    EXPECT_EQ(0, bookedAt(1, 21));
    EXPECT_EQ(current, *booking.getTickets()) << "the current list was disturbed";

    // The current list still books what it held: flight 21 only.
    ASSERT_EQ(0, lib.armoringTickets());
    EXPECT_EQ(1, bookedAt(2, 21));
    EXPECT_EQ(2, bookedAt(3, 22));

    // A refusal books nothing.
    EXPECT_EQ(-7, lib.fitAndBook(3, 1, 4).result);
    EXPECT_EQ(-5, lib.fitAndBook(3, 9, 4).result);
    EXPECT_EQ(-8, lib.fitAndBook(3, 4, 1).result);
    EXPECT_EQ(1, bookedAt(1, 21));
    EXPECT_EQ(2, bookedAt(4, 23));

    // A route from an airport to itself has no legs and books nothing.
    tavrik::FittedRoute stay = lib.fitAndBook(0, 2, 2);
    EXPECT_EQ(0, stay.result);
    EXPECT_TRUE(stay.legs.empty());
    EXPECT_EQ(current, *booking.getTickets());
}

namespace {

// Airport 4's entries report every booked count as full, as at the largest
// count a booking can raise.
class FullAtFour final : public IGetNewAirport {
    class Full final : public ManagementAirport::TAirport {
    public:
        using TAirport::TAirport;
        int bookTicket(int) override { return -2; }
    };

public:
    IManagementAirport* createAirport(int id) override {
        return id == 4 ? static_cast<IManagementAirport*>(new Full(id)) : new ManagementAirport::TAirport(id);
    }
};

}  // namespace

TEST(WholeRouteRefused, AFullBookedCountRefusesTheBookingAndBooksNothing) {
    DataAccess::TDataAccess store{std::make_unique<FullAtFour>()};
    ManagementFlight::TManagementFlight management{&store};
    ArmoringTicket::TArmoringTicket booking{&store};
    tavrik::Network lib{management, booking};
    for (int n : {1, 2, 3, 4}) ASSERT_EQ(0, management.addAirport(n, "a"));
    ASSERT_EQ(0, management.addFlight("twenty-two", 22, 3, 2, 3));
    ASSERT_EQ(0, management.addFlight("twenty-three", 23, 1, 3, 4));
    ASSERT_EQ(0, lib.getRouteFlight(5, 2, 3));
    const std::list<TTicket> current = *booking.getTickets();

    tavrik::FittedRoute refused = lib.fitAndBook(10, 2, 4);
    EXPECT_EQ(-5, refused.booking);
    EXPECT_TRUE(refused.legs.empty());
    EXPECT_EQ(0, store.getFlights(2)->at(22).booked) << "the refused booking was taken back";
    EXPECT_EQ(0, store.getFlights(3)->at(22).booked);
    EXPECT_EQ(current, *booking.getTickets()) << "the current list was disturbed";

    // A route clear of the full airport books as usual.
    tavrik::FittedRoute booked = lib.fitAndBook(10, 2, 3);
    EXPECT_EQ(0, booked.booking);
    EXPECT_EQ(0, booked.result);
    EXPECT_EQ(1, store.getFlights(2)->at(22).booked);
}
