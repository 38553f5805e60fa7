#pragma once

// A small independent model of the network, the ticket list and booking,
// written from the documented behaviour only: plain maps, every check spelled
// out, booking all-or-nothing by working on a copy. Routes come from the
// literal search in tests/support/LiteralFitting.h. The random-operation test
// and the fuzz target compare the library with it after every operation.

#include <climits>
#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

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
        a->second.flights.erase(f);
        auto o = net.find(other);
        if (o != net.end()) o->second.flights.erase(flight);
        return 0;
    }

    int removeAirport(int airport) {
        auto a = net.find(airport);
        if (a == net.end()) return 1;
        for (const auto& f : a->second.flights) {
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
        return bookList(ticketList) < 0 ? -5 : 0;
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
    static Row row(int airport, int flight, const Flight& f) {
        return Row{airport, flight, f.name, f.days, f.from, f.to, f.booked};
    }

    Airports net;
    std::vector<TTicket> ticketList;
};

}  // namespace model
