#include "store/TDataAccess.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <numeric>
#include <tuple>
#include <utility>
#include <vector>

#include "store/GetNewAirport.h"

namespace DataAccess {

TDataAccess::TDataAccess() : TDataAccess(std::make_unique<ManagementAirport::GetNewAirport>()) {}

TDataAccess::TDataAccess(std::unique_ptr<IGetNewAirport> factory) : factory(std::move(factory)) {}

TDataAccess::~TDataAccess() = default;

IManagementAirport* TDataAccess::findAirport(int airport) const {
    auto found = objects.find(airport);
    return found == objects.end() ? nullptr : found->second.get();
}

std::map<int, TAirportLink>* TDataAccess::getAirports() { return &airports; }

std::map<int, TFlightLink>* TDataAccess::getFlights(int airport) {
    IManagementAirport* p = findAirport(airport);
    if (p == nullptr) return nullptr;
    return p->getFlights();
}

void TDataAccess::addListener(INetworkListener* listener) { listeners.push_back(listener); }

void TDataAccess::removeListener(INetworkListener* listener) noexcept {
    for (auto it = listeners.begin(); it != listeners.end(); ++it) {
        if (*it == listener) {
            listeners.erase(it);  // moves pointers down: cannot throw
            return;
        }
    }
}

int TDataAccess::armoringTicketList(std::list<TTicket>* tickets) {
    // Book in order; at the first ticket that cannot be booked, take back the
    // bookings already made (in reverse, which allocates nothing) so that a
    // refused list changes no count.
    int result = 0;
    auto ticket = tickets->begin();
    for (; ticket != tickets->end(); ++ticket) {
        IManagementAirport* airport = findAirport(ticket->airport);
        if (airport == nullptr) {
            result = -1;
            break;
        }
        // A pinned ticket books only the flight it was fitted for: an entry
        // under the same number that now joins other airports is another
        // flight, and the ticket counts as gone.
        std::map<int, TFlightLink>* table = airport->getFlights();
        auto entry = table->find(ticket->flight);
        if (entry != table->end() && !ticketHonoured(*ticket, entry->second)) {
            result = -2;
            break;
        }
        if (airport->bookTicket(ticket->flight) < 0) {
            result = -2;
            break;
        }
    }
    if (result != 0) {
        while (ticket != tickets->begin()) {
            --ticket;
            findAirport(ticket->airport)->unbookTicket(ticket->flight);
        }
        return result;
    }
    for (INetworkListener* listener : listeners) listener->ticketsBooked(*tickets);
    return result;
}

int TDataAccess::addAirport(int airport, std::string name) {
    auto place = airports.lower_bound(airport);
    if (place != airports.end() && place->first == airport) return -1;
    std::unique_ptr<IManagementAirport> created(factory->createAirport(airport));
    IManagementAirport* object = created.get();
    TAirportLink link;
    link.name = std::move(name);
    link.pAirport = object;
    auto entry = airports.emplace_hint(place, airport, std::move(link));
    try {
        // A failed emplace leaves `created` as it was, owning the object.
        objects.emplace(airport, std::move(created));
    } catch (...) {
        airports.erase(entry);
        throw;
    }
    // Every listener learns of the airport, or none keeps it: if one fails,
    // those told before are told of its removal and the entry goes again.
    std::size_t told = 0;
    try {
        for (; told < listeners.size(); ++told) listeners[told]->airportAdded(airport);
    } catch (...) {
        const std::map<int, TFlightLink>& noFlights = *object->getFlights();
        while (told > 0) listeners[--told]->airportRemoving(airport, noFlights);
        airports.erase(entry);
        objects.erase(airport);
        throw;
    }
    ++revision;
    return 0;
}

int TDataAccess::addFlight(std::string name, int flight, int days, int from, int to) {
    IManagementAirport* departure = findAirport(from);
    if (departure == nullptr) return -1;
    IManagementAirport* arrival = findAirport(to);
    if (arrival == nullptr) return -1;
    if (departure->addFlight(flight, name, days, from, to) < 0) return -2;
    // If the second entry is refused or its allocation fails, the first one
    // is taken out again: a flight is never held at one airport only.
    int second;
    try {
        second = arrival->addFlight(flight, std::move(name), days, from, to);
    } catch (...) {
        departure->removeFlight(flight);
        throw;
    }
    if (second < 0) {
        departure->removeFlight(flight);
        return -2;
    }
    std::size_t told = 0;
    try {
        for (; told < listeners.size(); ++told) listeners[told]->flightAdded(flight, days, from, to);
    } catch (...) {
        departure->removeFlight(flight);
        arrival->removeFlight(flight);
        while (told > 0) listeners[--told]->flightRemoved(flight, days, from, to);
        throw;
    }
    ++revision;
    return 0;
}

int TDataAccess::removeFlight(int airport, int flight) {
    IManagementAirport* here = findAirport(airport);
    if (here == nullptr) return -1;
    std::map<int, TFlightLink>* table = here->getFlights();
    auto entry = table->find(flight);
    if (entry == table->end()) return -2;
    // The other end is read before anything is erased. Erasing allocates
    // nothing, so the two removals below cannot be interrupted.
    const int from = entry->second.from, to = entry->second.to, days = entry->second.days;
    const int other = airport == from ? to : from;
    here->removeFlight(flight);
    IManagementAirport* there = findAirport(other);
    if (there != nullptr) there->removeFlight(flight);
    for (INetworkListener* listener : listeners) listener->flightRemoved(flight, days, from, to);
    ++revision;
    return 0;
}

int TDataAccess::removeAirport(int airport) {
    auto link = airports.find(airport);
    if (link == airports.end()) return 1;
    IManagementAirport* object = link->second.pAirport;
    std::map<int, TFlightLink>* table = object->getFlights();
    // Collect the other end of every flight first (the only allocation), then
    // erase, which cannot fail: the airport goes as a whole or not at all.
    std::vector<std::pair<int, int>> others;  // (flight number, other airport)
    others.reserve(table->size());
    for (const auto& [number, flight] : *table)
        others.emplace_back(number, flight.from == airport ? flight.to : flight.from);
    for (INetworkListener* listener : listeners) listener->airportRemoving(airport, *table);
    for (const auto& flightAndOther : others) {
        if (flightAndOther.second == airport) continue;
        IManagementAirport* there = findAirport(flightAndOther.second);
        if (there != nullptr) there->removeFlight(flightAndOther.first);
    }
    airports.erase(link);
    objects.erase(airport);  // deletes the airport object
    ++revision;
    return 0;
}

std::uint64_t TDataAccess::getRevision() const { return revision; }

// ---- building a whole network at once ----

namespace {

constexpr std::uint32_t kNoSlot = std::numeric_limits<std::uint32_t>::max();

// The position of each airport number among the ascending numbers: a table
// indexed by number when they lie close together (the usual case: numbers
// given out one after the other), else a binary search.
class SlotIndex {
public:
    explicit SlotIndex(const std::vector<int>& ascending) : ascending(ascending) {
        if (ascending.empty()) return;
        lowest = ascending.front();
        const std::int64_t span = std::int64_t(ascending.back()) - lowest + 1;
        if (span > 4 * std::int64_t(ascending.size()) + 4096) return;
        table.assign(std::size_t(span), kNoSlot);
        for (std::size_t i = 0; i < ascending.size(); ++i)
            table[std::size_t(std::int64_t(ascending[i]) - lowest)] = std::uint32_t(i);
    }
    // kNoSlot when the number is not among them.
    std::uint32_t slotOf(int airport) const {
        if (!table.empty()) {
            const std::int64_t at = std::int64_t(airport) - lowest;
            return at < 0 || at >= std::int64_t(table.size()) ? kNoSlot : table[std::size_t(at)];
        }
        auto at = std::lower_bound(ascending.begin(), ascending.end(), airport);
        return at != ascending.end() && *at == airport ? std::uint32_t(at - ascending.begin()) : kNoSlot;
    }

private:
    const std::vector<int>& ascending;
    std::int64_t lowest = 0;
    std::vector<std::uint32_t> table;
};

// One flight entry of the network being built: its number, the flight item
// it comes from, the slot of the flight's other airport and which end this
// entry is.
struct BuildEntry {
    int number;
    std::uint32_t item;
    std::uint32_t other;
    bool departure;
};

// The positions of the flight items in ascending flight number: a radix
// sort of (number, position) pairs, eleven bits a pass, passes over digits
// that all items share skipped (as every pass is when the items come in
// order). Linear in the items, where sorting each airport's flights would
// cost a logarithm more at the hubs.
std::vector<std::uint32_t> orderByNumber(const std::vector<TBuildFlight>& items) {
    const std::size_t n = items.size();
    // The number with its sign bit flipped orders as the signed number does.
    std::vector<std::uint64_t> keys(n), spare(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = std::uint64_t(std::uint32_t(items[i].flight) ^ 0x80000000u) << 32 | std::uint32_t(i);
    if (!std::is_sorted(keys.begin(), keys.end())) {
        for (int shift = 32; shift < 64; shift += 11) {
            std::size_t count[2048] = {};
            for (const std::uint64_t k : keys) ++count[(k >> shift) & 2047];
            if (count[(keys[0] >> shift) & 2047] == n) continue;
            std::size_t at = 0;
            for (std::size_t& c : count) {
                const std::size_t here = c;
                c = at;
                at += here;
            }
            for (const std::uint64_t k : keys) spare[count[(k >> shift) & 2047]++] = k;
            keys.swap(spare);
        }
    }
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = std::uint32_t(keys[i]);
    return order;
}

}  // namespace

bool TDataAccess::build(std::vector<TBuildAirport>& airportItems, std::vector<TBuildFlight>& flightItems,
                        std::vector<TFlightEntries>* where) {
    if (!airports.empty()) return false;
    const std::size_t airportCount = airportItems.size(), flightCount = flightItems.size();
    if (airportCount >= kNoSlot || flightCount >= kNoSlot / 2) return false;

    // First everything that can refuse, with nothing moved: the airports in
    // ascending number (a number twice is refused), then each flight's two
    // entries grouped by airport (a counting sort over the flights taken in
    // ascending number, so each airport's entries come out in order; a
    // number twice at one airport is refused).
    std::vector<std::uint32_t> byNumber(airportCount);
    std::iota(byNumber.begin(), byNumber.end(), 0u);
    auto numberOf = [&](std::uint32_t i) { return airportItems[i].airport; };
    if (!std::is_sorted(byNumber.begin(), byNumber.end(),
                        [&](std::uint32_t x, std::uint32_t y) { return numberOf(x) < numberOf(y); }))
        std::sort(byNumber.begin(), byNumber.end(),
                  [&](std::uint32_t x, std::uint32_t y) { return numberOf(x) < numberOf(y); });
    std::vector<int> numbers(airportCount);
    for (std::size_t i = 0; i < airportCount; ++i) {
        numbers[i] = numberOf(byNumber[i]);
        if (i > 0 && numbers[i] == numbers[i - 1]) return false;
    }
    const SlotIndex slots(numbers);

    std::vector<std::uint32_t> fromSlot(flightCount), toSlot(flightCount);
    std::vector<std::uint32_t> first(airportCount + 1, 0);  // entries of slot s: [first[s], first[s + 1])
    for (std::size_t f = 0; f < flightCount; ++f) {
        const TBuildFlight& item = flightItems[f];
        const std::uint32_t a = slots.slotOf(item.from), b = slots.slotOf(item.to);
        if (a == kNoSlot || b == kNoSlot || a == b) return false;
        fromSlot[f] = a;
        toSlot[f] = b;
        ++first[a + 1];
        ++first[b + 1];
    }
    std::partial_sum(first.begin(), first.end(), first.begin());
    // Taken in ascending flight number, the flights fall into their
    // airports' ranges already in order.
    const std::vector<std::uint32_t> byFlight = orderByNumber(flightItems);
    std::vector<BuildEntry> entries(2 * flightCount);
    {
        std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
        for (const std::uint32_t f : byFlight) {
            const int number = flightItems[f].flight;
            entries[next[fromSlot[f]]++] = BuildEntry{number, f, toSlot[f], true};
            entries[next[toSlot[f]]++] = BuildEntry{number, f, fromSlot[f], false};
        }
    }
    for (std::size_t s = 0; s < airportCount; ++s) {
        auto begin = entries.begin() + first[s], end = entries.begin() + first[s + 1];
        if (std::adjacent_find(begin, end, [](const BuildEntry& x, const BuildEntry& y) {
                return x.number == y.number;
            }) != end)
            return false;
    }

    // Then the tables, aside: the store takes them over only once they are
    // whole, so running out of memory on the way leaves it as it was. Every
    // table is filled in ascending key order, each insert at its end.
    std::unordered_map<int, std::unique_ptr<IManagementAirport>> builtObjects;
    builtObjects.reserve(airportCount);
    std::vector<IManagementAirport*> bySlot(airportCount);
    std::vector<TFlightEntries> placed(where != nullptr ? flightCount : 0);
    for (std::size_t s = 0; s < airportCount; ++s) {
        std::unique_ptr<IManagementAirport> created(factory->createAirport(numbers[s]));
        bySlot[s] = created.get();
        builtObjects.emplace(numbers[s], std::move(created));  // room reserved: no rehash
    }
    // An airport's entries, in flight number order, name items anywhere in
    // the batch: the item a few entries ahead is fetched while this one is
    // built.
    constexpr std::size_t kAhead = 8;
    for (std::size_t s = 0; s < airportCount; ++s) {
        std::map<int, TFlightLink>& table = *bySlot[s]->getFlights();
        for (std::size_t e = first[s]; e < first[s + 1]; ++e) {
            if (e + kAhead < entries.size()) __builtin_prefetch(&flightItems[entries[e + kAhead].item]);
            const BuildEntry& entry = entries[e];
            TBuildFlight& item = flightItems[entry.item];
            // Made empty in its node and filled there. If a name's copy
            // fails, the tables made so far go as a whole.
            auto node = table.emplace_hint(table.end(), std::piecewise_construct, std::forward_as_tuple(entry.number),
                                           std::forward_as_tuple());
            TFlightLink& link = node->second;
            // The entry built second (at the airport of the larger slot)
            // takes the name over; the first one copies it.
            if (entry.other < s)
                link.name = std::move(item.name);
            else
                link.name = item.name;
            link.days = item.days;
            link.from = item.from;
            link.to = item.to;
            link.booked = entry.departure ? item.bookedFrom : item.bookedTo;
            if (where != nullptr) {
                TFlightEntries& p = placed[entry.item];
                (entry.departure ? p.atFrom : p.atTo) = &node->second;
            }
        }
    }
    std::map<int, TAirportLink> builtAirports;
    for (std::size_t s = 0; s < airportCount; ++s) {
        TAirportLink link;
        link.name = std::move(airportItems[byNumber[s]].name);
        link.pAirport = bySlot[s];
        builtAirports.emplace_hint(builtAirports.end(), numbers[s], std::move(link));
    }

    if (where != nullptr)
        for (std::size_t f = 0; f < flightCount; ++f) {
            placed[f].from = flightItems[f].from;
            placed[f].flight = flightItems[f].flight;
        }

    // Nothing below throws.
    airports.swap(builtAirports);
    objects.swap(builtObjects);
    if (where != nullptr) where->swap(placed);
    ++revision;
    for (INetworkListener* listener : listeners) listener->networkBuilt();
    return true;
}

}  // namespace DataAccess
