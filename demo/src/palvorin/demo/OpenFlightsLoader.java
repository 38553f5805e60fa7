package palvorin.demo;

import java.io.BufferedReader;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import palvorin.nativ_ManegingFlight;

/**
 * Reads the OpenFlights airports.dat and routes.dat and builds the network in the library:
 * one airport per line of airports.dat (number = OpenFlights id), one flight per usable line of
 * routes.dat (number = its 1-based line number, days from the great-circle distance).
 */
final class OpenFlightsLoader {
    /** Mean Earth radius used for the great-circle distance. */
    static final double EARTH_RADIUS_KM = 6371.0;
    /** A flight takes one day plus one more for every full 2000 km. */
    static final double KM_PER_EXTRA_DAY = 2000.0;
    private static final java.util.regex.Pattern TRAILING_COMMAS = java.util.regex.Pattern.compile("[,\\s]+$");

    /** What a load did, for the opening report. */
    static final class Report {
        int airportLines;
        int airportsLoaded;
        int airportsBad;
        int airportsRefused;
        int routeLines;
        int flightsLoaded;
        int routesMissingId;
        int routesUnknownAirport;
        int routesSameAirport;
        int routesBad;
        int routesRefused;
        long readNanos;
        long libraryNanos;

        int routesSkipped() {
            return routesMissingId + routesUnknownAirport + routesSameAirport + routesBad + routesRefused;
        }
    }

    private record Place(int number, double lat, double lon) {}

    private record Flight(int number, String name, int days, int from, int to) {}

    private OpenFlightsLoader() {}

    /** Days for a flight between two points given in degrees. */
    static int daysBetween(double lat1, double lon1, double lat2, double lon2) {
        double p1 = Math.toRadians(lat1);
        double p2 = Math.toRadians(lat2);
        double dp = p2 - p1;
        double dl = Math.toRadians(lon2 - lon1);
        double h = Math.sin(dp / 2) * Math.sin(dp / 2) + Math.cos(p1) * Math.cos(p2) * Math.sin(dl / 2) * Math.sin(dl / 2);
        double km = 2 * EARTH_RADIUS_KM * Math.asin(Math.min(1.0, Math.sqrt(h)));
        return 1 + (int) Math.floor(km / KM_PER_EXTRA_DAY);
    }

    static Report load(Path dataDir, Directory directory) throws IOException {
        Report report = new Report();
        long start = System.nanoTime();

        // Read and check everything first, so the library time below is the library's alone.
        List<Directory.Airport> airports = new ArrayList<>();
        List<String[]> airportCodes = new ArrayList<>();
        Map<Integer, Place> places = new HashMap<>();
        Map<Integer, String> codes = new HashMap<>();
        try (BufferedReader in = Files.newBufferedReader(dataDir.resolve("airports.dat"), StandardCharsets.UTF_8)) {
            for (String line; (line = in.readLine()) != null; ) {
                if (line.isBlank()) continue;
                ++report.airportLines;
                List<String> f = Csv.split(line);
                try {
                    int id = Integer.parseInt(f.get(0).trim());
                    String name = orEmpty(f.get(1));
                    String city = orEmpty(f.get(2));
                    String iata = f.get(4);
                    String icao = f.get(5);
                    double lat = Double.parseDouble(f.get(6));
                    double lon = Double.parseDouble(f.get(7));
                    if (places.containsKey(id)) {
                        ++report.airportsBad;
                        continue;
                    }
                    String code = iata != null && !iata.isEmpty() ? iata : icao != null && !icao.isEmpty() ? icao : null;
                    // A few names end in a stray comma or already end with their city.
                    name = TRAILING_COMMAS.matcher(name).replaceAll("");
                    boolean hasCity = city.isEmpty() || name.equals(city) || name.endsWith(", " + city);
                    String title = hasCity ? name : name + ", " + city;
                    airports.add(new Directory.Airport(id, code, title));
                    airportCodes.add(new String[] {iata, icao});
                    places.put(id, new Place(id, lat, lon));
                    codes.put(id, airports.get(airports.size() - 1).shortLabel());
                } catch (RuntimeException e) {
                    ++report.airportsBad;
                }
            }
        }

        List<Flight> flights = new ArrayList<>();
        try (BufferedReader in = Files.newBufferedReader(dataDir.resolve("routes.dat"), StandardCharsets.UTF_8)) {
            int lineNumber = 0;
            for (String line; (line = in.readLine()) != null; ) {
                ++lineNumber;
                if (line.isBlank()) continue;
                ++report.routeLines;
                List<String> f = Csv.split(line);
                if (f.size() < 6) {
                    ++report.routesBad;
                    continue;
                }
                if (f.get(3) == null || f.get(5) == null) {
                    ++report.routesMissingId;
                    continue;
                }
                Place from;
                Place to;
                try {
                    from = places.get(Integer.parseInt(f.get(3).trim()));
                    to = places.get(Integer.parseInt(f.get(5).trim()));
                } catch (NumberFormatException e) {
                    ++report.routesBad;
                    continue;
                }
                if (from == null || to == null) {
                    ++report.routesUnknownAirport;
                    continue;
                }
                if (from.number() == to.number()) {
                    ++report.routesSameAirport;
                    continue;
                }
                String airline = f.get(0) != null && !f.get(0).isEmpty() ? f.get(0) : f.get(1) != null ? f.get(1) : "??";
                String name = airline + " " + codes.get(from.number()) + "-" + codes.get(to.number());
                flights.add(new Flight(lineNumber, name,
                        daysBetween(from.lat(), from.lon(), to.lat(), to.lon()), from.number(), to.number()));
            }
        }
        long read = System.nanoTime();

        for (int i = 0; i < airports.size(); ++i) {
            Directory.Airport a = airports.get(i);
            if (nativ_ManegingFlight.addAirport(a.number(), a.label()) == nativ_ManegingFlight.OK) {
                directory.add(a, airportCodes.get(i));
                ++report.airportsLoaded;
            } else {
                ++report.airportsRefused;
            }
        }
        for (Flight fl : flights) {
            if (nativ_ManegingFlight.addFlight(fl.name(), fl.number(), fl.days(), fl.from(), fl.to()) == nativ_ManegingFlight.OK)
                ++report.flightsLoaded;
            else
                ++report.routesRefused;
        }
        long done = System.nanoTime();
        report.readNanos = read - start;
        report.libraryNanos = done - read;
        return report;
    }

    private static String orEmpty(String s) {
        return s == null ? "" : s.trim();
    }
}
