package palvorin.demo;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.regex.Pattern;
import palvorin.openflights.OpenFlights;
import tavrik.Network;

/**
 * Builds the network in the library (the shared network of the host classes) from the
 * OpenFlights files in one call: one airport per line of airports.dat (number = OpenFlights id), one flight per usable line of routes.dat (number = its
 * line number, days from the great-circle distance, seats from its aircraft type), and the
 * directory of codes and places.
 */
final class OpenFlightsLoader {
    private static final Pattern TRAILING_COMMAS = Pattern.compile("[,\\s]+$");

    /** What a load did, for the opening report. */
    static final class Report {
        OpenFlights.Network read;
        int airportsLoaded;
        int airportsRefused;
        int flightsLoaded;
        int routesRefused;
        long readNanos;
        long libraryNanos;

        int routesSkipped() {
            return read.routesSkipped() + routesRefused;
        }
    }

    private OpenFlightsLoader() {}

    static Report load(Path dataDir, Directory directory) throws IOException {
        Report report = new Report();
        long start = System.nanoTime();
        OpenFlights.Network net = OpenFlights.read(dataDir);
        report.read = net;
        long read = System.nanoTime();

        // The whole network goes to the library in one call, which takes all of it or none: the
        // items the network's rules would refuse (a number taken, an airport missing, a flight
        // from an airport to itself) are left out here, and counted as refused.
        Network.Batch batch = new Network.Batch(net.airports.size(), net.routes.size());
        Set<Integer> airports = new HashSet<>();
        for (OpenFlights.Airport a : net.airports) {
            Directory.Airport airport = directoryEntry(a);
            if (airports.add(a.id())) {
                batch.airport(a.id(), airport.label());
                directory.add(airport, a.iata(), a.icao());
                ++report.airportsLoaded;
            } else {
                ++report.airportsRefused;
            }
        }
        List<OpenFlights.Route> loaded = new ArrayList<>(net.routes.size());
        Set<Long> numbersTaken = new HashSet<>();
        StringBuilder name = new StringBuilder();
        for (OpenFlights.Route r : net.routes) {
            if (!airports.contains(r.from()) || !airports.contains(r.to()) || r.from() == r.to()
                    || numbersTaken.contains(numberAt(r.from(), r.line()))
                    || numbersTaken.contains(numberAt(r.to(), r.line()))) {
                ++report.routesRefused;
                continue;
            }
            numbersTaken.add(numberAt(r.from(), r.line()));
            numbersTaken.add(numberAt(r.to(), r.line()));
            name.setLength(0);
            name.append(r.airline()).append(' ').append(directory.get(r.from()).shortLabel()).append('-')
                    .append(directory.get(r.to()).shortLabel());
            batch.flight(r.line(), name.toString(), r.days(), r.from(), r.to());
            ++report.flightsLoaded;
            loaded.add(r);
        }
        Network.shared().load(batch);
        // Each flight's seats, from its aircraft type.
        Network shared = Network.shared();
        for (OpenFlights.Route r : loaded) shared.setSeats(r.from(), r.line(), AircraftSeats.of(r.aircraft()));
        directory.setLoadedRoutes(loaded);
        report.readNanos = read - start;
        report.libraryNanos = System.nanoTime() - read;
        return report;
    }

    /** A flight number at one airport, as one key. */
    private static long numberAt(int airport, int flight) {
        return (long) airport << 32 | (flight & 0xffffffffL);
    }

    /** The airport as the program shows it: code (IATA, else ICAO) and "name, city" as its title. */
    private static Directory.Airport directoryEntry(OpenFlights.Airport a) {
        String name = a.name() == null ? "" : a.name().trim();
        String city = a.city() == null ? "" : a.city().trim();
        // A few names end in a stray comma or already end with their city.
        if (name.endsWith(",")) name = TRAILING_COMMAS.matcher(name).replaceAll("");
        boolean hasCity = city.isEmpty() || name.equals(city) || name.endsWith(", " + city);
        String title = hasCity ? name : name + ", " + city;
        return new Directory.Airport(a.id(), a.code(), title, name, city, a.country() == null ? "" : a.country(),
                a.iata(), a.icao(), a.lat(), a.lon());
    }
}
