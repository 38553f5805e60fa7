#include "flights/TManagementFlight.h"

#include <utility>

#include "store/ResultCodes.h"

namespace ManagementFlight {

// Any refusal of the store is kRefused; its positive "nothing to remove" is
// success.
using codes::management::fold;

TManagementFlight::TManagementFlight(IDataAccess* data) : data(data) {}

TManagementFlight::~TManagementFlight() = default;

std::map<int, TAirportLink>* TManagementFlight::getAirports() {
    return data == nullptr ? nullptr : data->getAirports();
}

std::map<int, TFlightLink>* TManagementFlight::getFlights(int airport) {
    return data == nullptr ? nullptr : data->getFlights(airport);
}

int TManagementFlight::addAirport(int airport, std::string name) {
    if (data == nullptr) return codes::management::kNoStore;
    return fold(data->addAirport(airport, std::move(name)));
}

int TManagementFlight::addFlight(std::string name, int flight, int days, int from, int to) {
    if (data == nullptr) return codes::management::kNoStore;
    return fold(data->addFlight(std::move(name), flight, days, from, to));
}

int TManagementFlight::removeFlight(int airport, int flight) {
    if (data == nullptr) return codes::management::kNoStore;
    return fold(data->removeFlight(airport, flight));
}

int TManagementFlight::removeAirport(int airport) {
    if (data == nullptr) return codes::management::kNoStore;
    return fold(data->removeAirport(airport));
}

}  // namespace ManagementFlight
