package tavrik.bench;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeSet;

import org.jgrapht.GraphPath;
import org.jgrapht.alg.shortestpath.DijkstraShortestPath;
import org.jgrapht.graph.DefaultWeightedEdge;
import org.jgrapht.graph.DirectedWeightedPseudograph;

import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.nativ_ManegingFlight;

/**
 * Loads the OpenFlights network into the library through JNI the way the host application does,
 * and times route queries (getRouteFlight + setData) next to JGraphT's Dijkstra on the same graph
 * and the same pairs as the C++ benchmark. Prints tab-separated ROW / TARGET / INFO lines for
 * scripts/bench.
 *
 * <p>Usage: java -Djava.library.path=DIR -cp ... tavrik.bench.RouteBench OPENFLIGHTS_DIR
 */
public final class RouteBench {
    private RouteBench() {}

    record Airport(int id, String name, double lat, double lon) {}

    record Flight(String name, int number, int days, int from, int to) {}

    // ---- the network as the host application reads it ----

    static List<String> splitCsv(String line) {
        List<String> fields = new ArrayList<>();
        StringBuilder field = new StringBuilder();
        boolean quoted = false;
        for (int i = 0; i < line.length(); i++) {
            char c = line.charAt(i);
            if (quoted) {
                if (c == '"') {
                    if (i + 1 < line.length() && line.charAt(i + 1) == '"') {
                        field.append('"');
                        i++;
                    } else {
                        quoted = false;
                    }
                } else {
                    field.append(c);
                }
            } else if (c == '"') {
                quoted = true;
            } else if (c == ',') {
                fields.add(field.toString());
                field.setLength(0);
            } else if (c != '\r') {
                field.append(c);
            }
        }
        fields.add(field.toString());
        return fields;
    }

    static Integer parseId(String text) {
        if (text.isEmpty() || text.equals("\\N")) return null;
        try {
            return Integer.parseInt(text);
        } catch (NumberFormatException e) {
            return null;
        }
    }

    static int daysFor(double lat1, double lon1, double lat2, double lon2) {
        double rad = Math.PI / 180.0;
        double dLat = (lat2 - lat1) * rad;
        double dLon = (lon2 - lon1) * rad;
        double a = Math.sin(dLat / 2) * Math.sin(dLat / 2)
                + Math.cos(lat1 * rad) * Math.cos(lat2 * rad) * Math.sin(dLon / 2) * Math.sin(dLon / 2);
        double km = 2.0 * 6371.0 * Math.atan2(Math.sqrt(a), Math.sqrt(1.0 - a));
        return 1 + (int) Math.floor(km / 2000.0);
    }

    static List<Airport> airports = new ArrayList<>();
    static List<Flight> flights = new ArrayList<>();

    static void read(Path dir) throws IOException {
        Map<Integer, Airport> byId = new HashMap<>();
        for (String line : Files.readAllLines(dir.resolve("airports.dat"), StandardCharsets.UTF_8)) {
            List<String> f = splitCsv(line);
            if (f.size() < 8) continue;
            Integer id = parseId(f.get(0));
            if (id == null || byId.containsKey(id)) continue;
            double lat, lon;
            try {
                lat = Double.parseDouble(f.get(6));
                lon = Double.parseDouble(f.get(7));
            } catch (NumberFormatException e) {
                continue;
            }
            Airport a = new Airport(id, f.get(1), lat, lon);
            byId.put(id, a);
            airports.add(a);
        }
        int lineNumber = 0;
        for (String line : Files.readAllLines(dir.resolve("routes.dat"), StandardCharsets.UTF_8)) {
            lineNumber++;
            List<String> f = splitCsv(line);
            if (f.size() < 6) continue;
            Integer from = parseId(f.get(3));
            Integer to = parseId(f.get(5));
            if (from == null || to == null || from.equals(to)) continue;
            Airport x = byId.get(from);
            Airport y = byId.get(to);
            if (x == null || y == null) continue;
            flights.add(new Flight(f.get(0) + " " + f.get(2) + "-" + f.get(4), lineNumber,
                    daysFor(x.lat(), x.lon(), y.lat(), y.lon()), from, to));
        }
    }

    // ---- the same pairs as the C++ benchmark (splitmix64) ----

    static long state;

    static long next() {
        long z = (state += 0x9E3779B97F4A7C15L);
        z = (z ^ (z >>> 30)) * 0xBF58476D1CE4E5B9L;
        z = (z ^ (z >>> 27)) * 0x94D049BB133111EBL;
        return z ^ (z >>> 31);
    }

    static int[][] randomPairs(int[] served, int count, long seed) {
        state = seed;
        int[][] pairs = new int[count][];
        int lastFrom = Integer.MIN_VALUE;
        int n = 0;
        while (n < count) {
            int from = served[(int) Long.remainderUnsigned(next(), served.length)];
            int to = served[(int) Long.remainderUnsigned(next(), served.length)];
            if (from == to || from == lastFrom) continue;
            pairs[n++] = new int[] {from, to};
            lastFrom = from;
        }
        return pairs;
    }

    static long checksum(int[][] pairs) {
        long h = 1469598103934665603L;
        for (int[] p : pairs) {
            h = (h ^ (p[0] & 0xFFFFFFFFL)) * 1099511628211L;
            h = (h ^ (p[1] & 0xFFFFFFFFL)) * 1099511628211L;
        }
        return h;
    }

    // ---- figures ----

    static double[] stats(double[] us) {
        double[] s = us.clone();
        Arrays.sort(s);
        double median = s.length % 2 == 1 ? s[s.length / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
        double mean = Arrays.stream(s).sum() / s.length;
        double p99 = s[Math.min(s.length - 1, (int) Math.ceil(0.99 * s.length) - 1)];
        return new double[] {median, mean, p99};
    }

    static void row(String what, double[] s, String note) {
        System.out.printf("ROW\t%s\t%.2f\t%.2f\t%.2f\t%s%n", what, s[0], s[1], s[2], note);
    }

    static void rowValue(String what, String value, String note) {
        System.out.printf("ROW\t%s\t%s\t\t\t%s%n", what, value, note);
    }

    static void target(String what, String measured, String goal, boolean met) {
        System.out.printf("TARGET\t%s\t%s\t%s\t%s%n", what, measured, goal, met ? "met" : "MISSED");
    }

    static long vmRssKiB() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
        }
        return -1;
    }

    static long loadThroughJni() {
        long t0 = System.nanoTime();
        for (Airport a : airports) {
            if (nativ_ManegingFlight.addAirport(a.id(), a.name()) != 0) throw new IllegalStateException("airport " + a);
        }
        for (Flight f : flights) {
            if (nativ_ManegingFlight.addFlight(f.name(), f.number(), f.days(), f.from(), f.to()) != 0)
                throw new IllegalStateException("flight " + f);
        }
        return System.nanoTime() - t0;
    }

    /** The route's total: each leg is reported twice, its entry at the departure airport counts. */
    static long reportedTotal(List<ReportedFlight> route) {
        long total = 0;
        for (ReportedFlight f : route) if (f.departs()) total += f.days();
        return total;
    }

    public static void main(String[] args) throws IOException {
        read(Path.of(args.length > 0 ? args[0] : "data/openflights"));
        nativ_ManegingFlight.load();
        aggregateFiting fiting = new aggregateFiting();

        // Loading, cold: the first pass through these native methods.
        System.gc();
        long rssBefore = vmRssKiB();
        long coldNs = loadThroughJni();
        long rssAfter = vmRssKiB();
        rowValue("Java OpenFlights: load via addAirport/addFlight, first", String.format("%.1f ms", coldNs / 1e6),
                airports.size() + " airports, " + flights.size() + " flights");
        rowValue("Java OpenFlights: process RSS growth per flight",
                String.format("%.0f B", (rssAfter - rssBefore) * 1024.0 / flights.size()),
                "VmRSS after - before the load; heap pre-touched");
        // Loading again once the JIT has seen the calls: remove everything, load anew.
        long warmNs = 0;
        for (int round = 0; round < 3; round++) {
            for (Airport a : airports) nativ_ManegingFlight.removeAirport(a.id());
            warmNs = loadThroughJni();
        }
        rowValue("Java OpenFlights: load via addAirport/addFlight, warm", String.format("%.1f ms", warmNs / 1e6),
                "fourth load, after removing every airport");
        target("load OpenFlights from Java (first load)", String.format("%.1f ms", coldNs / 1e6), "<= 100 ms",
                coldNs / 1e6 <= 100);

        TreeSet<Integer> servedSet = new TreeSet<>();
        for (Flight f : flights) {
            servedSet.add(f.from());
            servedSet.add(f.to());
        }
        int[] served = servedSet.stream().mapToInt(Integer::intValue).toArray();
        int[][] pairs = randomPairs(served, 1000, 12345);
        System.out.printf("INFO\tJava pairs checksum %016x%n", checksum(pairs));

        // The same graph for JGraphT: parallel flights stay separate edges.
        DirectedWeightedPseudograph<Integer, DefaultWeightedEdge> graph =
                new DirectedWeightedPseudograph<>(DefaultWeightedEdge.class);
        for (Airport a : airports) graph.addVertex(a.id());
        for (Flight f : flights) {
            DefaultWeightedEdge e = graph.addEdge(f.from(), f.to());
            graph.setEdgeWeight(e, f.days());
        }
        DijkstraShortestPath<Integer, DefaultWeightedEdge> dijkstra = new DijkstraShortestPath<>(graph);

        long[] ourTotals = new long[pairs.length];
        double[] libUs = new double[pairs.length];
        double[] routeOnlyUs = new double[pairs.length];
        double[] jgraphtUs = new double[pairs.length];
        int mismatches = 0;
        int routes = 0;
        // Warm-up passes for the JIT, then the timed pass.
        for (int pass = 0; pass < 4; pass++) {
            boolean timed = pass == 3;
            for (int i = 0; i < pairs.length; i++) {
                int from = pairs[i][0], to = pairs[i][1];
                long t0 = System.nanoTime();
                int code = fiting.getRouteFlight(Integer.MAX_VALUE, from, to);
                long t1 = System.nanoTime();
                fiting.clear();
                fiting.setData();
                long t2 = System.nanoTime();
                if (timed) {
                    routeOnlyUs[i] = (t1 - t0) / 1e3;
                    libUs[i] = (t2 - t0) / 1e3;
                    ourTotals[i] = code == 0 ? reportedTotal(fiting.flights()) : -1;
                    if (code == 0) routes++;
                    if (code != 0 && code != aggregateFiting.NO_ROUTE) mismatches++;
                }
            }
            for (int i = 0; i < pairs.length; i++) {
                long t0 = System.nanoTime();
                GraphPath<Integer, DefaultWeightedEdge> path = dijkstra.getPath(pairs[i][0], pairs[i][1]);
                long t1 = System.nanoTime();
                if (timed) {
                    jgraphtUs[i] = (t1 - t0) / 1e3;
                    long weight = path == null ? -1 : Math.round(path.getWeight());
                    if (weight != ourTotals[i]) mismatches++;
                }
            }
        }
        double[] lib = stats(libUs), routeOnly = stats(routeOnlyUs), jg = stats(jgraphtUs);
        row("Java OpenFlights: getRouteFlight via JNI", routeOnly, "same 1,000 pairs, " + routes + " with a route");
        row("Java OpenFlights: getRouteFlight + setData via JNI", lib, "report through addFlitgh callbacks");
        row("Java OpenFlights: JGraphT DijkstraShortestPath.getPath", jg,
                String.format("library (with setData) faster by %.2fx (median), %.2fx (mean)", jg[0] / lib[0],
                        jg[1] / lib[1]));
        target("getRouteFlight + setData via JNI, median", String.format("%.1f us", lib[0]), "<= 100 us",
                lib[0] <= 100);
        target("OpenFlights: library via JNI vs JGraphT, median ratio", String.format("%.2fx", jg[0] / lib[0]),
                ">= 7x", jg[0] / lib[0] >= 7);
        target("OpenFlights: total-days mismatches vs JGraphT", Integer.toString(mismatches), "0", mismatches == 0);
    }
}
