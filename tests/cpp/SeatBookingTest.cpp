#include <gtest/gtest.h>

#include <list>
#include <random>
#include <string>
#include <vector>

#include "bookings/TSeatBooking.h"
#include "flights/TManagementFlight.h"
#include "store/TDataAccess.h"
#include "tests/support/LiteralFitting.h"
#include "tickets/TArmoringTicket.h"

using SeatBooking::TSeatBooking;

namespace {

class Seats : public ::testing::Test {
protected:
    DataAccess::TDataAccess store;
    ManagementFlight::TManagementFlight management{&store};
    ArmoringTicket::TArmoringTicket tickets{&store};
    TSeatBooking seats{&store, &tickets};

    // 1 -21-> 2 -22-> 3, and a slower 1 -31-> 3.
    void SetUp() override {
        for (int n : {1, 2, 3}) ASSERT_EQ(0, management.addAirport(n, "a"));
        ASSERT_EQ(0, management.addFlight("f", 21, 1, 1, 2));
        ASSERT_EQ(0, management.addFlight("f", 22, 1, 2, 3));
        ASSERT_EQ(0, management.addFlight("f", 31, 5, 1, 3));
    }
    int booked(int airport, int flight) { return store.getFlights(airport)->at(flight).booked; }
    std::vector<int> allBooked() {
        return {booked(1, 21), booked(2, 21), booked(2, 22), booked(3, 22), booked(1, 31), booked(3, 31)};
    }
    std::vector<int> flightsOf(const TBooking& b) {
        std::vector<int> out;
        for (const TBookedLeg& leg : b.legs) out.push_back(leg.flight);
        return out;
    }
};

}  // namespace

TEST_F(Seats, CapacitiesRefuseBadValuesAndLoweringBelowSold) {
    EXPECT_EQ(SeatRule::BadSeats, seats.setSeats(1, 21, -1).rule);
    EXPECT_EQ(SeatRule::UnknownAirport, seats.setSeats(9, 21, 1).rule);
    EXPECT_EQ(SeatRule::UnknownFlight, seats.setSeats(3, 21, 1).rule);
    ASSERT_TRUE(seats.setSeats(2, 21, 3).done());  // either end names the flight
    ASSERT_TRUE(seats.fitAndBook(10, 1, 2, 2, nullptr).done());
    TSeatOutcome o = seats.setSeats(1, 21, 1);
    EXPECT_EQ(SeatRule::SeatsBelowSold, o.rule);
    EXPECT_EQ(2, o.sold);
    TFlightSeats s;
    ASSERT_TRUE(seats.seatsOf(1, 21, s).done());
    EXPECT_EQ(3, s.seats);
    EXPECT_EQ(1, s.free());
    ASSERT_TRUE(seats.setSeats(1, 21, 2).done());
    ASSERT_TRUE(seats.seatsOf(3, 22, s).done());
    EXPECT_FALSE(s.limited());
}

TEST_F(Seats, BookingTakesEveryLegOrNone) {
    ASSERT_TRUE(seats.setSeats(2, 22, 2).done());
    TSeatOutcome first = seats.fitAndBook(10, 1, 3, 2, nullptr);
    ASSERT_TRUE(first.done());
    const TBooking* b = seats.booking(first.booking);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ((std::vector<int>{21, 22}), flightsOf(*b));
    EXPECT_EQ(1, b->legs[0].from);
    EXPECT_EQ(3, b->legs[1].to);
    EXPECT_EQ((std::vector<int>{2, 2, 2, 2, 0, 0}), allBooked());

    // Flight 22 is full: an explicit route over it is refused whole, naming
    // the flight and its free seats; the search for seats takes flight 31.
    const std::vector<int> before = allBooked();
    TSeatOutcome full = seats.book({{21, 1, 2}, {22, 2, 3}}, 1, nullptr);
    EXPECT_EQ(SeatRule::NoFreeSeats, full.rule);
    EXPECT_EQ(22, full.flight);
    EXPECT_EQ(0, full.seats);
    EXPECT_EQ(before, allBooked());
    TSeatOutcome around = seats.fitAndBook(10, 1, 3, 1, nullptr);
    ASSERT_TRUE(around.done());
    EXPECT_EQ((std::vector<int>{31}), flightsOf(*seats.booking(around.booking)));
    EXPECT_EQ(SeatRule::NoRoute, seats.fitAndBook(4, 1, 3, 1, nullptr).rule);

    EXPECT_EQ(SeatRule::BadPassengers, seats.fitAndBook(10, 1, 3, 0, nullptr).rule);
    EXPECT_EQ(SeatRule::NotARoute, seats.book({{21, 1, 2}, {31, 1, 3}}, 1, nullptr).rule);
    EXPECT_EQ(SeatRule::NotARoute, seats.book({}, 1, nullptr).rule);
    EXPECT_EQ(SeatRule::UnknownFlight, seats.book({{21, 1, 3}}, 1, nullptr).rule);
    EXPECT_EQ(2, seats.bookingCount());
}

TEST_F(Seats, FixedBookingRespectsCapacities) {
    ASSERT_TRUE(seats.setSeats(1, 21, 1).done());
    ASSERT_EQ(0, tickets.getRouteFlight(10, 1, 2));
    EXPECT_EQ(0, tickets.armoringTickets());
    EXPECT_EQ(-5, tickets.armoringTickets());
    EXPECT_EQ(1, booked(1, 21));
    EXPECT_EQ(1, booked(2, 21));
    // Its seat counts against the new sales too.
    EXPECT_EQ(SeatRule::NoFreeSeats, seats.book({{21, 1, 2}}, 1, nullptr).rule);
}

TEST_F(Seats, CancelGivesSeatsBackOnceAndNeverToALaterFlight) {
    bool now = false;
    EXPECT_EQ(SeatRule::UnknownBooking, seats.cancel(1, now).rule);
    const std::int64_t id = seats.fitAndBook(10, 1, 3, 3, nullptr).booking;
    ASSERT_EQ(1, id);
    ASSERT_TRUE(seats.cancel(id, now).done());
    EXPECT_TRUE(now);
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 0}), allBooked());
    ASSERT_TRUE(seats.cancel(id, now).done());
    EXPECT_FALSE(now);
    EXPECT_TRUE(seats.booking(id)->cancelled);

    // Flight 21 is removed and its number given to a new flight 1 -> 2;
    // cancelling the old booking gives seats back on 22 only.
    const std::int64_t second = seats.fitAndBook(10, 1, 3, 2, nullptr).booking;
    std::vector<std::int64_t> holding;
    ASSERT_TRUE(seats.bookingsOf(3, 22, holding).done());
    EXPECT_EQ(std::vector<std::int64_t>{second}, holding);
    ASSERT_EQ(0, management.removeFlight(2, 21));
    ASSERT_EQ(0, management.addFlight("new", 21, 1, 1, 2));
    ASSERT_TRUE(seats.setSeats(1, 21, 4).done());  // the new flight starts without limit or sales
    ASSERT_TRUE(seats.fitAndBook(10, 1, 2, 1, nullptr).done());
    EXPECT_TRUE(seats.booking(second)->legs[0].gone);
    EXPECT_FALSE(seats.booking(second)->legs[1].gone);
    ASSERT_TRUE(seats.cancel(second, now).done());
    EXPECT_EQ(1, booked(1, 21));
    EXPECT_EQ(0, booked(2, 22));
    ASSERT_TRUE(seats.bookingsOf(1, 21, holding).done());
    EXPECT_EQ(std::vector<std::int64_t>{3}, holding);

    // An airport removed with its flights marks them gone as well.
    ASSERT_EQ(0, management.removeAirport(2));
    EXPECT_TRUE(seats.booking(3)->legs[0].gone);
    ASSERT_TRUE(seats.cancel(3, now).done());
    EXPECT_EQ(0, booked(1, 31));
}

TEST_F(Seats, RequestKeysAnswerRetriesAndRefuseOtherRequests) {
    const std::string key = "order-7";
    const TSeatOutcome first = seats.fitAndBook(10, 1, 3, 2, &key);
    ASSERT_TRUE(first.done());
    const std::vector<int> after = allBooked();
    const TSeatOutcome again = seats.fitAndBook(10, 1, 3, 2, &key);
    ASSERT_TRUE(again.done());
    EXPECT_EQ(first.booking, again.booking);
    EXPECT_EQ(after, allBooked());
    EXPECT_EQ(1, seats.bookingCount());
    EXPECT_EQ(SeatRule::KeyReused, seats.fitAndBook(10, 1, 3, 1, &key).rule);
    EXPECT_EQ(SeatRule::KeyReused, seats.book({{31, 1, 3}}, 2, &key).rule);
    EXPECT_EQ(key, seats.booking(first.booking)->key);

    const std::string empty, longest(ISeatBooking::kMaxKeyBytes, 'k'), tooLong(ISeatBooking::kMaxKeyBytes + 1, 'k');
    EXPECT_EQ(SeatRule::BadKey, seats.book({{31, 1, 3}}, 1, &empty).rule);
    EXPECT_EQ(SeatRule::BadKey, seats.book({{31, 1, 3}}, 1, &tooLong).rule);
    const TSeatOutcome routeKeyed = seats.book({{31, 1, 3}}, 1, &longest);
    ASSERT_TRUE(routeKeyed.done());
    EXPECT_EQ(routeKeyed.booking, seats.book({{31, 1, 3}}, 1, &longest).booking);
    EXPECT_EQ(after[4] + 1, booked(1, 31));
}

// On random networks with random capacities and sales, the search for N
// seats gives what the literal search gives on the network without the
// flights that lack N free seats.
TEST(SeatSearch, AgreesWithTheLiteralSearchWithoutTheFullFlights) {
    std::mt19937 rng(17);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int compared = 0, differs = 0;
    for (int round = 0; round < 300; ++round) {
        DataAccess::TDataAccess store;
        ArmoringTicket::TArmoringTicket tickets{&store};
        TSeatBooking seats{&store, &tickets};
        for (int a = 0; a < 7; ++a) store.addAirport(a, "a");
        for (int i = 0; i < 30; ++i) {
            const int flight = pick(0, 12), from = pick(0, 6), to = pick(0, 6);
            if (store.addFlight("f", flight, pick(0, 3), from, to) != 0) continue;
            if (pick(0, 2) == 0) continue;
            seats.setSeats(from, flight, pick(0, 3));
            TFlightSeats s;
            seats.seatsOf(from, flight, s);
            if (s.free() > 0) seats.book({{flight, from, to}}, pick(1, s.free()), nullptr);
        }
        std::list<TTicket> warm;  // a plain query first, so a stopped search exists
        tickets.fitRoute(100, 0, 6, &warm);
        const int passengers = pick(1, 3);
        oracle::Network net = oracle::snapshot(store);
        for (auto& airport : net) {
            for (auto f = airport.second.begin(); f != airport.second.end();) {
                TFlightSeats s;
                seats.seatsOf(airport.first, f->first, s);
                f = s.limited() && s.free() < passengers ? airport.second.erase(f) : std::next(f);
            }
        }
        for (int q = 0; q < 5; ++q) {
            const int from = pick(0, 6), to = pick(0, 6), maxDays = pick(-2, 8);
            std::list<TTicket> got, want;
            const TSeatOutcome o = seats.fitFor(maxDays, from, to, passengers, &got);
            const int code = oracle::literalFitRoute(net, maxDays, from, to, want);
            ASSERT_EQ(code < 0 ? code - 4 : 0, o.fit);
            ASSERT_EQ(std::vector<TTicket>(want.begin(), want.end()), std::vector<TTicket>(got.begin(), got.end()));
            std::list<TTicket> plain;
            tickets.fitRoute(maxDays, from, to, &plain);
            differs += plain != got;
            ++compared;
        }
    }
    EXPECT_EQ(1500, compared);
    EXPECT_GT(differs, 100);  // the seats changed many answers
}
