package tavrik.bench;

import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicLong;

import palvorin.nativ_ManegingFlight;
import tavrik.FitAnswer;
import tavrik.Network;

/**
 * Networks as objects: loading in one call against the same items by single calls (OpenFlights
 * and a 100,000-airport / 1,000,000-flight network), many networks made, loaded and closed
 * (resident memory before and after), and route queries from two threads on two networks
 * against one thread on one. Prints ROW / TARGET / INFO lines for scripts/bench.
 *
 * <p>Usage: java -Djava.library.path=DIR -cp ... tavrik.bench.NetworkBench OPENFLIGHTS_DIR [PART]
 * [ARGUMENTS], where PART is {@code loads} [AIRPORTS (100000)] [FLIGHTS (1000000)], {@code
 * networks} [COUNT (1000)], {@code threads} [SECONDS (3)] or {@code all} (every part with its
 * defaults). scripts/bench runs each part in a JVM of its own, so that the resident memory of
 * the networks part is not that of the big load.
 */
public final class NetworkBench {
    private NetworkBench() {}

    /** Airports and flights as parallel arrays, for both ways of loading. */
    public record Items(int[] airports, String[] airportNames, int[] flights, String[] flightNames, int[] days, int[] from,
            int[] to) {
        int calls() {
            return airports.length + flights.length;
        }
    }

    public static Items openFlights(Path dir) throws IOException {
        RouteBench.read(dir);
        int a = RouteBench.airports.size(), f = RouteBench.flights.size();
        Items items = new Items(new int[a], new String[a], new int[f], new String[f], new int[f], new int[f], new int[f]);
        for (int i = 0; i < a; i++) {
            items.airports[i] = RouteBench.airports.get(i).id();
            items.airportNames[i] = RouteBench.airports.get(i).name();
        }
        for (int j = 0; j < f; j++) {
            RouteBench.Flight x = RouteBench.flights.get(j);
            items.flights[j] = x.number();
            items.flightNames[j] = x.name();
            items.days[j] = x.days();
            items.from[j] = x.from();
            items.to[j] = x.to();
        }
        return items;
    }

    /** A seeded random network: flight j has number j, between two different random airports. */
    static Items synthetic(int airportCount, int flightCount, long seed) {
        long state = seed;
        Items items = new Items(new int[airportCount], new String[airportCount], new int[flightCount],
                new String[flightCount], new int[flightCount], new int[flightCount], new int[flightCount]);
        for (int i = 0; i < airportCount; i++) {
            items.airports[i] = i + 1;
            items.airportNames[i] = "A" + (i + 1);
        }
        for (int j = 0; j < flightCount; j++) {
            state = state * 6364136223846793005L + 1442695040888963407L;
            int from = 1 + (int) Long.remainderUnsigned(state >>> 17, airportCount);
            state = state * 6364136223846793005L + 1442695040888963407L;
            int to = 1 + (int) Long.remainderUnsigned(state >>> 17, airportCount - 1);
            if (to >= from) to++;
            items.flights[j] = j;
            items.flightNames[j] = "F" + j;
            items.days[j] = 1 + (int) ((state >>> 40) % 30);
            items.from[j] = from;
            items.to[j] = to;
        }
        return items;
    }

    static final ThreadMXBean THREADS = ManagementFactory.getThreadMXBean();

    /**
     * The calling thread's processor time in nanoseconds: on a machine that other programs
     * share, it counts what the load itself costs, where the wall clock also counts the waits
     * for a processor. Every load runs on the calling thread alone.
     */
    static long cpuNow() {
        return THREADS.getCurrentThreadCpuTime();
    }

    /** The items through the host classes' single calls, one JNI call each; processor nanoseconds. */
    static long bySingleCalls(Items x) {
        long t0 = cpuNow();
        for (int i = 0; i < x.airports.length; i++) {
            if (nativ_ManegingFlight.addAirport(x.airports[i], x.airportNames[i]) != 0)
                throw new IllegalStateException("airport " + x.airports[i]);
        }
        for (int j = 0; j < x.flights.length; j++) {
            if (nativ_ManegingFlight.addFlight(x.flightNames[j], x.flights[j], x.days[j], x.from[j], x.to[j]) != 0)
                throw new IllegalStateException("flight " + x.flights[j]);
        }
        return cpuNow() - t0;
    }

    /** The same items in one call; processor nanoseconds. */
    static long inOneCall(Items x) {
        long t0 = cpuNow();
        Network.shared().load(x.airports, x.airportNames, x.flights, x.flightNames, x.days, x.from, x.to);
        return cpuNow() - t0;
    }

    static void emptyShared(Items x) {
        for (int a : x.airports) Network.shared().removeAirport(a);
        if (!Network.shared().airports().isEmpty()) throw new IllegalStateException("shared network not empty");
    }

    /**
     * Loads both ways, alternating, `rounds` times each, into the shared network (emptied in
     * between); reports the first and the best of each in processor time.
     */
    static void compareLoads(String what, Items x, int rounds) {
        long singleFirst = 0, singleBest = Long.MAX_VALUE, oneFirst = 0, oneBest = Long.MAX_VALUE;
        for (int r = 0; r < rounds; r++) {
            long single = bySingleCalls(x);
            emptyShared(x);
            long one = inOneCall(x);
            emptyShared(x);
            if (r == 0) {
                singleFirst = single;
                oneFirst = one;
            }
            singleBest = Math.min(singleBest, single);
            oneBest = Math.min(oneBest, one);
        }
        String items = x.airports.length + " airports, " + x.flights.length + " flights";
        RouteBench.rowValue(what + ": load by " + x.calls() + " single calls, first", ms(singleFirst),
                items + "; processor time of the loading thread");
        RouteBench.rowValue(what + ": load in one call, first", ms(oneFirst),
                String.format("%.1fx faster than single calls", (double) singleFirst / oneFirst));
        RouteBench.rowValue(what + ": load by single calls, best of " + rounds, ms(singleBest), items);
        RouteBench.rowValue(what + ": load in one call, best of " + rounds, ms(oneBest),
                String.format("%.1fx faster than single calls", (double) singleBest / oneBest));
        RouteBench.target(what + ": one-call load vs single calls (first)",
                String.format("%.1fx", (double) singleFirst / oneFirst), ">= 5x", singleFirst >= 5 * oneFirst);
        RouteBench.target(what + ": one-call load vs single calls (best)",
                String.format("%.1fx", (double) singleBest / oneBest), ">= 5x", singleBest >= 5 * oneBest);
    }

    static String ms(long ns) {
        return String.format("%.1f ms", ns / 1e6);
    }

    /** `count` networks of 100 airports and 1,000 flights each, all open at once, then closed. */
    static void manyNetworks(int count) throws IOException, InterruptedException {
        Items small = synthetic(100, 1000, 99);
        Network.Batch batch = new Network.Batch(100, 1000);
        for (int i = 0; i < 100; i++) batch.airport(small.airports[i], small.airportNames[i]);
        for (int j = 0; j < 1000; j++)
            batch.flight(small.flights[j], small.flightNames[j], small.days[j], small.from[j], small.to[j]);
        // A few networks before measuring, so that the classes and the JIT are warm.
        for (int warm = 0; warm < 2; warm++) {
            List<Network> nets = new ArrayList<>();
            for (int i = 0; i < 10; i++) {
                Network n = new Network();
                n.load(batch);
                nets.add(n);
            }
            for (Network n : nets) n.close();
        }
        settle();
        long before = RouteBench.vmRssKiB();
        long t0 = System.nanoTime();
        List<Network> nets = new ArrayList<>();
        for (int i = 0; i < count; i++) {
            Network n = new Network();
            n.load(batch);
            if (n.fit(Integer.MAX_VALUE, 1, 2).kind() == FitAnswer.Kind.NO_ROUTE && i == 0)
                System.out.println("INFO\tno route from 1 to 2 in the small network");
            nets.add(n);
        }
        long built = System.nanoTime() - t0;
        long peak = RouteBench.vmRssKiB();
        t0 = System.nanoTime();
        for (Network n : nets) n.close();
        long closed = System.nanoTime() - t0;
        nets.clear();
        settle();
        long after = RouteBench.vmRssKiB();
        RouteBench.rowValue(count + " networks: made, loaded (1,000 flights) and queried once", ms(built),
                String.format("%.0f us per network", built / 1e3 / count));
        RouteBench.rowValue(count + " networks: closed", ms(closed), String.format("%.0f us per network", closed / 1e3 / count));
        RouteBench.rowValue(count + " networks: resident memory before / open / after",
                String.format("%d MiB", before / 1024), String.format("%d MiB with all open, %d MiB after closing", peak / 1024,
                        after / 1024));
        double growth = (double) (after - before) / before;
        RouteBench.target(count + " networks made, loaded, closed: resident memory after vs before",
                String.format("%+.1f %%", 100 * growth), "within 10 %", Math.abs(growth) <= 0.10);
    }

    static void settle() throws InterruptedException {
        for (int i = 0; i < 3; i++) {
            System.gc();
            Thread.sleep(100);
        }
    }

    /** Processor nanoseconds the workers of the last throughput run spent, all together. */
    static final AtomicLong WORKER_CPU = new AtomicLong();

    /** Queries per second of `threads` threads, each fitting on its own network. */
    static double throughput(Network[] nets, int threads, int[][] pairs, double seconds) throws InterruptedException {
        AtomicBoolean stop = new AtomicBoolean();
        AtomicLong done = new AtomicLong();
        WORKER_CPU.set(0);
        CountDownLatch ready = new CountDownLatch(threads);
        List<Thread> workers = new ArrayList<>();
        for (int t = 0; t < threads; t++) {
            Network n = nets[t];
            int offset = t * 7;
            Thread w = new Thread(() -> {
                ready.countDown();
                long cpu0 = cpuNow();
                long count = 0;
                for (int i = offset; !stop.get(); i++) {
                    int[] p = pairs[i % pairs.length];
                    n.fit(Integer.MAX_VALUE, p[0], p[1]);
                    count++;
                }
                done.addAndGet(count);
                WORKER_CPU.addAndGet(cpuNow() - cpu0);
            });
            workers.add(w);
            w.start();
        }
        ready.await();
        long t0 = System.nanoTime();
        Thread.sleep((long) (seconds * 1000));
        stop.set(true);
        for (Thread w : workers) w.join();
        return done.get() / ((System.nanoTime() - t0) / 1e9);
    }

    static void twoNetworks(Items x, double seconds) throws InterruptedException {
        Network first = new Network();
        first.load(x.airports, x.airportNames, x.flights, x.flightNames, x.days, x.from, x.to);
        Network second = first.copy();
        java.util.TreeSet<Integer> served = new java.util.TreeSet<>();
        for (int j = 0; j < x.flights.length; j++) {
            served.add(x.from[j]);
            served.add(x.to[j]);
        }
        int[][] pairs = RouteBench.randomPairs(served.stream().mapToInt(Integer::intValue).toArray(), 1000, 12345);
        Network[] nets = {first, second};
        throughput(nets, 2, pairs, 1);  // warm-up
        double one = throughput(nets, 1, pairs, seconds);
        double oneCpu = WORKER_CPU.get() / (one * seconds);
        double two = throughput(nets, 2, pairs, seconds);
        double twoCpu = WORKER_CPU.get() / (two * seconds);
        double oneAgain = throughput(nets, 1, pairs, seconds);
        double single = Math.max(one, oneAgain);
        double load = ManagementFactory.getOperatingSystemMXBean().getSystemLoadAverage();
        RouteBench.rowValue("OpenFlights: fits per second, one thread on one network", String.format("%.0f", single),
                String.format("two runs: %.0f and %.0f; %.1f us of processor time per fit", one, oneAgain,
                        oneCpu / 1e3));
        RouteBench.rowValue("OpenFlights: fits per second, two threads on two networks", String.format("%.0f", two),
                String.format("%.2fx one thread; %.1f us of processor time per fit; load average %.1f", two / single,
                        twoCpu / 1e3, load));
        RouteBench.target("two threads on two networks vs one thread", String.format("%.2fx", two / single), ">= 1.8x",
                two >= 1.8 * single);
        // On a machine that other programs share, the wall-clock ratio is capped by the
        // processors they leave over; the processor time per fit says whether the two threads
        // cost each other anything (a shared lock or cache line would raise it).
        RouteBench.target("two threads on two networks: processor time per fit vs one thread",
                String.format("%.2fx", twoCpu / oneCpu), "<= 1.1x", twoCpu <= 1.1 * oneCpu);
        first.close();
        second.close();
    }

    public static void main(String[] args) throws IOException, InterruptedException {
        Path data = Path.of(args.length > 0 ? args[0] : "data/openflights");
        String part = args.length > 1 ? args[1] : "all";
        nativ_ManegingFlight.load();
        System.out.printf("INFO\tNetworkBench %s: %d CPUs available to the JVM%n", part,
                Runtime.getRuntime().availableProcessors());
        Items open = openFlights(data);
        if (part.equals("all") || part.equals("loads")) {
            int scaleAirports = args.length > 2 ? Integer.parseInt(args[2]) : 100_000;
            int scaleFlights = args.length > 3 ? Integer.parseInt(args[3]) : 1_000_000;
            compareLoads("OpenFlights", open, 4);
            compareLoads(scaleAirports + " airports / " + scaleFlights + " flights",
                    synthetic(scaleAirports, scaleFlights, 2026), 2);
        }
        if (part.equals("all") || part.equals("networks")) {
            manyNetworks(args.length > 2 ? Integer.parseInt(args[2]) : 1000);
        }
        if (part.equals("all") || part.equals("threads")) {
            twoNetworks(open, args.length > 2 ? Double.parseDouble(args[2]) : 3);
        }
    }
}
