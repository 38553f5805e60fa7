// A Network kept in a folder: opening (snapshot, then the journal's
// records replayed through the network's own operations), the records of
// each change, snapshots of the whole network, and closing.

#include <algorithm>
#include <list>
#include <shared_mutex>
#include <stdexcept>

#include "bookings/TSeatBooking.h"
#include "durable/Bytes.h"
#include "library/Network.h"
#include "library/NetworkRecords.h"
#include "store/TDataAccess.h"

namespace tavrik {

using durable::Reader;
using durable::Writer;

std::string records::load(const std::vector<AirportItem>& airports, const std::vector<FlightItem>& flights) {
    return record(Kind::Load, listOf(airports, [](Writer& w, const AirportItem& a) { putAll(w, a.airport, a.name); }),
                  listOf(flights, [](Writer& w, const FlightItem& f) {
                      putAll(w, f.flight, f.name, f.days, f.from, f.to);
                  }));
}

std::unique_ptr<Network> Network::open(const std::string& folder, durable::Durability mode,
                                       durable::FileSystem& files) {
    auto network = std::make_unique<Network>();
    Network* n = network.get();
    // The journal's bookings are sold through the seat service's replay
    // path (see TSeatBooking::beginReplay), finished before anything reads.
    auto* seatService = static_cast<SeatBooking::TSeatBooking*>(n->seats);
    seatService->beginReplay();
    // Empty at first, so an empty network's bytes are the first snapshot.
    auto disk = durable::Store::open(
        files, folder, mode, [n] { return n->saveState(); }, [n](std::string_view state) { n->restoreState(state); },
        [n](std::string_view record) { n->replay(record); });
    seatService->endReplay();
    network->disk = std::move(disk);
    return network;
}

void Network::refuseIfStopped() {
    const std::string why = disk->stopped();
    if (!why.empty())
        throw durable::StorageError(durable::StorageError::Kind::Stopped,
                                    "the network in " + disk->folder() + " accepts no more changes (" + why +
                                        "; reads go on)");
}

void Network::commitRecord(std::uint64_t number) { disk->commit(number); }

void Network::checkpoint() {
    if (!disk) throw std::logic_error("this network is not kept in a folder");
    // Shared: no change runs, so the snapshot and the last record agree.
    std::shared_lock<NetworkLock> lock(network);
    disk->checkpoint(saveState());
}

void Network::closeFolder() {
    if (!disk) return;
    // Exclusive: no change is half recorded while the journal closes.
    std::unique_lock<NetworkLock> lock(network);
    disk->close();
}

std::string Network::saveState() {
    if (!owned) throw std::logic_error("a network over services of the caller has no state of its own");
    std::string out;
    Writer w(out);
    const std::map<int, TAirportLink>& airports = *management.getAirports();
    w.u32(std::uint32_t(airports.size()));
    for (const auto& [number, link] : airports) {
        w.i32(number);
        w.str(link.name);
    }
    std::uint32_t flights = 0;
    for (const auto& [number, link] : airports)
        for (const auto& [flight, entry] : *management.getFlights(number)) flights += entry.from == number;
    w.u32(flights);
    // Each flight once, at its departure, with the booked counts of both of
    // its entries.
    for (const auto& [number, link] : airports)
        for (const auto& [flight, entry] : *management.getFlights(number)) {
            if (entry.from != number) continue;
            w.i32(flight);
            w.str(entry.name);
            w.i32(entry.days);
            w.i32(entry.from);
            w.i32(entry.to);
            w.i32(entry.booked);
            w.i32(management.getFlights(entry.to)->at(flight).booked);
        }
    static_cast<SeatBooking::TSeatBooking*>(seats)->saveState(out);
    return out;
}

void Network::restoreState(std::string_view state) {
    if (!owned) throw std::logic_error("a network over services of the caller has no state of its own");
    Reader r(state);
    std::vector<DataAccess::TBuildAirport> airports(r.count(8));
    for (DataAccess::TBuildAirport& a : airports) {
        a.airport = r.i32();
        a.name = r.str();
    }
    std::vector<DataAccess::TBuildFlight> flights(r.count(28));
    for (DataAccess::TBuildFlight& f : flights) {
        f.flight = r.i32();
        f.name = r.str();
        f.days = r.i32();
        f.from = r.i32();
        f.to = r.i32();
        f.bookedFrom = r.i32();
        f.bookedTo = r.i32();
    }
    std::unique_lock<NetworkLock> lock(network);
    // The whole network at once; bytes that hold a network the store would
    // refuse are told apart item by item, which names the first bad one.
    // The flights' entries come back for the seat service, in the
    // snapshot's order: ascending departure and number.
    std::vector<TFlightEntries> entries;
    const bool whole = ownStore()->build(airports, flights, &entries);
    auto byDeparture = [](const TFlightEntries& a, const TFlightEntries& b) {
        return a.from < b.from || (a.from == b.from && a.flight < b.flight);
    };
    if (whole && !std::is_sorted(entries.begin(), entries.end(), byDeparture))
        std::sort(entries.begin(), entries.end(), byDeparture);
    if (!whole) {
        for (DataAccess::TBuildAirport& a : airports)
            if (management.addAirport(a.airport, std::move(a.name)) != 0)
                throw std::runtime_error("airport " + std::to_string(a.airport) + " twice");
        for (DataAccess::TBuildFlight& f : flights) {
            if (f.from == f.to || management.addFlight(std::move(f.name), f.flight, f.days, f.from, f.to) != 0)
                throw std::runtime_error("flight " + std::to_string(f.flight) + " from " + std::to_string(f.from) +
                                         " cannot be added");
            management.getFlights(f.from)->at(f.flight).booked = f.bookedFrom;
            management.getFlights(f.to)->at(f.flight).booked = f.bookedTo;
        }
    }
    static_cast<SeatBooking::TSeatBooking*>(seats)->restoreState(r, whole ? &entries : nullptr);
    if (!r.done()) throw std::runtime_error("bytes after the end of the state");
}

namespace {

// An airport and a flight as their records and the load record write them.
AirportItem airportItem(Reader& r) {
    AirportItem a;
    a.airport = r.i32();
    a.name = r.str();
    return a;
}

FlightItem flightItem(Reader& r) {
    FlightItem f;
    f.flight = r.i32();
    f.name = r.str();
    f.days = r.i32();
    f.from = r.i32();
    f.to = r.i32();
    return f;
}

// A booking's request key into `key`: null when the record has none.
const std::string* readKey(Reader& r, std::string& key) {
    if (r.u8() == 0) return nullptr;
    key = r.str();
    return &key;
}

// Into `legs`, which keeps its room from one record to the next.
void readLegs(Reader& r, std::vector<TLegRequest>& legs) {
    legs.resize(r.count(12));
    for (TLegRequest& l : legs) {
        l.flight = r.i32();
        l.from = r.i32();
        l.to = r.i32();
    }
}

void expectBooking(std::int64_t got, std::int64_t recorded) {
    if (got != recorded)
        throw std::runtime_error("the booking replayed got id " + std::to_string(got) + ", not the " +
                                 std::to_string(recorded) + " recorded");
}

}  // namespace

// Replays one record through the network's own operations (no journal is
// attached yet, so nothing is recorded again). Every record was a change
// that succeeded on the state before it; one that is refused now, or whose
// booking gets another id, means the journal does not belong to this state.
void Network::replay(std::string_view record) {
    Reader r(record);
    switch (records::Kind(r.u8())) {
        case records::Kind::Airport: {
            AirportItem a = airportItem(r);
            insertAirport(a.airport, std::move(a.name));
            break;
        }
        case records::Kind::Flight: {
            FlightItem f = flightItem(r);
            insertFlight(f.flight, std::move(f.name), f.days, f.from, f.to);
            break;
        }
        case records::Kind::RemoveFlight: {
            const int airport = r.i32();
            if (!eraseFlight(airport, r.i32())) throw std::runtime_error("no flight to remove");
            break;
        }
        case records::Kind::RemoveAirport:
            if (!eraseAirport(r.i32())) throw std::runtime_error("no airport to remove");
            break;
        case records::Kind::Tickets: {
            std::list<TTicket> tickets;
            for (std::uint32_t n = r.count(8); n > 0; --n) {
                const int airport = r.i32();
                tickets.push_back(TTicket{airport, r.i32()});
            }
            std::unique_lock<NetworkLock> lock(network);
            if (ownStore()->armoringTicketList(&tickets) != 0)
                throw std::runtime_error("the ticket list cannot be booked");
            break;
        }
        case records::Kind::Load: {
            std::vector<AirportItem> airports(r.count(8));
            for (AirportItem& a : airports) a = airportItem(r);
            std::vector<FlightItem> flights(r.count(20));
            for (FlightItem& f : flights) f = flightItem(r);
            load(airports, flights);
            break;
        }
        case records::Kind::Seats: {
            const int airport = r.i32(), flight = r.i32();
            setSeats(airport, flight, r.i32());
            break;
        }
        case records::Kind::Book: {
            // Opening replays on one thread; the room for the legs is kept
            // between records rather than allocated for each.
            static thread_local std::vector<TLegRequest> legs;
            readLegs(r, legs);
            const int passengers = r.i32();
            std::string key;
            const std::string* keyed = readKey(r, key);
            const std::int64_t id = r.i64();
            // Straight to the seat service: opening holds the network alone,
            // and the booking need not be copied out.
            const TSeatOutcome o = seats->book(legs, passengers, keyed);
            if (!o.done()) refuse(o);
            expectBooking(o.booking, id);
            break;
        }
        case records::Kind::FitAndBook: {
            const int maxDays = r.i32(), from = r.i32(), to = r.i32(), passengers = r.i32();
            std::string key;
            const std::string* keyed = readKey(r, key);
            const std::int64_t id = r.i64();
            expectBooking(fitAndBookFor(maxDays, from, to, passengers, keyed).id, id);
            break;
        }
        case records::Kind::Cancel:
            if (!cancelBooking(r.i64())) throw std::runtime_error("the booking was cancelled already");
            break;
        default:
            throw std::runtime_error("unknown record kind");
    }
    if (!r.done()) throw std::runtime_error("bytes after the end of the record");
}

}  // namespace tavrik
