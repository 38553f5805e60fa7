#pragma once

// Reads the bundled OpenFlights files into the network the host application
// builds from them:
//  - airport number = OpenFlights airport id, name = the airport's name;
//  - flight number = the 1-based line number of the route in routes.dat;
//  - days = 1 + floor(great-circle distance in km / 2000), haversine on a
//    sphere of radius 6371 km;
//  - a route is skipped when either airport id is \N or unknown, or when both
//    ends are the same airport.
// Shared by the exactness tests and the benchmarks, so both see the same
// network.

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace openflights {

struct Airport {
    int id = 0;
    std::string name;
    double lat = 0;
    double lon = 0;
};

struct Flight {
    std::string name;  // airline code and the two airport codes, e.g. "2B AER-KZN"
    int number = 0;
    int days = 0;
    int from = 0;
    int to = 0;
};

struct Network {
    std::vector<Airport> airports;  // in file order
    std::vector<Flight> flights;    // in file order (ascending flight number)
};

// Splits one CSV line; quoted fields may hold commas and doubled quotes.
inline std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

inline double greatCircleKm(double lat1, double lon1, double lat2, double lon2) {
    const double rad = M_PI / 180.0;
    const double dLat = (lat2 - lat1) * rad;
    const double dLon = (lon2 - lon1) * rad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * rad) * std::cos(lat2 * rad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2.0 * 6371.0 * std::atan2(std::sqrt(a), std::sqrt(1.0 - a));
}

inline int daysFor(double km) { return 1 + static_cast<int>(std::floor(km / 2000.0)); }

inline bool parseInt(const std::string& text, int& out) {
    if (text.empty() || text == "\\N") return false;
    try {
        std::size_t used = 0;
        out = std::stoi(text, &used);
        return used == text.size();
    } catch (const std::exception&) {
        return false;
    }
}

inline Network read(const std::string& dir) {
    Network net;
    std::unordered_map<int, std::size_t> byId;
    {
        std::ifstream in(dir + "/airports.dat");
        if (!in) throw std::runtime_error("cannot open " + dir + "/airports.dat");
        std::string line;
        while (std::getline(in, line)) {
            const std::vector<std::string> f = splitCsv(line);
            int id;
            if (f.size() < 8 || !parseInt(f[0], id) || byId.count(id)) continue;
            Airport a;
            a.id = id;
            a.name = f[1];
            try {
                a.lat = std::stod(f[6]);
                a.lon = std::stod(f[7]);
            } catch (const std::exception&) {
                continue;
            }
            byId.emplace(id, net.airports.size());
            net.airports.push_back(std::move(a));
        }
    }
    {
        std::ifstream in(dir + "/routes.dat");
        if (!in) throw std::runtime_error("cannot open " + dir + "/routes.dat");
        std::string line;
        int lineNumber = 0;
        while (std::getline(in, line)) {
            ++lineNumber;
            const std::vector<std::string> f = splitCsv(line);
            int from, to;
            if (f.size() < 6 || !parseInt(f[3], from) || !parseInt(f[5], to) || from == to) continue;
            auto a = byId.find(from);
            auto b = byId.find(to);
            if (a == byId.end() || b == byId.end()) continue;
            const Airport& x = net.airports[a->second];
            const Airport& y = net.airports[b->second];
            Flight flight;
            flight.name = f[0] + " " + f[2] + "-" + f[4];
            flight.number = lineNumber;
            flight.days = daysFor(greatCircleKm(x.lat, x.lon, y.lat, y.lon));
            flight.from = from;
            flight.to = to;
            net.flights.push_back(std::move(flight));
        }
    }
    return net;
}

// Enters the network through anything with the store's addAirport/addFlight
// (the store itself or the flight management). Returns the number of refused
// calls, which is 0 for the bundled files.
template <class Target>
int enter(const Network& net, Target& target) {
    int refused = 0;
    for (const Airport& a : net.airports)
        if (target.addAirport(a.id, a.name) != 0) ++refused;
    for (const Flight& f : net.flights)
        if (target.addFlight(f.name, f.number, f.days, f.from, f.to) != 0) ++refused;
    return refused;
}

}  // namespace openflights
