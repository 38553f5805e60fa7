#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/IDataAccess.h"
#include "store/IGetNewAirport.h"

namespace DataAccess {

// One airport and one flight of a network built whole (TDataAccess::build).
// A flight carries the booked counts of its two entries.
struct TBuildAirport {
    int airport = 0;
    std::string name;
};
struct TBuildFlight {
    int flight = 0;
    int days = 0;
    int from = 0;
    int to = 0;
    int bookedFrom = 0;
    int bookedTo = 0;
    std::string name;
};

class TDataAccess final : public IDataAccess {
public:
    TDataAccess();
    // Uses the given factory (for tests).
    explicit TDataAccess(std::unique_ptr<IGetNewAirport> factory);
    ~TDataAccess() override;
    TDataAccess(const TDataAccess&) = delete;
    TDataAccess& operator=(const TDataAccess&) = delete;

    std::map<int, TAirportLink>* getAirports() override;
    std::map<int, TFlightLink>* getFlights(int airport) override;
    int armoringTicketList(std::list<TTicket>* tickets) override;
    int addAirport(int airport, std::string name) override;
    int addFlight(std::string name, int flight, int days, int from, int to) override;
    int removeFlight(int airport, int flight) override;
    int removeAirport(int airport) override;
    std::uint64_t getRevision() const override;
    void addListener(INetworkListener* listener) override;
    void removeListener(INetworkListener* listener) noexcept override;

    // Fills an empty store with every airport and then every flight, as
    // addAirport and addFlight called in that order would, with the booked
    // counts given; the listeners are told once (networkBuilt). Airports and
    // flights come in any order: both are sorted once and each table is
    // built by appending at its end, with no per-item lookup or listener
    // call. False, and nothing changed, when the store is not empty or when
    // one of those calls would refuse an item (the caller then finds which,
    // one call at a time). Running out of memory throws with nothing
    // changed. On success the names have moved into the store; after a
    // throw they may have. `entries`, when given, receives the two entries
    // of each flight item, in the items' order.
    bool build(std::vector<TBuildAirport>& airports, std::vector<TBuildFlight>& flights,
               std::vector<TFlightEntries>* entries = nullptr);

private:
    // The airport object of `airport`, or null when it is absent. A pure
    // lookup in the hash index below, which always agrees with the table.
    IManagementAirport* findAirport(int airport) const;

    // The airport table; its links point at the objects owned below.
    std::map<int, TAirportLink> airports;
    // The airport objects by number, owned here, for the lookups every edit
    // and booking makes: an ordered map of thousands of airports costs a
    // cache miss per level, a hash index about one.
    std::unordered_map<int, std::unique_ptr<IManagementAirport>> objects;
    std::unique_ptr<IGetNewAirport> factory;
    std::uint64_t revision = 0;
    std::vector<INetworkListener*> listeners;
};

}  // namespace DataAccess
