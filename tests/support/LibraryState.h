#pragma once

// The library's services as the JNI layer builds them (one store, the
// flight-management service, the booking service and the seat service on it), and a full copy
// of their observable state for comparisons.

#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "bookings/TSeatBooking.h"
#include "flights/TManagementFlight.h"
#include "library/ReportCopy.h"
#include "store/TDataAccess.h"
#include "tests/support/Model.h"
#include "tickets/TArmoringTicket.h"

namespace robustness {

struct World {
    DataAccess::TDataAccess store;
    ManagementFlight::TManagementFlight management{&store};
    ArmoringTicket::TArmoringTicket booking{&store};
    SeatBooking::TSeatBooking seats{&store, &booking};
};

// Every airport with its name and its whole flight table, every field and
// every booked count.
inline model::Airports networkOf(IDataAccess& store) {
    model::Airports out;
    for (const auto& a : *store.getAirports()) {
        model::Airport& airport = out[a.first];
        airport.name = a.second.name;
        if (a.second.pAirport == nullptr) continue;
        for (const auto& f : *a.second.pAirport->getFlights())
            airport.flights[f.first] =
                model::Flight{f.second.name, f.second.days, f.second.from, f.second.to, f.second.booked};
    }
    return out;
}

// networkOf(store) == expected, without building the copy.
inline bool sameNetwork(IDataAccess& store, const model::Airports& expected) {
    const std::map<int, TAirportLink>& airports = *store.getAirports();
    if (airports.size() != expected.size()) return false;
    auto e = expected.begin();
    for (auto a = airports.begin(); a != airports.end(); ++a, ++e) {
        if (a->first != e->first || a->second.name != e->second.name || a->second.pAirport == nullptr) return false;
        const std::map<int, TFlightLink>& table = *a->second.pAirport->getFlights();
        const std::map<int, model::Flight>& flights = e->second.flights;
        if (table.size() != flights.size()) return false;
        auto g = flights.begin();
        for (auto f = table.begin(); f != table.end(); ++f, ++g) {
            if (f->first != g->first || f->second.name != g->second.name || f->second.days != g->second.days ||
                f->second.from != g->second.from || f->second.to != g->second.to ||
                f->second.booked != g->second.booked)
                return false;
        }
    }
    return true;
}

inline std::vector<TTicket> ticketsOf(IArmoringTicket& booking) {
    const std::list<TTicket>* list = booking.getTickets();
    if (list == nullptr) return {};
    return std::vector<TTicket>(list->begin(), list->end());
}

// The structural invariants of the store; empty when they hold, else a
// description of the first breach.
inline std::string invariantBreach(IDataAccess& store) {
    std::ostringstream out;
    std::map<int, TAirportLink>& airports = *store.getAirports();
    for (const auto& a : airports) {
        if (a.second.pAirport == nullptr) {
            out << "airport " << a.first << " has an entry but no object";
            return out.str();
        }
    }
    for (const auto& a : airports) {
        for (const auto& f : *a.second.pAirport->getFlights()) {
            const TFlightLink& link = f.second;
            if (link.from != a.first && link.to != a.first) {
                out << "flight " << f.first << " at airport " << a.first << " neither leaves nor arrives there";
                return out.str();
            }
            if (link.from == link.to) {
                out << "flight " << f.first << " at airport " << a.first << " joins an airport to itself";
                return out.str();
            }
            const int other = link.from == a.first ? link.to : link.from;
            auto o = airports.find(other);
            if (o == airports.end()) {
                out << "flight " << f.first << " at airport " << a.first << " leads to absent airport " << other;
                return out.str();
            }
            auto& otherTable = *o->second.pAirport->getFlights();
            auto twin = otherTable.find(f.first);
            if (twin == otherTable.end() || twin->second.name != link.name || twin->second.days != link.days ||
                twin->second.from != link.from || twin->second.to != link.to) {
                out << "flight " << f.first << " at airport " << a.first << " has no matching entry at airport "
                    << other;
                return out.str();
            }
        }
    }
    return {};
}

// Every capacity (by departure entry) and every booking of the seat
// service, as text.
inline std::string describeSeats(World& w) {
    std::ostringstream out;
    for (const auto& a : *w.store.getAirports()) {
        for (const auto& f : *a.second.pAirport->getFlights()) {
            if (f.second.from != a.first) continue;
            TFlightSeats s;
            w.seats.seatsOf(a.first, f.first, s);
            std::vector<std::int64_t> holding;
            w.seats.bookingsOf(a.first, f.first, holding);
            if (!s.limited() && holding.empty()) continue;
            out << "  flight " << f.first << " at " << a.first << ": seats " << s.seats << " sold " << s.sold
                << " held by";
            for (std::int64_t id : holding) out << ' ' << id;
            out << '\n';
        }
    }
    for (std::int64_t id = 1; id <= w.seats.bookingCount(); ++id) {
        const TBooking& b = *w.seats.booking(id);
        out << "  booking " << id << " n" << b.passengers << (b.cancelled ? " cancelled" : "") << " key \""
            << b.key << "\":";
        for (const TBookedLeg& leg : b.legs)
            out << ' ' << leg.flight << ':' << leg.from << "->" << leg.to << (leg.gone ? " gone" : "");
        out << '\n';
    }
    return out.str();
}

// ---- readable descriptions for failure messages ----

inline std::string describe(const model::Airports& net) {
    std::ostringstream out;
    for (const auto& a : net) {
        out << "  airport " << a.first << " \"" << a.second.name << "\":";
        for (const auto& f : a.second.flights)
            out << " [" << f.first << " \"" << f.second.name << "\" d" << f.second.days << ' ' << f.second.from
                << "->" << f.second.to << " b" << f.second.booked << ']';
        out << '\n';
    }
    return out.str();
}

inline std::string describe(const std::vector<TTicket>& tickets) {
    std::ostringstream out;
    for (const auto& t : tickets) {
        out << " (" << t.airport << ',' << t.flight;
        if (t.pinned) out << ' ' << t.from << "->" << t.to;
        out << ')';
    }
    return out.str();
}

inline std::string describe(const std::vector<model::Row>& rows) {
    std::ostringstream out;
    for (const auto& r : rows)
        out << " (" << r.airport << ',' << r.flight << ",\"" << r.name << "\",d" << r.days << ',' << r.from << "->"
            << r.to << ",b" << r.booked << ')';
    return out.str();
}

}  // namespace robustness
