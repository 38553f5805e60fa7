package tavrik.bench;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeSet;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.Semaphore;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicLong;

import org.jgrapht.GraphPath;
import org.jgrapht.alg.shortestpath.DijkstraShortestPath;
import org.jgrapht.graph.DefaultWeightedEdge;
import org.jgrapht.graph.DirectedWeightedPseudograph;

import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.nativ_ManegingFlight;
import palvorin.openflights.OpenFlights;
import tavrik.Network;

/**
 * Loads the OpenFlights network into the library in one call, the way the host application does,
 * and times route queries (getRouteFlight + setData) next to JGraphT's Dijkstra on the same graph
 * and the same pairs as the C++ benchmark. Prints tab-separated ROW / TARGET / INFO lines for
 * scripts/bench.
 *
 * <p>Then, on the same network: a live workload (one edit through JNI before each query, the same
 * edits applied to a JGraphT graph, whose path weights must equal the library's totals) next to
 * the same queries on the unchanged network; and the query throughput of one and of two Java
 * threads, also with a third thread editing the network meanwhile.
 *
 * <p>Usage: java -Djava.library.path=DIR -cp ... tavrik.bench.RouteBench OPENFLIGHTS_DIR
 * [LIVE_ITERATIONS (2000)] [SECONDS_PER_THROUGHPUT_RUN (3)]
 */
public final class RouteBench {
    private RouteBench() {}

    record Airport(int id, String name, double lat, double lon) {}

    record Flight(String name, int number, int days, int from, int to) {}

    // ---- the network as the host application reads it ----

    static int daysFor(double lat1, double lon1, double lat2, double lon2) {
        return OpenFlights.daysFor(OpenFlights.greatCircleKm(lat1, lon1, lat2, lon2));
    }

    static List<Airport> airports = new ArrayList<>();
    static List<Flight> flights = new ArrayList<>();

    static void read(Path dir) throws IOException {
        OpenFlights.Network net = OpenFlights.read(dir);
        for (OpenFlights.Airport a : net.airports) airports.add(new Airport(a.id(), a.name() == null ? "" : a.name(), a.lat(), a.lon()));
        for (OpenFlights.Route r : net.routes) {
            String from = code(net.byId.get(r.from()));
            String to = code(net.byId.get(r.to()));
            flights.add(new Flight(r.airline() + " " + from + "-" + to, r.line(), r.days(), r.from(), r.to()));
        }
    }

    static String code(OpenFlights.Airport a) {
        return a.code() != null ? a.code() : "#" + a.id();
    }

    // ---- the same pairs as the C++ benchmark (splitmix64) ----

    static int[][] randomPairs(int[] served, int count, long seed) {
        Random64 random = new Random64(seed);
        int[][] pairs = new int[count][];
        int lastFrom = Integer.MIN_VALUE;
        int n = 0;
        while (n < count) {
            int from = served[random.below(served.length)];
            int to = served[random.below(served.length)];
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

    /** Loads the network into the shared network in one call, the way the host application does. */
    static long loadThroughJni() {
        long t0 = System.nanoTime();
        Network.Batch batch = new Network.Batch(airports.size(), flights.size());
        for (Airport a : airports) batch.airport(a.id(), a.name());
        for (Flight f : flights) batch.flight(f.number(), f.name(), f.days(), f.from(), f.to());
        Network.shared().load(batch);
        return System.nanoTime() - t0;
    }

    static DirectedWeightedPseudograph<Integer, DefaultWeightedEdge> buildGraph() {
        DirectedWeightedPseudograph<Integer, DefaultWeightedEdge> graph =
                new DirectedWeightedPseudograph<>(DefaultWeightedEdge.class);
        for (Airport a : airports) graph.addVertex(a.id());
        for (Flight f : flights) {
            DefaultWeightedEdge e = graph.addEdge(f.from(), f.to());
            graph.setEdgeWeight(e, f.days());
        }
        return graph;
    }

    /** The route's total: each leg is reported twice, its entry at the departure airport counts. */
    static long reportedTotal(List<ReportedFlight> route) {
        long total = 0;
        for (ReportedFlight f : route) if (f.departs()) total += f.days();
        return total;
    }

    public static void main(String[] args) throws IOException, InterruptedException {
        read(Path.of(args.length > 0 ? args[0] : "data/openflights"));
        nativ_ManegingFlight.load();
        aggregateFiting fiting = new aggregateFiting();

        // Loading, cold: the first pass through these native methods.
        System.gc();
        long rssBefore = vmRssKiB();
        long coldNs = loadThroughJni();
        long rssAfter = vmRssKiB();
        rowValue("Java OpenFlights: load in one call, first", String.format("%.1f ms", coldNs / 1e6),
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
        rowValue("Java OpenFlights: load in one call, warm", String.format("%.1f ms", warmNs / 1e6),
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

        // The same graph for JGraphT: parallel flights stay separate edges. Built four times like
        // the library's loads: the first build against the library's first load, the fourth
        // against its fourth.
        long graphColdNs = 0, graphWarmNs = 0;
        DirectedWeightedPseudograph<Integer, DefaultWeightedEdge> graph = null;
        for (int round = 0; round < 4; round++) {
            long t0 = System.nanoTime();
            graph = buildGraph();
            long ns = System.nanoTime() - t0;
            if (round == 0) graphColdNs = ns;
            graphWarmNs = ns;
        }
        rowValue("Java OpenFlights: JGraphT builds the same graph, first", String.format("%.1f ms", graphColdNs / 1e6),
                String.format("library's first load %.2fx its time", (double) coldNs / graphColdNs));
        rowValue("Java OpenFlights: JGraphT builds the same graph, warm", String.format("%.1f ms", graphWarmNs / 1e6),
                String.format("fourth build; library's warm load %.2fx its time", (double) warmNs / graphWarmNs));
        target("load OpenFlights from Java vs JGraphT building it (first)",
                String.format("%.2fx", (double) coldNs / graphColdNs), "<= 1x", coldNs <= graphColdNs);
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

        int liveIterations = args.length > 1 ? Integer.parseInt(args[1]) : 2000;
        double seconds = args.length > 2 ? Double.parseDouble(args[2]) : 3.0;
        liveWorkload(served, liveIterations);
        parallelQueries(served, seconds);
    }

    // ---- a live network: one edit through JNI before each query ----

    /** A seeded splitmix64 generator of its own, so that every workload draws the same sequence. */
    static final class Random64 {
        private long state;

        Random64(long seed) {
            state = seed;
        }

        long next() {
            long z = (state += 0x9E3779B97F4A7C15L);
            z = (z ^ (z >>> 30)) * 0xBF58476D1CE4E5B9L;
            z = (z ^ (z >>> 27)) * 0x94D049BB133111EBL;
            return z ^ (z >>> 31);
        }

        int below(int n) {
            return (int) Long.remainderUnsigned(next(), n);
        }

        double between(double low, double high) {
            return low + (high - low) * ((next() >>> 11) * 0x1.0p-53);
        }
    }

    /** One flight present in the library and, as {@code edge}, in the JGraphT graph. */
    static final class LiveFlight {
        final int number;
        final int from;
        final int to;
        final DefaultWeightedEdge edge;
        int slot = -1; // index in LiveNetwork.flights while present, -1 once removed

        LiveFlight(int number, int from, int to, DefaultWeightedEdge edge) {
            this.number = number;
            this.from = from;
            this.to = to;
            this.edge = edge;
        }
    }

    /**
     * The library's network as the benchmark edits it, mirrored in a JGraphT graph. Edits: 45 % a
     * flight added between two random airports with flights (a fresh number, days by the data's
     * rule), 45 % a random flight removed (loaded or added), 5 % a new airport with one flight to it
     * and one from it, 5 % one of the added airports removed (a new one added when there is none).
     * Only the JNI calls are timed, each on its own.
     */
    static final class LiveNetwork {
        final DirectedWeightedPseudograph<Integer, DefaultWeightedEdge> graph =
                new DirectedWeightedPseudograph<>(DefaultWeightedEdge.class);
        final List<LiveFlight> present = new ArrayList<>(); // flights present, for random picks
        final Map<Long, LiveFlight> byAirportFlight = new HashMap<>(); // (airport, flight), both ends
        final List<Integer> withFlights = new ArrayList<>(); // airports that new flights connect
        final List<Integer> added = new ArrayList<>(); // added airports still present
        final Map<Integer, List<LiveFlight>> flightsOfAdded = new HashMap<>();
        final Map<Integer, double[]> position = new HashMap<>();
        final Random64 rng;
        int nextFlight;
        int nextAirport;
        double[] editUs = new double[1024];
        int edits;
        int flightsAdded, flightsRemoved, airportsAdded, airportsRemoved;

        LiveNetwork(int[] served, long seed) {
            rng = new Random64(seed);
            int largestAirport = Integer.MIN_VALUE;
            for (Airport a : airports) {
                graph.addVertex(a.id());
                position.put(a.id(), new double[] {a.lat(), a.lon()});
                largestAirport = Math.max(largestAirport, a.id());
            }
            int largestFlight = Integer.MIN_VALUE;
            for (Flight f : flights) {
                DefaultWeightedEdge e = graph.addEdge(f.from(), f.to());
                graph.setEdgeWeight(e, f.days());
                track(new LiveFlight(f.number(), f.from(), f.to(), e));
                largestFlight = Math.max(largestFlight, f.number());
            }
            for (int a : served) withFlights.add(a);
            nextFlight = largestFlight + 1;
            nextAirport = largestAirport + 1;
        }

        static long key(int airport, int flight) {
            return ((long) airport << 32) | (flight & 0xFFFFFFFFL);
        }

        private void track(LiveFlight f) {
            f.slot = present.size();
            present.add(f);
            byAirportFlight.put(key(f.from, f.number), f);
            byAirportFlight.put(key(f.to, f.number), f);
            List<LiveFlight> at = flightsOfAdded.get(f.from);
            if (at != null) at.add(f);
            at = flightsOfAdded.get(f.to);
            if (at != null) at.add(f);
        }

        private void untrack(LiveFlight f) {
            LiveFlight last = present.remove(present.size() - 1);
            if (last != f) {
                present.set(f.slot, last);
                last.slot = f.slot;
            }
            f.slot = -1;
            byAirportFlight.remove(key(f.from, f.number));
            byAirportFlight.remove(key(f.to, f.number));
        }

        private void timed(long t0, long t1) {
            if (edits == editUs.length) editUs = Arrays.copyOf(editUs, 2 * edits);
            editUs[edits++] = (t1 - t0) / 1e3;
        }

        private static void expectOk(int code, String what) {
            if (code != 0) throw new IllegalStateException(what + " refused with " + code);
        }

        private int randomAirportWithFlights(int other) {
            while (true) {
                int a = withFlights.get(rng.below(withFlights.size()));
                if (a != other) return a;
            }
        }

        void addFlight(int from, int to) {
            double[] x = position.get(from), y = position.get(to);
            int days = daysFor(x[0], x[1], y[0], y[1]);
            int number = nextFlight++;
            String name = "LV " + number;
            long t0 = System.nanoTime();
            int code = nativ_ManegingFlight.addFlight(name, number, days, from, to);
            timed(t0, System.nanoTime());
            expectOk(code, "addFlight " + number);
            DefaultWeightedEdge e = graph.addEdge(from, to);
            graph.setEdgeWeight(e, days);
            track(new LiveFlight(number, from, to, e));
            flightsAdded++;
        }

        void removeRandomFlight() {
            LiveFlight f = present.get(rng.below(present.size()));
            int airport = (rng.next() & 1) == 0 ? f.from : f.to; // either airport names the flight
            long t0 = System.nanoTime();
            int code = nativ_ManegingFlight.removeFlight(airport, f.number);
            timed(t0, System.nanoTime());
            expectOk(code, "removeFlight " + f.number);
            LiveFlight named = byAirportFlight.get(key(airport, f.number));
            graph.removeEdge(named.edge);
            untrack(named);
            flightsRemoved++;
        }

        void addAirport() {
            int id = nextAirport++;
            String name = "Live airport " + id;
            position.put(id, new double[] {rng.between(-60, 70), rng.between(-180, 180)});
            long t0 = System.nanoTime();
            int code = nativ_ManegingFlight.addAirport(id, name);
            timed(t0, System.nanoTime());
            expectOk(code, "addAirport " + id);
            graph.addVertex(id);
            flightsOfAdded.put(id, new ArrayList<>());
            addFlight(randomAirportWithFlights(id), id);
            addFlight(id, randomAirportWithFlights(id));
            withFlights.add(id);
            added.add(id);
            airportsAdded++;
        }

        void removeAddedAirport() {
            if (added.isEmpty()) {
                addAirport();
                return;
            }
            int slot = rng.below(added.size());
            int id = added.get(slot);
            added.set(slot, added.get(added.size() - 1));
            added.remove(added.size() - 1);
            long t0 = System.nanoTime();
            int code = nativ_ManegingFlight.removeAirport(id);
            timed(t0, System.nanoTime());
            expectOk(code, "removeAirport " + id);
            graph.removeVertex(id); // and every edge at it
            for (LiveFlight f : flightsOfAdded.remove(id)) {
                if (f.slot >= 0) untrack(f);
            }
            withFlights.remove(Integer.valueOf(id));
            airportsRemoved++;
        }

        void edit() {
            int r = rng.below(100);
            if (r < 45) {
                int from = randomAirportWithFlights(Integer.MIN_VALUE);
                addFlight(from, randomAirportWithFlights(from));
            } else if (r < 90) {
                if (present.isEmpty()) addAirport();
                else removeRandomFlight();
            } else if (r < 95) {
                addAirport();
            } else {
                removeAddedAirport();
            }
        }
    }

    /** Runs getRouteFlight + setData and returns the route's total (-1: no route), timing both calls. */
    static long query(aggregateFiting fiting, int[] pair, double[] us, int i) {
        long t0 = System.nanoTime();
        int code = fiting.getRouteFlight(Integer.MAX_VALUE, pair[0], pair[1]);
        fiting.clear();
        fiting.setData();
        us[i] = (System.nanoTime() - t0) / 1e3;
        if (code == 0) return reportedTotal(fiting.flights());
        return code == aggregateFiting.NO_ROUTE ? -1 : -2;
    }

    static long jgraphtTotal(DijkstraShortestPath<Integer, DefaultWeightedEdge> dijkstra, int[] pair, double[] us,
            int i) {
        long t0 = System.nanoTime();
        GraphPath<Integer, DefaultWeightedEdge> path = dijkstra.getPath(pair[0], pair[1]);
        us[i] = (System.nanoTime() - t0) / 1e3;
        return path == null ? -1 : Math.round(path.getWeight());
    }

    /**
     * The same pairs first on the unchanged network, then each after one edit; every library total
     * is checked against JGraphT's path weight on the same graph. Afterwards the network is loaded
     * anew, so that what follows sees the OpenFlights network again.
     */
    static void liveWorkload(int[] served, int iterations) {
        int[][] pairs = randomPairs(served, iterations, 20240611L);
        LiveNetwork live = new LiveNetwork(served, 4711L);
        DijkstraShortestPath<Integer, DefaultWeightedEdge> dijkstra = new DijkstraShortestPath<>(live.graph);
        aggregateFiting fiting = new aggregateFiting();

        double[] frozenUs = new double[iterations];
        double[] frozenJgraphtUs = new double[iterations];
        int frozenMismatches = 0;
        for (int i = 0; i < iterations; i++) {
            long ours = query(fiting, pairs[i], frozenUs, i);
            if (ours != jgraphtTotal(dijkstra, pairs[i], frozenJgraphtUs, i)) frozenMismatches++;
        }

        double[] liveUs = new double[iterations];
        double[] liveJgraphtUs = new double[iterations];
        int mismatches = 0;
        int routes = 0;
        for (int i = 0; i < iterations; i++) {
            live.edit();
            long ours = query(fiting, pairs[i], liveUs, i);
            if (ours >= 0) routes++;
            if (ours != jgraphtTotal(dijkstra, pairs[i], liveJgraphtUs, i)) mismatches++;
        }

        double[] frozen = stats(frozenUs), frozenJg = stats(frozenJgraphtUs);
        double[] after = stats(liveUs), jg = stats(liveJgraphtUs);
        double[] edit = stats(Arrays.copyOf(live.editUs, live.edits));
        System.out.printf("INFO	Java live OpenFlights: %d edits; %d flights added, %d removed, %d airports added,"
                + " %d removed; %d flights at the end (%d loaded)%n", iterations, live.flightsAdded,
                live.flightsRemoved, live.airportsAdded, live.airportsRemoved, live.present.size(), flights.size());
        row("Java live OpenFlights: frozen query (route + setData)", frozen, iterations
                + " pairs, unchanged network, JGraphT run in between as below; " + frozenMismatches
                + " mismatches vs JGraphT");
        row("Java live OpenFlights: JGraphT getPath, frozen", frozenJg,
                String.format("library faster by %.2fx (median)", frozenJg[0] / frozen[0]));
        row("Java live OpenFlights: query right after an edit", after,
                String.format("same pairs, %d with a route; %.2fx the frozen median", routes, after[0] / frozen[0]));
        row("Java live OpenFlights: edit via JNI (one call)", edit,
                live.edits + " calls: addFlight, removeFlight, addAirport, removeAirport");
        row("Java live OpenFlights: JGraphT getPath, after the same edit", jg,
                String.format("library faster by %.2fx (median), %.2fx (mean)", jg[0] / after[0], jg[1] / after[1]));
        target("live OpenFlights: query after an edit vs frozen, median", String.format("%.2fx", after[0] / frozen[0]),
                "<= 2x", after[0] <= 2 * frozen[0]);
        target("live OpenFlights: library vs JGraphT, median ratio", String.format("%.2fx", jg[0] / after[0]),
                ">= 10x", jg[0] / after[0] >= 10);
        target("live OpenFlights: edit via JNI, median", String.format("%.2f us", edit[0]), "<= 10 us",
                edit[0] <= 10);
        target("live OpenFlights: total-days mismatches vs JGraphT", Integer.toString(mismatches), "0",
                mismatches == 0);

        for (Airport a : airports) nativ_ManegingFlight.removeAirport(a.id());
        for (int id : live.added) nativ_ManegingFlight.removeAirport(id);
        loadThroughJni();
    }

    // ---- queries from several Java threads ----

    /** True when the report is the route of this query: from its arrival back to its departure. */
    static boolean reportFits(int code, List<ReportedFlight> report, int[] pair) {
        if (code != 0) return report.isEmpty();
        return report.size() >= 2 && report.size() % 2 == 0 && report.get(0).airport() == pair[1]
                && report.get(report.size() - 1).airport() == pair[0];
    }

    /** Queries, reports that were not the thread's own route, edits and wall seconds of one run. */
    record Throughput(long queries, long foreign, long edits, double seconds) {
        double perSecond() {
            return queries / seconds;
        }
    }

    /**
     * Runs {@code threads} query threads for {@code seconds}, each with its own aggregateFiting and
     * its own pairs (getRouteFlight + setData per query). When {@code editing}, a further thread
     * makes one edit per 100 queries completed: it adds a flight between two random airports, then
     * removes that flight again, so that the network stays the same.
     */
    static Throughput throughput(int threads, double seconds, boolean editing, int[][][] pairs, int[] served)
            throws InterruptedException {
        AtomicLong completed = new AtomicLong();
        AtomicLong foreign = new AtomicLong();
        AtomicBoolean stop = new AtomicBoolean();
        Semaphore editsDue = new Semaphore(0);
        CountDownLatch go = new CountDownLatch(1);
        long[] deadline = new long[1];
        long[] counts = new long[threads];
        Thread[] workers = new Thread[threads];
        for (int t = 0; t < threads; t++) {
            final int self = t;
            workers[t] = new Thread(() -> {
                aggregateFiting fiting = new aggregateFiting();
                int[][] mine = pairs[self];
                long n = 0, wrong = 0;
                int i = 0;
                try {
                    go.await();
                } catch (InterruptedException e) {
                    return;
                }
                long end = deadline[0];
                while (System.nanoTime() < end) {
                    int[] p = mine[i];
                    i = i + 1 == mine.length ? 0 : i + 1;
                    int code = fiting.getRouteFlight(Integer.MAX_VALUE, p[0], p[1]);
                    fiting.clear();
                    fiting.setData();
                    if (!reportFits(code, fiting.flights(), p)) wrong++;
                    n++;
                    if (editing && completed.incrementAndGet() % 100 == 0) editsDue.release();
                }
                counts[self] = n;
                foreign.addAndGet(wrong);
            });
            workers[t].start();
        }
        long[] edits = new long[1];
        Thread editor = null;
        if (editing) {
            editor = new Thread(() -> {
                Random64 rng = new Random64(99 + threads);
                int number = 50_000_000;
                int pendingFrom = 0;
                boolean pending = false;
                try {
                    while (!stop.get()) {
                        if (!editsDue.tryAcquire(1, TimeUnit.MILLISECONDS)) continue;
                        if (!pending) {
                            int from = served[rng.below(served.length)];
                            int to = from;
                            while (to == from) to = served[rng.below(served.length)];
                            number++;
                            if (nativ_ManegingFlight.addFlight("PAR", number, 2, from, to) != 0)
                                throw new IllegalStateException("addFlight " + number);
                            pendingFrom = from;
                        } else if (nativ_ManegingFlight.removeFlight(pendingFrom, number) != 0) {
                            throw new IllegalStateException("removeFlight " + number);
                        }
                        pending = !pending;
                        edits[0]++;
                    }
                } catch (InterruptedException e) {
                    // stopped
                }
                if (pending) nativ_ManegingFlight.removeFlight(pendingFrom, number);
            });
            editor.start();
        }
        long start = System.nanoTime();
        deadline[0] = start + (long) (seconds * 1e9);
        go.countDown();
        for (Thread w : workers) w.join();
        long end = System.nanoTime();
        stop.set(true);
        if (editor != null) editor.join();
        long total = 0;
        for (long c : counts) total += c;
        return new Throughput(total, foreign.get(), edits[0], (end - start) / 1e9);
    }

    static void parallelQueries(int[] served, double seconds) throws InterruptedException {
        int[][][] pairs = new int[2][][];
        for (int t = 0; t < 2; t++) pairs[t] = randomPairs(served, 4096, 31000L + t);
        // Warm-up of every path (threads, reports, the editing thread) for the JIT.
        throughput(2, Math.min(1.0, seconds), true, pairs, served);

        Throughput one = throughput(1, seconds, false, pairs, served);
        Throughput two = throughput(2, seconds, false, pairs, served);
        Throughput edited = throughput(2, seconds, true, pairs, served);
        double ratio = two.perSecond() / one.perSecond();
        rowValue("Java parallel OpenFlights: 1 query thread", String.format("%.0f q/s", one.perSecond()),
                String.format("getRouteFlight + setData, %.1f s; %d reports not the thread's own route",
                        one.seconds(), one.foreign()));
        rowValue("Java parallel OpenFlights: 2 query threads", String.format("%.0f q/s", two.perSecond()),
                String.format("%.2fx one thread; %d reports not the thread's own route", ratio, two.foreign()));
        rowValue("Java parallel OpenFlights: 2 query threads + 1 editing", String.format("%.0f q/s",
                edited.perSecond()), String.format("%d edits, one per 100 queries; %.2fx one thread; %d reports not"
                + " the thread's own route", edited.edits(), edited.perSecond() / one.perSecond(), edited.foreign()));
        target("parallel OpenFlights: 2 query threads vs 1, throughput", String.format("%.2fx", ratio), ">= 1.7x",
                ratio >= 1.7);
    }
}
