// The route choices of a Network: each query runs under the shared lock,
// copies its routes' legs out of the network and turns a refused query into
// the Refusal of its rule.

#include <mutex>
#include <shared_mutex>
#include <stdexcept>

#include "library/Network.h"

namespace tavrik {

namespace {

Rule ruleOf(Choices::Problem problem) {
    switch (problem) {
        case Choices::Problem::UnknownAirport: return Rule::UnknownAirport;
        case Choices::Problem::UnknownFlight: return Rule::UnknownFlightNumber;
        case Choices::Problem::ViaIsEnd: return Rule::ViaIsEnd;
        case Choices::Problem::AvoidedEnd: return Rule::AvoidedEnd;
        case Choices::Problem::NoAirports: return Rule::NoEndAirports;
        case Choices::Problem::CountOutOfRange: return Rule::AlternativesCount;
        case Choices::Problem::NegativeLegLimit: return Rule::NegativeLegLimit;
        case Choices::Problem::NegativeReachDays: return Rule::NegativeReachDays;
        case Choices::Problem::ViaInReach: return Rule::ViaInReach;
        case Choices::Problem::NegativeLoop: return Rule::NegativeLoop;
        case Choices::Problem::PassengerCount: return Rule::PassengerCount;
    }
    throw std::logic_error("route choices refused a query by an unknown problem");
}

// Runs one query of the route choices, with the refusal translated.
template <class Body>
auto refusing(Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const Choices::Refused& r) {
        throw Refusal(ruleOf(r.problem), r.a, r.b);
    }
}

// The legs with their names and booked counts, read from the departure
// airports' tables (the lock is held, so every flight is there).
ChoiceRoute copied(const Choices::Route& route, IManagementFlight& management) {
    ChoiceRoute out{route.from, route.to, route.days, {}};
    out.legs.reserve(route.legs.size());
    for (const Choices::Leg& leg : route.legs) {
        const std::map<int, TFlightLink>* table = management.getFlights(leg.from);
        const auto entry = table->find(leg.flight);
        out.legs.push_back(ReportedFlight{leg.from, leg.flight, entry->second.name, entry->second.days,
                                          entry->second.from, entry->second.to, entry->second.booked});
    }
    return out;
}

std::vector<ChoiceRoute> copiedAll(const std::vector<Choices::Route>& routes, IManagementFlight& management) {
    std::vector<ChoiceRoute> out;
    out.reserve(routes.size());
    for (const Choices::Route& r : routes) out.push_back(copied(r, management));
    return out;
}

}  // namespace

Choices::TChoices& Network::choicesOrThrow() {
    if (!choices) throw std::logic_error("route choices need a network that owns its store");
    return *choices;
}

ChoiceFit Network::fitChoice(const Choices::Query& query, int maxDays) {
    std::shared_lock<NetworkLock> lock(network);
    return refusing([&] {
        const Choices::FitAnswer answer = choicesOrThrow().fit(query, maxDays);
        ChoiceFit out{static_cast<FitAnswer::Kind>(answer.kind), ChoiceRoute{0, 0, 0, {}}, answer.fewestDays};
        if (answer.kind == Choices::FitAnswer::Kind::Route) out.route = copied(answer.route, management);
        return out;
    });
}

std::vector<ChoiceRoute> Network::front(const Choices::Query& query, int maxDays) {
    std::shared_lock<NetworkLock> lock(network);
    return refusing([&] { return copiedAll(choicesOrThrow().front(query, maxDays), management); });
}

std::vector<ChoiceRoute> Network::alternatives(const Choices::Query& query, int maxDays, int k) {
    std::shared_lock<NetworkLock> lock(network);
    return refusing([&] { return copiedAll(choicesOrThrow().alternatives(query, maxDays, k), management); });
}

std::vector<Choices::Reached> Network::reach(const Choices::Query& query, int maxDays) {
    std::shared_lock<NetworkLock> lock(network);
    return refusing([&] { return choicesOrThrow().reach(query, maxDays); });
}

}  // namespace tavrik
