#include "flights/TManagementFlight.h"

#include <utility>

namespace ManagementFlight {

namespace {

// Any refusal of the store is -2; its positive "nothing to remove" is success.
int fold(int storeResult) { return storeResult < 0 ? -2 : 0; }

}  // namespace

TManagementFlight::TManagementFlight(IDataAccess* data) : data(data) {}

TManagementFlight::~TManagementFlight() = default;

std::map<int, TAirportLink>* TManagementFlight::getAirports() {
    return data == nullptr ? nullptr : data->getAirports();
}

std::map<int, TFlightLink>* TManagementFlight::getFlights(int airport) {
    return data == nullptr ? nullptr : data->getFlights(airport);
}

int TManagementFlight::addAirport(int airport, std::string name) {
    if (data == nullptr) return -1;
    return fold(data->addAirport(airport, std::move(name)));
}

int TManagementFlight::addFlight(std::string name, int flight, int days, int from, int to) {
    if (data == nullptr) return -1;
    return fold(data->addFlight(std::move(name), flight, days, from, to));
}

int TManagementFlight::removeFlight(int airport, int flight) {
    if (data == nullptr) return -1;
    return fold(data->removeFlight(airport, flight));
}

int TManagementFlight::removeAirport(int airport) {
    if (data == nullptr) return -1;
    return fold(data->removeAirport(airport));
}

}  // namespace ManagementFlight
