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
