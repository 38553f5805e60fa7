package palvorin.openflights;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * Reads the OpenFlights airports.dat and routes.dat into the network the host application and the
 * Java benchmark build from them:
 * <ul>
 * <li>airport number = OpenFlights airport id;</li>
 * <li>flight number = the 1-based line number of the route in routes.dat;</li>
 * <li>days = 1 per started 2,000 km of great-circle distance (haversine, sphere of radius 6371 km),
 * so 1 + floor(km / 2000);</li>
 * <li>a route is skipped when either airport id is missing ({@code \N}) or unknown, or when both ends
 * are the same airport.</li>
 * </ul>
 * The files are read whole and split by hand on their bytes: a cold JVM reads the world network in a
 * fraction of the time a line-and-string reader takes, which is most of a one-shot command's time.
 */
public final class OpenFlights {
    /** Mean Earth radius of the great-circle distance. */
    public static final double EARTH_RADIUS_KM = 6371.0;
    /** Every started stretch of this many kilometres is one day. */
    public static final double KM_PER_DAY = 2000.0;

    /** One line of airports.dat; text fields that the file marks missing are null. */
    public record Airport(int id, String name, String city, String country, String iata, String icao, double lat,
            double lon) {
        /** The IATA code, else the ICAO code, else null. */
        public String code() {
            return iata != null ? iata : icao;
        }
    }

    /**
     * One usable line of routes.dat: its line number is the flight number; {@code aircraft} is the
     * first aircraft type of its equipment field (an IATA type code such as {@code 738}), or null.
     */
    public record Route(int line, String airline, int from, int to, int days, String aircraft) {}

    /** What was read, in file order, and how many lines were skipped for which reason. */
    public static final class Network {
        public final List<Airport> airports = new ArrayList<>();
        public final List<Route> routes = new ArrayList<>();
        public final Map<Integer, Airport> byId = new HashMap<>();
        public int airportLines;
        /** Lines of airports.dat without a number, coordinates, or with a number seen before. */
        public int airportsBad;
        public int routeLines;
        public int routesMissingId;
        public int routesUnknownAirport;
        public int routesSameAirport;
        /** Lines of routes.dat with too few fields or an airport id that is not a number. */
        public int routesBad;

        public int routesSkipped() {
            return routesMissingId + routesUnknownAirport + routesSameAirport + routesBad;
        }
    }

    private OpenFlights() {}

    /** Great-circle distance in km between two points given in degrees. */
    public static double greatCircleKm(double lat1, double lon1, double lat2, double lon2) {
        double rad = Math.PI / 180.0;
        double dLat = (lat2 - lat1) * rad;
        double dLon = (lon2 - lon1) * rad;
        double a = Math.sin(dLat / 2) * Math.sin(dLat / 2)
                + Math.cos(lat1 * rad) * Math.cos(lat2 * rad) * Math.sin(dLon / 2) * Math.sin(dLon / 2);
        return 2.0 * EARTH_RADIUS_KM * Math.atan2(Math.sqrt(a), Math.sqrt(1.0 - a));
    }

    /** Days of a flight of that many kilometres: one per started 2,000 km. */
    public static int daysFor(double km) {
        return 1 + (int) Math.floor(km / KM_PER_DAY);
    }

    /** Days of a flight between two airports. */
    public static int days(Airport a, Airport b) {
        return daysFor(greatCircleKm(a.lat(), a.lon(), b.lat(), b.lon()));
    }

    /**
     * Reads {@code dir/airports.dat} and {@code dir/routes.dat}.
     *
     * @throws NoSuchFileException naming the missing file
     */
    public static Network read(Path dir) throws IOException {
        Network net = new Network();
        readAirports(Files.readAllBytes(dir.resolve("airports.dat")), net);
        readRoutes(Files.readAllBytes(dir.resolve("routes.dat")), net);
        return net;
    }

    static void readAirports(byte[] bytes, Network net) {
        Fields f = new Fields(bytes);
        while (f.nextLine()) {
            if (f.blankLine()) continue;
            ++net.airportLines;
            int id = f.intField();
            String name = f.textField();
            String city = f.textField();
            String country = f.textField();
            String iata = f.textField();
            String icao = f.textField();
            double lat = f.doubleField();
            double lon = f.doubleField();
            if (f.bad || id < 0 || net.byId.containsKey(id)) {
                ++net.airportsBad;
                continue;
            }
            Airport a = new Airport(id, name, city, country, orNull(iata), orNull(icao), lat, lon);
            net.airports.add(a);
            net.byId.put(id, a);
        }
    }

    private static String orNull(String code) {
        return code == null || code.isBlank() ? null : code.strip();
    }

    static void readRoutes(byte[] bytes, Network net) {
        Fields f = new Fields(bytes);
        int line = 0;
        while (f.nextLine()) {
            ++line;
            if (f.blankLine()) continue;
            ++net.routeLines;
            String airline = f.textField();
            f.skipField(); // airline id
            f.skipField(); // departure code
            boolean fromMissing = f.missing();
            int from = f.intField();
            f.skipField(); // arrival code
            boolean toMissing = f.missing();
            int to = f.intField();
            if (fromMissing || toMissing) {
                if (f.fieldCount < 6) ++net.routesBad;
                else ++net.routesMissingId;
                continue;
            }
            if (f.bad || from < 0 || to < 0) {
                ++net.routesBad;
                continue;
            }
            Airport a = net.byId.get(from);
            Airport b = net.byId.get(to);
            if (a == null || b == null) {
                ++net.routesUnknownAirport;
                continue;
            }
            if (from == to) {
                ++net.routesSameAirport;
                continue;
            }
            f.skipField(); // codeshare
            f.skipField(); // stops
            String equipment = f.pos <= f.lineEnd ? f.textField() : null;
            String aircraft = null;
            if (equipment != null && !equipment.isBlank()) aircraft = equipment.strip().split(" ", 2)[0];
            net.routes.add(new Route(line, airline != null ? airline : "??", from, to, days(a, b), aircraft));
        }
    }

    /**
     * Walks the comma-separated fields of one line after another. A field in double quotes may hold
     * commas and doubled quotes; an unquoted {@code \N} is a missing value. A field that is absent or
     * cannot be read sets {@link #bad}.
     */
    static final class Fields {
        private final byte[] b;
        private int pos;
        private int lineEnd = -1;
        private int next;
        boolean bad;
        int fieldCount;

        Fields(byte[] bytes) {
            b = bytes;
        }

        /** Moves to the next line; false at the end of the input. */
        boolean nextLine() {
            if (next >= b.length) return false;
            pos = next;
            int end = pos;
            while (end < b.length && b[end] != '\n') ++end;
            next = end + 1;
            if (end > pos && b[end - 1] == '\r') --end;
            lineEnd = end;
            bad = false;
            fieldCount = 0;
            return true;
        }

        boolean blankLine() {
            for (int i = pos; i < lineEnd; ++i)
                if (b[i] != ' ' && b[i] != '\t') return false;
            return true;
        }

        /** True if the field about to be read is absent or {@code \N}. */
        boolean missing() {
            if (pos > lineEnd) return true;
            int end = unquotedEnd();
            return end - pos == 2 && b[pos] == '\\' && b[pos + 1] == 'N';
        }

        private int unquotedEnd() {
            int end = pos;
            while (end < lineEnd && b[end] != ',') ++end;
            return end;
        }

        /** Steps past the comma that ends the current field. */
        private void endField(int end) {
            pos = end + 1;
            ++fieldCount;
        }

        void skipField() {
            if (pos > lineEnd) {
                bad = true;
                return;
            }
            if (pos < lineEnd && b[pos] == '"') {
                textField();
                return;
            }
            endField(unquotedEnd());
        }

        /** The field as text, unquoted; null if it is {@code \N} or absent. */
        String textField() {
            if (pos > lineEnd) {
                bad = true;
                return null;
            }
            if (pos < lineEnd && b[pos] == '"') {
                int start = ++pos;
                boolean doubled = false;
                int i = start;
                while (i < lineEnd) {
                    if (b[i] == '"') {
                        if (i + 1 < lineEnd && b[i + 1] == '"') {
                            doubled = true;
                            i += 2;
                            continue;
                        }
                        break;
                    }
                    ++i;
                }
                String text = new String(b, start, i - start, StandardCharsets.UTF_8);
                if (doubled) text = text.replace("\"\"", "\"");
                // Anything between the closing quote and the next comma is kept as written.
                int after = Math.min(i + 1, lineEnd);
                pos = after;
                int end = unquotedEnd();
                if (end > after) text += new String(b, after, end - after, StandardCharsets.UTF_8);
                endField(end);
                return text;
            }
            int end = unquotedEnd();
            String text = end - pos == 2 && b[pos] == '\\' && b[pos + 1] == 'N' ? null
                    : new String(b, pos, end - pos, StandardCharsets.UTF_8);
            endField(end);
            return text;
        }

        /** A whole number of 0 or more (surrounding spaces allowed); -1 and {@link #bad} otherwise. */
        int intField() {
            if (pos > lineEnd) {
                bad = true;
                return -1;
            }
            int end = unquotedEnd();
            int i = pos;
            while (i < end && b[i] == ' ') ++i;
            int j = end;
            while (j > i && b[j - 1] == ' ') --j;
            long value = 0;
            boolean ok = j > i && j - i <= 10;
            for (int k = i; ok && k < j; ++k) {
                int d = b[k] - '0';
                if (d < 0 || d > 9) ok = false;
                else value = value * 10 + d;
            }
            endField(end);
            if (!ok || value > Integer.MAX_VALUE) {
                bad = true;
                return -1;
            }
            return (int) value;
        }

        double doubleField() {
            String text = textField();
            if (text == null) {
                bad = true;
                return Double.NaN;
            }
            try {
                return Double.parseDouble(text);
            } catch (NumberFormatException e) {
                bad = true;
                return Double.NaN;
            }
        }
    }
}
