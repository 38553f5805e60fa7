#pragma once

// A small independent model of the network, the ticket list and booking,
// capacities, bookings with ids, cancellation and request keys, written
// from the documented behaviour only: plain maps, every check spelled
// out, booking all-or-nothing by working on a copy. Routes come from the
// literal search in tests/support/LiteralFitting.h. The random-operation test
// and the fuzz target compare the library with it after every operation.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bookings/TBooking.h"
#include "library/Network.h"
#include "library/ReportCopy.h"
#include "store/TFlightLink.h"
#include "tests/support/LiteralFitting.h"
#include "store/TTicket.h"

namespace model {

struct Flight {
    std::string name;
    int days = 0;
    int from = 0;
    int to = 0;
    int booked = 0;
};

inline bool operator==(const Flight& a, const Flight& b) {
    return a.name == b.name && a.days == b.days && a.from == b.from && a.to == b.to && a.booked == b.booked;
}

struct Airport {
    std::string name;
    std::map<int, Flight> flights;
};

inline bool operator==(const Airport& a, const Airport& b) { return a.name == b.name && a.flights == b.flights; }

using Airports = std::map<int, Airport>;

// One reported flight, the record the report copies give.
using Row = tavrik::ReportedFlight;

class Network {
public:
    const Airports& airports() const { return net; }
    const std::vector<TTicket>& tickets() const { return ticketList; }
    // A network closed and opened again has no current ticket list.
    void forgetTickets() { ticketList.clear(); }

    // ---- the store's codes ----
    int addAirport(int airport, const std::string& name) {
        if (net.count(airport)) return -1;
        net[airport].name = name;
        return 0;
    }

    int addFlight(const std::string& name, int flight, int days, int from, int to) {
        if (!net.count(from) || !net.count(to)) return -1;
        // A flight joins two different airports and its number is free at both.
        if (from == to) return -2;
        if (net[from].flights.count(flight) || net[to].flights.count(flight)) return -2;
        const Flight f{name, days, from, to, 0};
        net[from].flights[flight] = f;
        net[to].flights[flight] = f;
        return 0;
    }

    int removeFlight(int airport, int flight) {
        auto a = net.find(airport);
        if (a == net.end()) return -1;
        auto f = a->second.flights.find(flight);
        if (f == a->second.flights.end()) return -2;
        const int other = f->second.from == airport ? f->second.to : f->second.from;
        dropFlight(f->second.from, flight);
        a->second.flights.erase(f);
        auto o = net.find(other);
        if (o != net.end()) o->second.flights.erase(flight);
        return 0;
    }

    int removeAirport(int airport) {
        auto a = net.find(airport);
        if (a == net.end()) return 1;
        for (const auto& f : a->second.flights) {
            dropFlight(f.second.from, f.first);
            const int other = f.second.from == airport ? f.second.to : f.second.from;
            auto o = net.find(other);
            if (o != net.end() && other != airport) o->second.flights.erase(f.first);
        }
        net.erase(airport);
        return 0;
    }

    // All or nothing: the counts are changed on a copy, kept only if every
    // ticket could be booked. The first failing ticket decides the code.
    int bookList(const std::vector<TTicket>& list) {
        Airports trial = net;
        for (const TTicket& t : list) {
            auto a = trial.find(t.airport);
            if (a == trial.end()) return -1;
            auto f = a->second.flights.find(t.flight);
            if (f == a->second.flights.end()) return -2;
            if (t.pinned && (f->second.from != t.from || f->second.to != t.to)) return -2;
            if (f->second.booked == INT_MAX) return -2;
            ++f->second.booked;
            // The fixed booking keeps every entry within its flight's seats.
            auto cap = seats.find({f->second.from, t.flight});
            if (limitSeats && cap != seats.end() && f->second.booked > cap->second) return -3;
        }
        net.swap(trial);
        return 0;
    }

    // ---- the flight-management service: refusals fold into -2 ----
    static int fold(int code) { return code < 0 ? -2 : 0; }

    // ---- the booking service ----
    int fitRoute(int maxDays, int from, int to) {
        std::list<TTicket> route;
        const int r = oracle::literalFitRoute(toOracle(), maxDays, from, to, route);
        ticketList.assign(route.begin(), route.end());
        // A fitted ticket holds on to the airports its flight joins now.
        for (TTicket& t : ticketList) {
            const Flight& f = net.at(t.airport).flights.at(t.flight);
            t = pinnedTicket(t.airport, t.flight, f.from, f.to);
        }
        return r;
    }

    int getRouteFlight(int maxDays, int from, int to) {
        const int r = fitRoute(maxDays, from, to);
        return r < 0 ? r - 4 : 0;
    }

    int armoringTickets() {
        if (ticketList.empty()) return -4;
        limitSeats = true;
        const int r = bookList(ticketList);
        limitSeats = false;
        return r < 0 ? -5 : 0;
    }

    // ---- the typed operations of tavrik::Network: the rule a change breaks ----
    struct Broken {
        tavrik::Rule rule;
        std::int64_t a;
        std::int64_t b;
        bool operator==(const Broken& o) const { return rule == o.rule && a == o.a && b == o.b; }
    };
    std::optional<Broken> airportRule(int airport) const {
        if (net.count(airport)) return Broken{tavrik::Rule::AirportTaken, airport, 0};
        return std::nullopt;
    }
    std::optional<Broken> flightRule(int flight, int from, int to) const {
        if (!net.count(from)) return Broken{tavrik::Rule::UnknownAirport, from, 0};
        if (!net.count(to)) return Broken{tavrik::Rule::UnknownAirport, to, 0};
        if (from == to) return Broken{tavrik::Rule::SameAirports, flight, from};
        if (net.at(from).flights.count(flight)) return Broken{tavrik::Rule::FlightTaken, flight, from};
        if (net.at(to).flights.count(flight)) return Broken{tavrik::Rule::FlightTaken, flight, to};
        return std::nullopt;
    }
    // A batch load: every airport, then every flight, or nothing. The first
    // refused item: its rule, its index and whether it is a flight.
    struct LoadRefusal {
        Broken broken;
        std::size_t index;
        bool flightItem;
    };
    std::optional<LoadRefusal> load(const std::vector<tavrik::AirportItem>& airports,
                                    const std::vector<tavrik::FlightItem>& flights) {
        Network trial = *this;
        for (std::size_t i = 0; i < airports.size(); ++i) {
            if (auto broken = trial.airportRule(airports[i].airport)) return LoadRefusal{*broken, i, false};
            trial.addAirport(airports[i].airport, airports[i].name);
        }
        for (std::size_t i = 0; i < flights.size(); ++i) {
            const tavrik::FlightItem& f = flights[i];
            if (auto broken = trial.flightRule(f.flight, f.from, f.to)) return LoadRefusal{*broken, i, true};
            trial.addFlight(f.name, f.flight, f.days, f.from, f.to);
        }
        net.swap(trial.net);
        return std::nullopt;
    }
    // Network::fit by the literal search, without touching the ticket list:
    // the kind (0 route, 1 over the limit, 2 no route), the legs' flight
    // numbers in travel order, and the fewest days (-1 if beyond INT_MAX).
    struct Fit {
        int kind;
        std::vector<int> legs;
        std::int64_t fewestDays;
        bool operator==(const Fit& o) const { return kind == o.kind && legs == o.legs && fewestDays == o.fewestDays; }
    };
    // Throws the unknown airport's Broken.
    Fit fit(int maxDays, int from, int to) const {
        const oracle::Network o = toOracle();
        std::list<TTicket> route;
        int r = oracle::literalFitRoute(o, maxDays, from, to, route);
        if (r == -1) throw Broken{tavrik::Rule::UnknownAirport, from, 0};
        if (r == -2) throw Broken{tavrik::Rule::UnknownAirport, to, 0};
        const bool over = r == -3;
        if (over) r = oracle::literalFitRoute(o, INT_MAX, from, to, route);
        if (r == -3) return Fit{1, {}, -1};
        if (r == -4) return Fit{2, {}, 0};
        Fit fit{over ? 1 : 0, {}, oracle::routeTotal(o, route)};
        // The list runs from the arrival back; each leg's departure entry
        // comes second.
        if (!over)
            for (auto t = route.rbegin(); t != route.rend(); ++t)
                if (net.at(t->airport).flights.at(t->flight).from == t->airport) fit.legs.push_back(t->flight);
        return fit;
    }

    // ---- the report copies ----
    std::vector<Row> routeReport() const {
        std::vector<Row> rows;
        for (const TTicket& t : ticketList) {
            auto a = net.find(t.airport);
            if (a == net.end()) continue;
            auto f = a->second.flights.find(t.flight);
            if (f == a->second.flights.end()) continue;
            if (t.pinned && (f->second.from != t.from || f->second.to != t.to)) continue;
            rows.push_back(row(t.airport, f->first, f->second));
        }
        return rows;
    }

    std::vector<Row> airportReport(int airport) const {
        std::vector<Row> rows;
        auto a = net.find(airport);
        if (a == net.end()) return rows;
        for (const auto& f : a->second.flights) rows.push_back(row(airport, f.first, f.second));
        return rows;
    }


    // ---- seats, bookings, keys ----
    struct Booking {
        int passengers = 0;
        std::vector<TBookedLeg> legs;
        std::string key;
        bool cancelled = false;
    };
    struct Request {
        bool fitted = false;
        int maxDays = 0, from = 0, to = 0;
        std::vector<TLegRequest> legs;
        int passengers = 0;
        std::int64_t booking = 0;
        bool operator==(const Request& o) const {
            return fitted == o.fitted && passengers == o.passengers &&
                   (fitted ? maxDays == o.maxDays && from == o.from && to == o.to : legs == o.legs);
        }
    };
    static constexpr std::size_t kMaxKey = 255;

    const std::map<std::pair<int, int>, int>& capacities() const { return seats; }
    const std::vector<Booking>& bookings() const { return sold; }

    // The flight's (departure airport, number, sold) through either end.
    bool findFlight(int airport, int flight, int& from, int& to, int& soldSeats) const {
        auto a = net.find(airport);
        if (a == net.end()) return false;
        auto f = a->second.flights.find(flight);
        if (f == a->second.flights.end()) return false;
        from = f->second.from;
        to = f->second.to;
        const int other = from == airport ? to : from;
        soldSeats = std::max(f->second.booked, net.at(other).flights.at(flight).booked);
        return true;
    }

    SeatRule setSeats(int airport, int flight, int capacity) {
        if (capacity < 0) return SeatRule::BadSeats;
        if (!net.count(airport)) return SeatRule::UnknownAirport;
        int from, to, soldSeats;
        if (!findFlight(airport, flight, from, to, soldSeats)) return SeatRule::UnknownFlight;
        if (capacity < soldSeats) return SeatRule::SeatsBelowSold;
        seats[{from, flight}] = capacity;
        return SeatRule::Done;
    }

    // The route for N passengers: the literal search without the flights
    // that lack N free seats. getRouteFlight's codes.
    int fitFor(int maxDays, int from, int to, int passengers, std::vector<TTicket>& route) const {
        oracle::Network o = toOracle();
        for (auto& a : o)
            for (auto f = a.second.begin(); f != a.second.end();) {
                int fr = 0, t = 0, soldSeats = 0;
                findFlight(a.first, f->first, fr, t, soldSeats);
                auto cap = seats.find({fr, f->first});
                const bool full = cap != seats.end() && static_cast<long long>(cap->second) - soldSeats < passengers;
                f = full ? a.second.erase(f) : std::next(f);
            }
        std::list<TTicket> r;
        const int code = oracle::literalFitRoute(o, maxDays, from, to, r);
        route.assign(r.begin(), r.end());
        return code < 0 ? code - 4 : 0;
    }

    // Returns the rule, the booking id in *id when sold or answered.
    SeatRule book(const std::vector<TLegRequest>& legs, int passengers, const std::string* key, std::int64_t* id) {
        Request r;
        r.legs = legs;
        r.passengers = passengers;
        return sellChecked(r, key, id);
    }

    SeatRule fitAndBook(int maxDays, int from, int to, int passengers, const std::string* key, std::int64_t* id) {
        Request r;
        r.fitted = true;
        r.maxDays = maxDays;
        r.from = from;
        r.to = to;
        r.passengers = passengers;
        return sellChecked(r, key, id);
    }

    // Done and *now; or UnknownBooking.
    SeatRule cancel(std::int64_t id, bool* now) {
        *now = false;
        if (id < 1 || id > static_cast<std::int64_t>(sold.size())) return SeatRule::UnknownBooking;
        Booking& b = sold[static_cast<std::size_t>(id - 1)];
        if (b.cancelled) return SeatRule::Done;
        for (const TBookedLeg& leg : b.legs) {
            if (leg.gone) continue;
            net.at(leg.from).flights.at(leg.flight).booked -= b.passengers;
            net.at(leg.to).flights.at(leg.flight).booked -= b.passengers;
        }
        b.cancelled = true;
        *now = true;
        return SeatRule::Done;
    }

    // Live bookings holding the flight, ascending.
    SeatRule bookingsOf(int airport, int flight, std::vector<std::int64_t>& out) const {
        out.clear();
        if (!net.count(airport)) return SeatRule::UnknownAirport;
        int from, to, soldSeats;
        if (!findFlight(airport, flight, from, to, soldSeats)) return SeatRule::UnknownFlight;
        for (std::size_t i = 0; i < sold.size(); ++i) {
            if (sold[i].cancelled) continue;
            for (const TBookedLeg& leg : sold[i].legs)
                if (!leg.gone && leg.from == from && leg.flight == flight) out.push_back(static_cast<std::int64_t>(i) + 1);
        }
        return SeatRule::Done;
    }

    oracle::Network toOracle() const {
        oracle::Network out;
        for (const auto& a : net) {
            auto& table = out[a.first];
            for (const auto& f : a.second.flights) {
                TFlightLink link;
                link.name = f.second.name;
                link.days = f.second.days;
                link.from = f.second.from;
                link.to = f.second.to;
                link.booked = f.second.booked;
                table.emplace(f.first, link);
            }
        }
        return out;
    }

private:
    SeatRule sellChecked(Request r, const std::string* key, std::int64_t* id) {
        if (r.passengers <= 0) return SeatRule::BadPassengers;
        if (key != nullptr && (key->empty() || key->size() > kMaxKey)) return SeatRule::BadKey;
        if (key != nullptr && keys.count(*key)) {
            *id = keys.at(*key).booking;
            return keys.at(*key) == r ? SeatRule::Done : SeatRule::KeyReused;
        }
        if (r.fitted) {
            std::vector<TTicket> route;
            if (fitFor(r.maxDays, r.from, r.to, r.passengers, route) != 0) return SeatRule::NoRoute;
            std::vector<TLegRequest> legs;
            for (std::size_t i = route.size(); i >= 2; i -= 2) {
                const TTicket& departure = route[i - 1];
                legs.push_back(TLegRequest{departure.flight, departure.airport, route[i - 2].airport});
            }
            return sell(legs, r, key, id);
        }
        return sell(r.legs, r, key, id);
    }

    SeatRule sell(const std::vector<TLegRequest>& legs, Request r, const std::string* key, std::int64_t* id) {
        if (legs.empty()) return SeatRule::NotARoute;
        std::vector<int> soldSeats(legs.size());
        for (std::size_t i = 0; i < legs.size(); ++i) {
            if (!net.count(legs[i].from)) return SeatRule::UnknownAirport;
            int from, to;
            if (!findFlight(legs[i].from, legs[i].flight, from, to, soldSeats[i])) return SeatRule::UnknownFlight;
            if (from != legs[i].from || to != legs[i].to) return SeatRule::UnknownFlight;
            if (i > 0 && legs[i - 1].to != legs[i].from) return SeatRule::NotARoute;
            for (std::size_t j = 0; j < i; ++j)
                if (legs[j].from == legs[i].from && legs[j].flight == legs[i].flight) return SeatRule::NotARoute;
        }
        for (std::size_t i = 0; i < legs.size(); ++i) {
            auto cap = seats.find({legs[i].from, legs[i].flight});
            if (cap != seats.end() && static_cast<long long>(cap->second) - soldSeats[i] < r.passengers)
                return SeatRule::NoFreeSeats;
            if (soldSeats[i] > INT_MAX - r.passengers) return SeatRule::CountAtLargest;
        }
        Booking b;
        b.passengers = r.passengers;
        for (const TLegRequest& leg : legs) {
            b.legs.push_back(TBookedLeg{leg.flight, leg.from, leg.to, false});
            net.at(leg.from).flights.at(leg.flight).booked += r.passengers;
            net.at(leg.to).flights.at(leg.flight).booked += r.passengers;
        }
        if (key != nullptr) b.key = *key;
        sold.push_back(b);
        *id = static_cast<std::int64_t>(sold.size());
        r.booking = *id;
        if (key != nullptr) keys[*key] = r;
        return SeatRule::Done;
    }

    // A removed flight takes its capacity along and leaves the live
    // bookings that held it.
    void dropFlight(int from, int flight) {
        seats.erase({from, flight});
        for (Booking& b : sold) {
            if (b.cancelled) continue;
            for (TBookedLeg& leg : b.legs)
                if (leg.from == from && leg.flight == flight) leg.gone = true;
        }
    }

    static Row row(int airport, int flight, const Flight& f) {
        return Row{airport, flight, f.name, f.days, f.from, f.to, f.booked};
    }

    Airports net;
    std::vector<TTicket> ticketList;
    std::map<std::pair<int, int>, int> seats;  // (departure airport, flight) -> capacity
    std::vector<Booking> sold;
    std::map<std::string, Request> keys;
    bool limitSeats = false;
};

}  // namespace model
