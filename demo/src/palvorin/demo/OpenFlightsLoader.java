package palvorin.demo;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Pattern;
import palvorin.nativ_ManegingFlight;
import palvorin.openflights.OpenFlights;

/**
 * Builds the network in the library from the OpenFlights files: one airport per line of
 * airports.dat (number = OpenFlights id), one flight per usable line of routes.dat (number = its
 * line number, days from the great-circle distance), and the directory of codes and places.
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

        for (OpenFlights.Airport a : net.airports) {
            Directory.Airport airport = directoryEntry(a);
            if (nativ_ManegingFlight.addAirport(a.id(), airport.label()) == nativ_ManegingFlight.OK) {
                directory.add(airport, a.iata(), a.icao());
                ++report.airportsLoaded;
            } else {
                ++report.airportsRefused;
            }
        }
        List<OpenFlights.Route> loaded = new ArrayList<>(net.routes.size());
        StringBuilder name = new StringBuilder();
        for (OpenFlights.Route r : net.routes) {
            name.setLength(0);
            name.append(r.airline()).append(' ').append(directory.get(r.from()).shortLabel()).append('-')
                    .append(directory.get(r.to()).shortLabel());
            if (nativ_ManegingFlight.addFlight(name.toString(), r.line(), r.days(), r.from(), r.to())
                    == nativ_ManegingFlight.OK) {
                ++report.flightsLoaded;
                loaded.add(r);
            } else {
                ++report.routesRefused;
            }
        }
        directory.setLoadedRoutes(loaded);
        report.readNanos = read - start;
        report.libraryNanos = System.nanoTime() - read;
        return report;
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
