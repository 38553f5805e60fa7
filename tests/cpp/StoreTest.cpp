#include <gtest/gtest.h>

#include <climits>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "store/GetNewAirport.h"
#include "store/TAirport.h"
#include "store/TDataAccess.h"

using DataAccess::TBuildAirport;
using DataAccess::TBuildFlight;
using DataAccess::TDataAccess;

namespace {

// Counts the airport objects it makes and how many of them are still alive.
class CountingFactory : public IGetNewAirport {
public:
    struct Counts {
        int made = 0;
        int alive = 0;
    };
    explicit CountingFactory(Counts* counts) : counts(counts) {}
    IManagementAirport* createAirport(int id) override {
        ++counts->made;
        return new Tracked(id, counts);
    }

private:
    class Tracked : public ManagementAirport::TAirport {
    public:
        Tracked(int id, Counts* counts) : TAirport(id), counts(counts) { ++counts->alive; }
        ~Tracked() override { --counts->alive; }

    private:
        Counts* counts;
    };
    Counts* counts;
};

// Every flight sits in the tables of both of its airports with the same
// fields, and every airport entry has its object.
::testing::AssertionResult consistent(IDataAccess& store) {
    auto& airports = *store.getAirports();
    for (const auto& airport : airports) {
        if (airport.second.pAirport == nullptr)
            return ::testing::AssertionFailure() << "airport " << airport.first << " has no object";
        for (const auto& flight : *airport.second.pAirport->getFlights()) {
            const TFlightLink& link = flight.second;
            if (link.from != airport.first && link.to != airport.first)
                return ::testing::AssertionFailure() << "flight " << flight.first << " is foreign to " << airport.first;
            const int other = link.from == airport.first ? link.to : link.from;
            auto otherAirport = airports.find(other);
            if (otherAirport == airports.end())
                return ::testing::AssertionFailure() << "flight " << flight.first << " leads to absent " << other;
            auto twin = otherAirport->second.pAirport->getFlights()->find(flight.first);
            if (twin == otherAirport->second.pAirport->getFlights()->end())
                return ::testing::AssertionFailure() << "flight " << flight.first << " missing at " << other;
            const TFlightLink& t = twin->second;
            if (t.name != link.name || t.days != link.days || t.from != link.from || t.to != link.to)
                return ::testing::AssertionFailure() << "flight " << flight.first << " differs at " << other;
        }
    }
    return ::testing::AssertionSuccess();
}

std::set<int> airportKeys(IDataAccess& store) {
    std::set<int> out;
    for (const auto& airport : *store.getAirports()) out.insert(airport.first);
    return out;
}

std::set<int> flightKeys(IDataAccess& store, int airport) {
    std::set<int> out;
    for (const auto& flight : *store.getFlights(airport)) out.insert(flight.first);
    return out;
}

int booked(IDataAccess& store, int airport, int flight) { return store.getFlights(airport)->at(flight).booked; }

class Store : public ::testing::Test {
protected:
    CountingFactory::Counts counts;
    TDataAccess store{std::make_unique<CountingFactory>(&counts)};

    void addAirports(std::initializer_list<int> numbers) {
        for (int n : numbers) ASSERT_EQ(0, store.addAirport(n, "airport " + std::to_string(n)));
    }
};

}  // namespace

TEST_F(Store, AddAirportRefusesATakenNumberWithoutAskingTheFactory) {
    ASSERT_EQ(0, store.addAirport(3, "first"));
    IManagementAirport* object = store.getAirports()->at(3).pAirport;
    EXPECT_EQ(-1, store.addAirport(3, "second"));
    EXPECT_EQ("first", store.getAirports()->at(3).name);
    EXPECT_EQ(object, store.getAirports()->at(3).pAirport);
    EXPECT_EQ(1, counts.made);
}

TEST_F(Store, AFlightIsEnteredAtBothAirports) {
    addAirports({1, 2});
    ASSERT_EQ(0, store.addFlight("f", 21, 2, 1, 2));
    EXPECT_EQ(std::set<int>{21}, flightKeys(store, 1));
    EXPECT_EQ(std::set<int>{21}, flightKeys(store, 2));
    EXPECT_TRUE(consistent(store));
}

TEST_F(Store, AddFlightChecksFromThenToThenEachTable) {
    addAirports({1, 2, 3});
    EXPECT_EQ(-1, store.addFlight("f", 1, 1, 9, 2));
    EXPECT_EQ(-1, store.addFlight("f", 1, 1, 1, 9));
    EXPECT_EQ(airportKeys(store), (std::set<int>{1, 2, 3})) << "lookups must not insert";
    // Same airport at both ends: the second entry is refused, the first undone.
    EXPECT_EQ(-2, store.addFlight("loop", 5, 1, 1, 1));
    EXPECT_TRUE(flightKeys(store, 1).empty());
    // Number held only by the arrival airport: refused, and the departure
    // airport does not keep the entry it took first.
    ASSERT_EQ(0, store.addFlight("g", 7, 1, 3, 2));
    EXPECT_EQ(-2, store.addFlight("h", 7, 1, 1, 2));
    EXPECT_TRUE(flightKeys(store, 1).empty());
    EXPECT_EQ("g", store.getFlights(2)->at(7).name);
    // Number held by the departure airport: refused, nothing changes.
    EXPECT_EQ(-2, store.addFlight("h", 7, 1, 2, 1));
    EXPECT_TRUE(flightKeys(store, 1).empty());
    EXPECT_TRUE(consistent(store));
}

TEST_F(Store, FlightNumbersAreUniquePerAirportOnly) {
    addAirports({1, 2, 3, 4});
    EXPECT_EQ(0, store.addFlight("a", 9, 1, 1, 2));
    EXPECT_EQ(0, store.addFlight("b", 9, 1, 3, 4));
    EXPECT_TRUE(consistent(store));
}

TEST_F(Store, RemoveFlightFromEitherEnd) {
    addAirports({1, 2, 3});
    ASSERT_EQ(0, store.addFlight("a", 21, 1, 1, 2));
    ASSERT_EQ(0, store.addFlight("b", 22, 1, 2, 3));
    EXPECT_EQ(0, store.removeFlight(2, 21));  // given the arrival airport
    EXPECT_TRUE(flightKeys(store, 1).empty());
    EXPECT_EQ(std::set<int>{22}, flightKeys(store, 2));
    EXPECT_EQ(-1, store.removeFlight(9, 22));
    EXPECT_EQ(-2, store.removeFlight(1, 22)) << "held by other airports, not by 1";
    EXPECT_EQ(std::set<int>{22}, flightKeys(store, 3));
    EXPECT_EQ(airportKeys(store), (std::set<int>{1, 2, 3}));
    EXPECT_TRUE(consistent(store));
}

TEST_F(Store, RemoveAirportCleansEveryOtherTableAndFreesTheObject) {
    addAirports({1, 2, 3, 4});
    ASSERT_EQ(0, store.addFlight("a", 1, 1, 1, 2));
    ASSERT_EQ(0, store.addFlight("b", 2, 1, 3, 1));
    ASSERT_EQ(0, store.addFlight("c", 3, 1, 2, 3));
    ASSERT_EQ(0, store.addFlight("d", 1, 1, 3, 4));  // same number as a, elsewhere
    EXPECT_EQ(1, store.removeAirport(9));
    EXPECT_EQ(4, counts.alive);
    EXPECT_EQ(0, store.removeAirport(1));
    EXPECT_EQ(3, counts.alive);
    EXPECT_EQ(airportKeys(store), (std::set<int>{2, 3, 4}));
    EXPECT_EQ(std::set<int>{3}, flightKeys(store, 2));
    EXPECT_EQ((std::set<int>{1, 3}), flightKeys(store, 3));
    EXPECT_EQ(std::set<int>{1}, flightKeys(store, 4));
    EXPECT_TRUE(consistent(store));
    // The number is free again, with a new, empty airport.
    EXPECT_EQ(0, store.addAirport(1, "again"));
    EXPECT_TRUE(flightKeys(store, 1).empty());
}

TEST_F(Store, AddingAndRemovingAirportsInALoopKeepsNoObject) {
    for (int round = 0; round < 1000; ++round) {
        ASSERT_EQ(0, store.addAirport(round % 7, "x"));
        ASSERT_EQ(0, store.removeAirport(round % 7));
    }
    EXPECT_EQ(1000, counts.made);
    EXPECT_EQ(0, counts.alive);
}

TEST(StoreLifetime, DestroyingTheStoreFreesItsAirports) {
    CountingFactory::Counts counts;
    {
        TDataAccess store(std::make_unique<CountingFactory>(&counts));
        store.addAirport(1, "a");
        store.addAirport(2, "b");
        EXPECT_EQ(2, counts.alive);
    }
    EXPECT_EQ(0, counts.alive);
}

TEST_F(Store, GetFlightsOfAnAbsentAirportIsNullAndInsertsNothing) {
    addAirports({1});
    EXPECT_EQ(nullptr, store.getFlights(2));
    EXPECT_EQ(airportKeys(store), std::set<int>{1});
    EXPECT_TRUE(store.getFlights(1)->empty());
}

TEST_F(Store, RevisionChangesOnEveryEditButNotOnBooking) {
    addAirports({1, 2});
    auto r = store.getRevision();
    ASSERT_EQ(0, store.addFlight("a", 1, 1, 1, 2));
    EXPECT_NE(r, store.getRevision());
    r = store.getRevision();
    std::list<TTicket> tickets{{1, 1}};
    ASSERT_EQ(0, store.armoringTicketList(&tickets));
    EXPECT_EQ(r, store.getRevision());
    EXPECT_EQ(-1, store.addAirport(1, "again"));
    EXPECT_EQ(r, store.getRevision()) << "a refusal changes nothing";
    ASSERT_EQ(0, store.removeFlight(1, 1));
    EXPECT_NE(r, store.getRevision());
    r = store.getRevision();
    ASSERT_EQ(0, store.removeAirport(2));
    EXPECT_NE(r, store.getRevision());
}

TEST_F(Store, BookingRaisesEachNamedEntry) {
    addAirports({1, 2, 3});
    ASSERT_EQ(0, store.addFlight("a", 21, 2, 1, 2));
    ASSERT_EQ(0, store.addFlight("b", 22, 3, 2, 3));
    std::list<TTicket> empty;
    EXPECT_EQ(0, store.armoringTicketList(&empty));
    std::list<TTicket> route{{3, 22}, {2, 22}, {2, 21}, {1, 21}};
    ASSERT_EQ(0, store.armoringTicketList(&route));
    ASSERT_EQ(0, store.armoringTicketList(&route));
    for (const TTicket& t : route) EXPECT_EQ(2, booked(store, t.airport, t.flight));
}

TEST_F(Store, BookingIsAllOrNothingAndTheFirstFailingTicketDecides) {
    addAirports({1, 2, 3});
    ASSERT_EQ(0, store.addFlight("a", 21, 2, 1, 2));
    ASSERT_EQ(0, store.addFlight("b", 22, 3, 2, 3));
    std::list<TTicket> missingAirport{{3, 22}, {9, 22}, {2, 99}};
    EXPECT_EQ(-1, store.armoringTicketList(&missingAirport));
    std::list<TTicket> missingFlight{{3, 22}, {2, 22}, {1, 22}, {9, 1}};
    EXPECT_EQ(-2, store.armoringTicketList(&missingFlight));
    EXPECT_EQ(0, booked(store, 3, 22));
    EXPECT_EQ(0, booked(store, 2, 22));
    EXPECT_EQ(0, booked(store, 1, 21));
    EXPECT_EQ(airportKeys(store), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(std::set<int>{21}, flightKeys(store, 1)) << "lookups must not insert";
}

TEST_F(Store, BookingThatWouldOverflowACountIsRefusedAsAWhole) {
    addAirports({1, 2});
    ASSERT_EQ(0, store.addFlight("a", 21, 2, 1, 2));
    (*store.getFlights(1))[21].booked = INT_MAX - 1;
    std::list<TTicket> twice{{2, 21}, {1, 21}, {1, 21}};
    EXPECT_EQ(-2, store.armoringTicketList(&twice));
    EXPECT_EQ(0, booked(store, 2, 21));
    EXPECT_EQ(INT_MAX - 1, booked(store, 1, 21));
    std::list<TTicket> once{{2, 21}, {1, 21}};
    EXPECT_EQ(0, store.armoringTicketList(&once));
    EXPECT_EQ(INT_MAX, booked(store, 1, 21));
    EXPECT_EQ(-2, store.armoringTicketList(&once));
    EXPECT_EQ(1, booked(store, 2, 21));
}

TEST_F(Store, APinnedTicketBooksOnlyTheFlightItWasFittedFor) {
    addAirports({1, 2});
    ASSERT_EQ(0, store.addFlight("a", 7, 3, 1, 2));
    std::list<TTicket> fitted{pinnedTicket(2, 7, 1, 2), pinnedTicket(1, 7, 1, 2)};
    ASSERT_EQ(0, store.removeFlight(1, 7));
    ASSERT_EQ(0, store.addFlight("b", 7, 3, 2, 1));  // the number now names the way back
    EXPECT_EQ(-2, store.armoringTicketList(&fitted));
    EXPECT_EQ(0, booked(store, 2, 7));
    EXPECT_EQ(0, booked(store, 1, 7));
    std::list<TTicket> plain{{2, 7}, {1, 7}};  // unpinned tickets name just the entry
    EXPECT_EQ(0, store.armoringTicketList(&plain));
    ASSERT_EQ(0, store.removeFlight(1, 7));
    ASSERT_EQ(0, store.addFlight("c", 7, 9, 1, 2));  // the same way again: the same flight
    EXPECT_EQ(0, store.armoringTicketList(&fitted));
    EXPECT_EQ(1, booked(store, 2, 7));
}

// Writes down what the store reports; throws on the addition it is told to.
class RecordingListener : public INetworkListener {
public:
    std::vector<std::string> seen;
    int failAt = -1;  // the number of the call that throws

    void airportAdded(int airport) override { note("+airport " + std::to_string(airport)); }
    void airportRemoving(int airport, const std::map<int, TFlightLink>& flights) noexcept override {
        seen.push_back("-airport " + std::to_string(airport) + " with " + std::to_string(flights.size()));
    }
    void flightAdded(int flight, int days, int from, int to) override {
        note("+flight " + std::to_string(flight) + " d" + std::to_string(days) + " " + std::to_string(from) + ">" +
             std::to_string(to));
    }
    void flightRemoved(int flight, int days, int from, int to) noexcept override {
        seen.push_back("-flight " + std::to_string(flight) + " d" + std::to_string(days) + " " +
                       std::to_string(from) + ">" + std::to_string(to));
    }
    void networkBuilt() noexcept override { seen.push_back("built"); }

private:
    void note(std::string what) {
        if (static_cast<int>(seen.size()) == failAt) throw std::bad_alloc();
        seen.push_back(std::move(what));
    }
};

TEST_F(Store, ListenersHearEveryChangeAndNothingElse) {
    RecordingListener listener;
    store.addListener(&listener);
    addAirports({1, 2, 3});
    ASSERT_EQ(0, store.addFlight("a", 21, 2, 1, 2));
    ASSERT_EQ(0, store.addFlight("b", 22, 3, 2, 3));
    EXPECT_EQ(-1, store.addAirport(1, "again"));
    EXPECT_EQ(-2, store.addFlight("c", 21, 1, 1, 3));
    std::list<TTicket> route{{2, 21}, {1, 21}};
    ASSERT_EQ(0, store.armoringTicketList(&route));
    ASSERT_EQ(0, store.removeFlight(2, 21));  // named by its arrival airport
    ASSERT_EQ(0, store.removeAirport(3));
    EXPECT_EQ(1, store.removeAirport(3));
    const std::vector<std::string> expected{"+airport 1", "+airport 2",    "+airport 3",         "+flight 21 d2 1>2",
                                            "+flight 22 d3 2>3", "-flight 21 d2 1>2", "-airport 3 with 1"};
    EXPECT_EQ(expected, listener.seen);
    store.removeListener(&listener);
    addAirports({4});
    EXPECT_EQ(expected, listener.seen) << "a listener taken off hears nothing more";
}

TEST_F(Store, AListenerThatFailsTakesTheChangeBackEverywhere) {
    RecordingListener first, second;
    store.addListener(&first);
    store.addListener(&second);
    addAirports({1, 2});
    second.failAt = static_cast<int>(second.seen.size());
    EXPECT_THROW(store.addFlight("a", 21, 2, 1, 2), std::bad_alloc);
    EXPECT_TRUE(store.getFlights(1)->empty());
    EXPECT_TRUE(store.getFlights(2)->empty());
    EXPECT_EQ("-flight 21 d2 1>2", first.seen.back()) << "the listener told before hears the change undone";
    second.failAt = static_cast<int>(second.seen.size());
    EXPECT_THROW(store.addAirport(5, "e"), std::bad_alloc);
    EXPECT_EQ(airportKeys(store), (std::set<int>{1, 2}));
    EXPECT_EQ("-airport 5 with 0", first.seen.back());
    second.failAt = -1;
    EXPECT_EQ(0, store.addFlight("a", 21, 2, 1, 2));
    EXPECT_TRUE(consistent(store));
}

// The builder's own cases, beside the random driver's loads (whose airport
// numbers lie close together): numbers far apart and at the ends of the int
// range, each refusal that a call would make leaving the store empty, the
// factory unasked and the items' names in place (the caller then loads item
// by item), and a store that is not empty.
TEST_F(Store, ANetworkBuiltWholeRefusesWhatACallWouldAndIsToldOnce) {
    RecordingListener listener;
    store.addListener(&listener);
    auto airports = [] {
        return std::vector<TBuildAirport>{{INT_MAX, "max"}, {INT_MIN, "min"}, {0, "zero"}};
    };
    auto flights = [] {
        return std::vector<TBuildFlight>{{7, 1, INT_MIN, INT_MAX, 3, 4, "seven"}, {8, 2, 0, INT_MIN, 0, 0, "eight"},
                                         {5, 0, INT_MAX, INT_MIN, 1, 0, "five"}};
    };
    const std::uint64_t revision = store.getRevision();
    std::vector<std::pair<std::vector<TBuildAirport>, std::vector<TBuildFlight>>> refused;
    refused.emplace_back(airports(), flights());
    refused.back().second[1].from = INT_MIN + 1;  // an unknown airport
    refused.emplace_back(airports(), flights());
    refused.back().second[1].to = 0;  // from itself
    refused.emplace_back(airports(), flights());
    refused.back().first.push_back({0, "zero again"});
    refused.emplace_back(airports(), flights());
    refused.back().second[1].flight = 5;  // taken at INT_MIN
    for (auto& [a, f] : refused) {
        EXPECT_FALSE(store.build(a, f));
        EXPECT_TRUE(store.getAirports()->empty());
        EXPECT_EQ("max", a[0].name);
        EXPECT_EQ("seven", f[0].name);
    }
    EXPECT_EQ(0, counts.made);
    EXPECT_EQ(revision, store.getRevision());
    EXPECT_TRUE(listener.seen.empty());

    auto a = airports();
    auto f = flights();
    ASSERT_TRUE(store.build(a, f));
    EXPECT_EQ(std::vector<std::string>{"built"}, listener.seen);
    EXPECT_NE(revision, store.getRevision());
    EXPECT_TRUE(consistent(store));
    EXPECT_EQ(airportKeys(store), (std::set<int>{INT_MIN, 0, INT_MAX}));
    EXPECT_EQ(flightKeys(store, INT_MAX), (std::set<int>{5, 7}));
    EXPECT_EQ(flightKeys(store, INT_MIN), (std::set<int>{5, 7, 8}));
    EXPECT_EQ(flightKeys(store, 0), (std::set<int>{8}));
    EXPECT_EQ(3, booked(store, INT_MIN, 7));
    EXPECT_EQ(4, booked(store, INT_MAX, 7));
    EXPECT_EQ(1, booked(store, INT_MAX, 5));
    EXPECT_EQ(0, booked(store, INT_MIN, 5));
    EXPECT_EQ("min", store.getAirports()->at(INT_MIN).name);
    EXPECT_EQ("seven", store.getFlights(INT_MIN)->at(7).name);
    EXPECT_EQ("seven", store.getFlights(INT_MAX)->at(7).name);
    EXPECT_EQ(3, counts.alive);

    auto more = airports();
    std::vector<TBuildFlight> none;
    more[0].airport = 12;
    EXPECT_FALSE(store.build(more, none)) << "a store that is not empty is not built again";
    EXPECT_EQ(3u, store.getAirports()->size());
    store.removeListener(&listener);
}
