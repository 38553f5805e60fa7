package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.PriorityQueue;
import java.util.Random;
import java.util.TreeMap;
import java.util.concurrent.Callable;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.locks.Lock;
import java.util.concurrent.locks.ReentrantReadWriteLock;
import org.junit.jupiter.api.Test;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;
import palvorin.nativ_ManegingFlight;

/**
 * Eight threads calling the library at once.
 *
 * <p>Each thread edits airports and flights in a range of its own and keeps a model of what that
 * range must hold; every result code is checked against the model as it goes, and at the end the
 * whole range is read back through AirportFrame and compared with the model.
 *
 * <p>All threads also fit and book routes on a shared part of the network that nobody edits:
 * four chains with a slower detour each. The ticket list is one per process, so a thread cannot
 * know whose route its booking call books; instead every successful booking is counted, and at
 * the end every ticket of each chain must carry the same count (bookings are all or nothing) and
 * the counts of the four chains must add up to the number of successful bookings.
 *
 * <p>Some reports have callbacks that call the library again: they add and remove airports in a
 * second private range of their thread and fit shared routes.
 *
 * <p>A second test has four threads that mostly fit routes at the same time, each in a range of
 * its own that it also edits now and then; every result code, every route it fits and, at the
 * end, every flight entry of its range is checked against the thread's model (see
 * {@link QueryWorker}).
 *
 * <p>A third test has eight threads selling the last seats of one {@code tavrik.Network}
 * (flights of 1 to 3 seats) with request keys, retries and cancels, and checks every flight's
 * seats against its live bookings at the end.
 *
 * <p>{@code -Dtavrik.threads.calls=N} sets the number of library calls per thread (default
 * 100,000; the sanitizer build uses fewer); the query test makes a quarter as many steps.
 */
class ThreadsTest extends JniCheckedTest {
    private static final int THREADS = 8;
    private static final int CALLS = Integer.getInteger("tavrik.threads.calls", 100_000);
    private static final long TIMEOUT_MILLIS = 4 * 60 * 1000;

    private static final int SHARED = 500_000;
    private static final int CHAINS = 4;
    private static final int DETOUR_OUT = 90;
    private static final int DETOUR_IN = 91;
    private static final int PRIVATE = 1_000_000;
    private static final int PRIVATE_SPAN = 10_000;
    private static final int MAIN_AIRPORTS = 48;
    private static final int CALLBACK_OFFSET = 5_000;
    private static final int CALLBACK_AIRPORTS = 16;
    private static final int FLIGHT_NUMBERS = 24;

    private final AtomicLong successfulBookings = new AtomicLong();
    private final ConcurrentLinkedQueue<Throwable> failures = new ConcurrentLinkedQueue<>();

    // ---- the shared chains ----

    /**
     * Chain k has 12 (k + 1) legs of one day each: long enough lists that a booking which is not
     * serialised with the other calls would overlap them often.
     */
    private static int legs(int chain) {
        return 12 * (chain + 1);
    }

    private static int chainAirport(int chain, int i) {
        return SHARED + 100 * chain + i;
    }

    private static int detourAirport(int chain) {
        return SHARED + 100 * chain + 50;
    }

    private static String legName(int chain, int leg) {
        return "chain " + chain + " leg " + leg;
    }

    private static void buildSharedChains() {
        for (int k = 0; k < CHAINS; k++) {
            for (int i = 0; i <= legs(k); i++) {
                assertEquals(0, nativ_ManegingFlight.addAirport(chainAirport(k, i), "shared"));
            }
            for (int leg = 1; leg <= legs(k); leg++) {
                assertEquals(0, nativ_ManegingFlight.addFlight(legName(k, leg), leg, 1, chainAirport(k, leg - 1), chainAirport(k, leg)));
            }
            // Two days longer than the chain: never fitted.
            assertEquals(0, nativ_ManegingFlight.addAirport(detourAirport(k), "detour"));
            assertEquals(0, nativ_ManegingFlight.addFlight("detour out", DETOUR_OUT, 2, chainAirport(k, 0), detourAirport(k)));
            assertEquals(0, nativ_ManegingFlight.addFlight("detour in", DETOUR_IN, legs(k), detourAirport(k), chainAirport(k, legs(k))));
        }
    }

    /** The route report of chain k, every ticket booked {@code booked} times. */
    private static List<ReportedFlight> chainRoute(int k, int booked) {
        List<ReportedFlight> route = new ArrayList<>();
        for (int leg = legs(k); leg >= 1; leg--) {
            int from = chainAirport(k, leg - 1);
            int to = chainAirport(k, leg);
            route.add(new ReportedFlight(to, leg, legName(k, leg), 1, from, to, booked));
            route.add(new ReportedFlight(from, leg, legName(k, leg), 1, from, to, booked));
        }
        return route;
    }

    // ---- one thread's private ranges, as they must be ----

    /** Flight tables of the airports of one thread's ranges, mirroring the library's. */
    private static final class Model {
        final Map<Integer, TreeMap<Integer, ReportedFlight>> tables = new TreeMap<>();
        /** Results of {@link #shortest}, until the next change of airports or flights. */
        private final Map<Integer, Map<Integer, Long>> shortestFrom = new HashMap<>();

        int addAirport(int a) {
            if (tables.containsKey(a)) return -2;
            tables.put(a, new TreeMap<>());
            shortestFrom.clear();
            return 0;
        }

        int removeAirport(int a) {
            TreeMap<Integer, ReportedFlight> table = tables.remove(a);
            shortestFrom.clear();
            if (table != null) {
                for (ReportedFlight f : table.values()) {
                    int other = f.from() == a ? f.to() : f.from();
                    tables.get(other).remove(f.flight());
                }
            }
            return 0;
        }

        int addFlight(String name, int flight, int days, int from, int to) {
            TreeMap<Integer, ReportedFlight> departure = tables.get(from);
            TreeMap<Integer, ReportedFlight> arrival = tables.get(to);
            if (departure == null || arrival == null || from == to) return -2;
            if (departure.containsKey(flight) || arrival.containsKey(flight)) return -2;
            departure.put(flight, new ReportedFlight(from, flight, name, days, from, to, 0));
            arrival.put(flight, new ReportedFlight(to, flight, name, days, from, to, 0));
            shortestFrom.clear();
            return 0;
        }

        int removeFlight(int a, int flight) {
            TreeMap<Integer, ReportedFlight> table = tables.get(a);
            if (table == null) return -2;
            ReportedFlight f = table.remove(flight);
            if (f == null) return -2;
            tables.get(f.from() == a ? f.to() : f.from()).remove(flight);
            shortestFrom.clear();
            return 0;
        }

        List<ReportedFlight> report(int a) {
            TreeMap<Integer, ReportedFlight> table = tables.get(a);
            return table == null ? List.of() : List.copyOf(table.values());
        }

        /** The entry of {@code flight} at airport {@code a}, or null. */
        ReportedFlight entry(int a, int flight) {
            TreeMap<Integer, ReportedFlight> table = tables.get(a);
            return table == null ? null : table.get(flight);
        }

        /** One more booking of flight {@code flight}, which flies {@code from} -> {@code to}, counted at both ends. */
        void book(int flight, int from, int to) {
            for (int a : new int[] {from, to}) {
                ReportedFlight f = tables.get(a).get(flight);
                tables.get(a).put(flight, new ReportedFlight(f.airport(), f.flight(), f.name(), f.days(), f.from(), f.to(), f.booked() + 1));
            }
        }

        /** The smallest total day count from {@code from} to each airport it reaches (days are never negative here). */
        Map<Integer, Long> shortest(int from) {
            return shortestFrom.computeIfAbsent(from, this::dijkstra);
        }

        private Map<Integer, Long> dijkstra(int from) {
            Map<Integer, Long> total = new HashMap<>();
            PriorityQueue<long[]> queue = new PriorityQueue<>((x, y) -> Long.compare(x[0], y[0]));
            queue.add(new long[] {0, from});
            while (!queue.isEmpty()) {
                long[] head = queue.poll();
                int a = (int) head[1];
                if (total.containsKey(a)) continue;
                total.put(a, head[0]);
                for (ReportedFlight f : tables.get(a).values()) {
                    if (f.from() == a && !total.containsKey(f.to())) queue.add(new long[] {head[0] + f.days(), f.to()});
                }
            }
            return total;
        }
    }

    private final class Worker implements Runnable {
        final int index;
        final int base;
        final int callbackBase;
        final Random random;
        final Model model = new Model();
        long calls;
        long reentrantCallbacks;
        int serial;

        Worker(int index) {
            this.index = index;
            this.base = PRIVATE + PRIVATE_SPAN * index;
            this.callbackBase = base + CALLBACK_OFFSET;
            this.random = new Random(0x7A5_12L * (index + 1));
        }

        @Override
        public void run() {
            try {
                while (calls < CALLS) step();
            } catch (Throwable t) {
                failures.add(new AssertionError("thread " + index + " after " + calls + " calls", t));
            }
        }

        int mainAirport() {
            return base + random.nextInt(MAIN_AIRPORTS);
        }

        String newName() {
            return (serial++ % 5 == 0 ? "Zürich ✈ " : "t") + index + "-" + serial;
        }

        void step() {
            int r = random.nextInt(100);
            if (r < 12) {
                int a = mainAirport();
                calls++;
                assertEquals(model.addAirport(a), nativ_ManegingFlight.addAirport(a, "airport " + a), "addAirport " + a);
            } else if (r < 16) {
                int a = mainAirport();
                calls++;
                assertEquals(model.removeAirport(a), nativ_ManegingFlight.removeAirport(a), "removeAirport " + a);
            } else if (r < 36) {
                int from = mainAirport();
                int to = mainAirport();
                int flight = 1 + random.nextInt(FLIGHT_NUMBERS);
                int days = random.nextInt(6);
                String name = newName();
                calls++;
                assertEquals(model.addFlight(name, flight, days, from, to),
                        nativ_ManegingFlight.addFlight(name, flight, days, from, to), "addFlight " + flight);
            } else if (r < 46) {
                int a = mainAirport();
                int flight = 1 + random.nextInt(FLIGHT_NUMBERS);
                calls++;
                assertEquals(model.removeFlight(a, flight), nativ_ManegingFlight.removeFlight(a, flight), "removeFlight " + flight);
            } else if (r < 56) {
                int a = mainAirport();
                calls++;
                assertEquals(model.report(a), Reports.airport(a), "report of " + a);
            } else if (r < 62) {
                reentrantReport(mainAirport());
            } else if (r < 90) {
                fitAndBook(random.nextInt(CHAINS), random.nextInt(4) == 0);
            } else {
                checkSharedAirport();
            }
        }

        void fitAndBook(int k, boolean report) {
            aggregateFiting fiting = new aggregateFiting();
            int maxDays = legs(k) - 1 + random.nextInt(4); // one time in four just too short
            calls++;
            assertEquals(maxDays < legs(k) ? aggregateFiting.OVER_DAY_LIMIT : 0,
                    fiting.getRouteFlight(maxDays, chainAirport(k, 0), chainAirport(k, legs(k))), "fit chain " + k);
            calls++;
            int booked = fiting.armoringTickets();
            // Another thread may have fitted a route or emptied the list in between.
            if (booked == 0) successfulBookings.incrementAndGet();
            else assertEquals(aggregateFiting.NO_TICKETS, booked, "booking");
            if (report) {
                calls++;
                fiting.setData();
                checkRouteReport(fiting.flights());
            }
        }

        /** A route report is empty or one whole chain, every ticket with the same count. */
        void checkRouteReport(List<ReportedFlight> flights) {
            if (flights.isEmpty()) return;
            int k = (flights.get(0).airport() - SHARED) / 100;
            assertTrue(k >= 0 && k < CHAINS, () -> "route of no chain: " + flights);
            int booked = flights.get(0).booked();
            assertEquals(chainRoute(k, booked), flights);
        }

        /** Within one report the entries of one chain share one count; detours are never booked. */
        void checkSharedAirport() {
            int k = random.nextInt(CHAINS);
            int i = random.nextInt(legs(k) + 1);
            calls++;
            List<ReportedFlight> flights = Reports.airport(chainAirport(k, i));
            assertTrue(!flights.isEmpty());
            int chainBooked = -1;
            for (ReportedFlight f : flights) {
                if (f.flight() == DETOUR_OUT || f.flight() == DETOUR_IN) {
                    assertEquals(0, f.booked(), f.toString());
                } else if (chainBooked < 0) {
                    chainBooked = f.booked();
                } else {
                    assertEquals(chainBooked, f.booked(), () -> "counts differ at one airport: " + flights);
                }
            }
        }

        /**
         * Reports an airport of the main range through a frame whose callbacks edit the callback
         * range and fit shared routes. Callbacks run in this thread, so the model stays exact.
         */
        void reentrantReport(int a) {
            List<ReportedFlight> expected = model.report(a);
            AirportFrame frame = new AirportFrame(a) {
                @Override
                public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
                    super.addFlitgh(airport, flight, name, days, from, to, booked);
                    reentrantCallbacks++;
                    int c = callbackBase + random.nextInt(CALLBACK_AIRPORTS);
                    calls++;
                    if (random.nextBoolean()) {
                        assertEquals(model.addAirport(c), nativ_ManegingFlight.addAirport(c, "callback"), "callback add " + c);
                    } else {
                        assertEquals(model.removeAirport(c), nativ_ManegingFlight.removeAirport(c), "callback remove " + c);
                    }
                    int k = random.nextInt(CHAINS);
                    calls++;
                    assertEquals(0, new aggregateFiting().getRouteFlight(legs(k), chainAirport(k, 0), chainAirport(k, legs(k))));
                }
            };
            calls++;
            frame.setData();
            assertEquals(expected, frame.flights(), "reentrant report of " + a);
        }

        void checkFinalState() {
            for (int a = base; a < base + MAIN_AIRPORTS; a++) {
                assertEquals(model.report(a), Reports.airport(a), "final report of " + a);
            }
            for (int c = callbackBase; c < callbackBase + CALLBACK_AIRPORTS; c++) {
                assertEquals(model.report(c), Reports.airport(c), "final report of " + c);
                // An airport exists exactly when the model has it: adding it again says so.
                assertEquals(model.tables.containsKey(c) ? -2 : 0, nativ_ManegingFlight.addAirport(c, "probe"));
            }
        }
    }

    // ---- parallel route queries, each thread in a range of its own ----

    private static final int QUERY_THREADS = 4;
    private static final int QUERY_STEPS = Math.max(1, CALLS / 4);
    private static final int QUERY_BASE = 3_000_000;
    private static final int QUERY_SPAN = 10_000;
    private static final int QUERY_AIRPORTS = 24;
    private static final int QUERY_FLIGHT_NUMBERS = 10;
    private static final int BOOKING_DAY_LIMIT = 1_000_000;

    /**
     * Every getRouteFlight of the query threads runs under this lock: shared in a window of a few
     * fits and the report of the last one; exclusive around a booking (fit, report, book) and
     * around a removal of flights or airports, which ends with a fit of the remover's own.
     * Shared holders do not exclude each other, so the library still gets queries from several
     * threads at once; what the lock rules out is a report of a list that names a flight its
     * owner removed after fitting it, so every non-empty route report, whoever's fit it comes
     * from, is a whole route. Additions and airport reports take no lock.
     */
    private final ReentrantReadWriteLock routeWindows = new ReentrantReadWriteLock();

    /** The query thread whose range holds {@code airport}, or -1. */
    private static int rangeOf(int airport) {
        int offset = airport - QUERY_BASE;
        if (offset < 0 || offset >= QUERY_THREADS * QUERY_SPAN || offset % QUERY_SPAN >= QUERY_AIRPORTS) return -1;
        return offset / QUERY_SPAN;
    }

    /**
     * Mostly fits routes between airports of its own range, with the other query threads doing
     * the same at the same time; now and then adds or removes airports and flights there and
     * books a route. Its model says what every call must return: result codes of fits and
     * edits, the smallest total (Dijkstra over the model), every flight entry with its booked
     * count. Only this thread books in its range, and only under the exclusive lock, between its
     * own fit and booking, so the model knows every count.
     *
     * <p>The ticket list is one per process: another thread's fit may replace it between this
     * thread's fit and its report. A report must then still be one whole route of some query
     * thread's range (legs from the arrival back, two entries per leg, chained); when it lies in
     * this thread's range it can only be this thread's latest fit, and must be a route of the
     * model with the smallest total.
     */
    private final class QueryWorker implements Runnable {
        final int index;
        final int base;
        final Random random;
        final Model model = new Model();
        int source;
        int serial;
        long fits;
        long ownReports;
        long foreignReports;
        long emptyReports;
        long bookings;
        long refusedBookings;

        QueryWorker(int index) {
            this.index = index;
            this.base = QUERY_BASE + QUERY_SPAN * index;
            this.random = new Random(0x51_0EL * (index + 1));
            this.source = base;
        }

        @Override
        public void run() {
            int step = 0;
            try {
                build();
                for (; step < QUERY_STEPS; step++) step();
            } catch (Throwable t) {
                failures.add(new AssertionError("query thread " + index + " at step " + step, t));
            }
        }

        int airport() {
            return base + random.nextInt(QUERY_AIRPORTS);
        }

        /** Mostly a few airports further on, so that routes take several legs. */
        int destinationFrom(int from) {
            if (random.nextInt(4) == 0) return airport();
            return base + (from - base + 1 + random.nextInt(3)) % QUERY_AIRPORTS;
        }

        /** Mostly a few days; one flight in twenty takes hundreds, which changes how the library searches. */
        int days() {
            return random.nextInt(20) == 0 ? 200 + random.nextInt(800) : random.nextInt(7);
        }

        /** Every airport, and a ring of flights through them. */
        void build() {
            for (int i = 0; i < QUERY_AIRPORTS; i++) {
                assertEquals(model.addAirport(base + i), nativ_ManegingFlight.addAirport(base + i, "q" + index));
            }
            for (int i = 0; i < QUERY_AIRPORTS; i++) {
                addFlight(base + i, base + (i + 1) % QUERY_AIRPORTS);
            }
        }

        void addFlight(int from, int to) {
            int flight = 1 + random.nextInt(QUERY_FLIGHT_NUMBERS);
            int days = days();
            String name = "q" + index + "-" + serial++;
            assertEquals(model.addFlight(name, flight, days, from, to),
                    nativ_ManegingFlight.addFlight(name, flight, days, from, to), "addFlight " + flight + " " + from + "->" + to);
        }

        void step() {
            int r = random.nextInt(100);
            if (r < 50) {
                // A few fits in a row (mostly from one departure, which the library may keep a
                // search of), the last one reported half the time.
                int fits = 1 + random.nextInt(4);
                boolean report = random.nextBoolean();
                shared(() -> {
                    for (int i = 1; i <= fits; i++) query(report && i == fits, false);
                });
            } else if (r < 62) {
                int a = airport();
                assertEquals(model.report(a), Reports.airport(a), "report of " + a);
            } else if (r < 67) {
                int a = airport();
                assertEquals(model.addAirport(a), nativ_ManegingFlight.addAirport(a, "q" + index), "addAirport " + a);
            } else if (r < 87) {
                int from = knownAirport();
                addFlight(from, destinationFrom(from));
            } else if (r < 93) {
                exclusive(() -> {
                    int a = airport();
                    int flight = 1 + random.nextInt(QUERY_FLIGHT_NUMBERS);
                    assertEquals(model.removeFlight(a, flight), nativ_ManegingFlight.removeFlight(a, flight), "removeFlight " + flight + " at " + a);
                    query(true, true);
                });
            } else if (r < 94) {
                if (random.nextInt(3) != 0) return; // an airport takes all its flights along: rarely
                exclusive(() -> {
                    int a = airport();
                    assertEquals(model.removeAirport(a), nativ_ManegingFlight.removeAirport(a), "removeAirport " + a);
                    query(true, true);
                });
            } else if (r < 98) {
                exclusive(this::book);
            } else {
                exclusive(this::bookAfterALegWent);
            }
        }

        void shared(Runnable window) {
            run(routeWindows.readLock(), window);
        }

        void exclusive(Runnable section) {
            run(routeWindows.writeLock(), section);
        }

        void run(Lock lock, Runnable body) {
            lock.lock();
            try {
                body.run();
            } finally {
                lock.unlock();
            }
        }

        /** What getRouteFlight must return, by the model. */
        int expectedFit(int maxDays, int from, int to) {
            if (!model.tables.containsKey(from)) return aggregateFiting.UNKNOWN_DEPARTURE;
            if (!model.tables.containsKey(to)) return aggregateFiting.UNKNOWN_ARRIVAL;
            Long total = model.shortest(from).get(to);
            if (total == null) return aggregateFiting.NO_ROUTE;
            return total > maxDays ? aggregateFiting.OVER_DAY_LIMIT : 0;
        }

        /** An airport of the range, mostly one the model has. */
        int knownAirport() {
            int a = airport();
            return model.tables.containsKey(a) || random.nextInt(4) == 0 ? a : airport();
        }

        /** Picks a route, mostly from the same departure as the last one. */
        int[] pickRoute() {
            if (random.nextInt(4) == 0 || !model.tables.containsKey(source)) source = knownAirport();
            int to = knownAirport();
            while (to == source) to = knownAirport();
            return new int[] {source, to};
        }

        /** A day limit just below, at or above the shortest total, or anything when there is no route. */
        int dayLimit(int from, int to) {
            Long total = model.tables.containsKey(from) ? model.shortest(from).get(to) : null;
            if (total == null) return random.nextInt(100);
            return (int) Math.max(0, total + random.nextInt(4) - 1);
        }

        /**
         * Fits a route of this range, checks the result code and, if asked, the route report;
         * {@code alone}: under the exclusive lock, where no other thread fits in between.
         */
        void query(boolean report, boolean alone) {
            int[] route = pickRoute();
            int maxDays = dayLimit(route[0], route[1]);
            fits++;
            int result = new aggregateFiting().getRouteFlight(maxDays, route[0], route[1]);
            String what = "getRouteFlight(" + maxDays + ", " + route[0] + ", " + route[1] + ")";
            assertEquals(expectedFit(maxDays, route[0], route[1]), result, what);
            if (report) {
                // Leaves the other threads room to fit their own routes before the report.
                if (!alone) Thread.yield();
                checkRouteReport(Reports.route(), result, route[0], route[1], what, alone);
            }
        }

        /**
         * A report is empty or one whole route within one query thread's range; in this thread's
         * range it is the route just fitted: right ends, flights of the model, smallest total.
         * {@code alone}: no other thread can have fitted since this thread's fit, so the report
         * is this thread's route exactly when that fit succeeded.
         */
        void checkRouteReport(List<ReportedFlight> flights, int fitResult, int from, int to, String what, boolean alone) {
            if (flights.isEmpty()) {
                emptyReports++;
                if (alone) assertTrue(fitResult != 0, () -> what + " succeeded, yet the route report is empty");
                return;
            }
            String context = what + " then setData: " + flights;
            assertEquals(0, flights.size() % 2, () -> "odd number of tickets: " + context);
            int owner = rangeOf(flights.get(0).airport());
            assertTrue(owner >= 0, () -> "route outside every query range: " + context);
            long total = 0;
            for (int i = 0; i < flights.size(); i += 2) {
                ReportedFlight arrival = flights.get(i);
                ReportedFlight departure = flights.get(i + 1);
                assertEquals(arrival.to(), arrival.airport(), () -> "leg's first entry is not at its arrival: " + context);
                assertEquals(departure.from(), departure.airport(), () -> "leg's second entry is not at its departure: " + context);
                assertEquals(new ReportedFlight(departure.airport(), arrival.flight(), arrival.name(), arrival.days(), arrival.from(), arrival.to(), arrival.booked()),
                        departure, () -> "two entries of one leg differ: " + context);
                assertTrue(rangeOf(arrival.from()) == owner && rangeOf(arrival.to()) == owner, () -> "route crosses ranges: " + context);
                if (i > 0) assertEquals(flights.get(i - 1).from(), arrival.to(), () -> "legs not chained: " + context);
                total += arrival.days();
            }
            if (owner != index) {
                foreignReports++;
                assertTrue(!alone, () -> "another thread's route while no other thread could fit: " + context);
                return;
            }
            ownReports++;
            assertEquals(0, fitResult, () -> "a route of this range after a failed fit: " + context);
            assertEquals(to, flights.get(0).to(), () -> "route does not end at the arrival: " + context);
            assertEquals(from, flights.get(flights.size() - 1).from(), () -> "route does not start at the departure: " + context);
            for (ReportedFlight f : flights) {
                assertEquals(model.entry(f.airport(), f.flight()), f, () -> "not a flight entry of the model: " + context);
            }
            assertEquals(model.shortest(from).get(to), total, () -> "total days of " + context);
        }

        /** Fits a route and books it; no other thread fits in between. */
        void book() {
            aggregateFiting fiting = new aggregateFiting();
            int from = airport();
            int to = destinationFrom(from);
            if (to == from) return;
            int expected = expectedFit(BOOKING_DAY_LIMIT, from, to);
            fits++;
            assertEquals(expected, fiting.getRouteFlight(BOOKING_DAY_LIMIT, from, to), "fit to book " + from + "->" + to);
            if (expected != 0) {
                assertEquals(aggregateFiting.NO_TICKETS, fiting.armoringTickets(), "booking after a failed fit");
                return;
            }
            List<ReportedFlight> route = Reports.route();
            checkRouteReport(route, 0, from, to, "fit to book " + from + "->" + to, true);
            assertEquals(0, fiting.armoringTickets(), () -> "booking " + route);
            bookings++;
            for (int i = 0; i < route.size(); i += 2) model.book(route.get(i).flight(), route.get(i).from(), route.get(i).to());
            List<ReportedFlight> after = new ArrayList<>();
            for (ReportedFlight f : route) after.add(model.entry(f.airport(), f.flight()));
            assertEquals(after, Reports.route(), "route report after booking");
        }

        /** Fits a route, removes one of its flights, and the booking must change no count. */
        void bookAfterALegWent() {
            aggregateFiting fiting = new aggregateFiting();
            int from = airport();
            int to = destinationFrom(from);
            if (to == from) return;
            if (expectedFit(BOOKING_DAY_LIMIT, from, to) != 0) return;
            fits++;
            assertEquals(0, fiting.getRouteFlight(BOOKING_DAY_LIMIT, from, to), "fit " + from + "->" + to);
            List<ReportedFlight> route = Reports.route();
            checkRouteReport(route, 0, from, to, "fit " + from + "->" + to, true);
            ReportedFlight gone = route.get(random.nextInt(route.size()));
            assertEquals(model.removeFlight(gone.airport(), gone.flight()), nativ_ManegingFlight.removeFlight(gone.airport(), gone.flight()));
            assertEquals(aggregateFiting.BOOKING_REFUSED, fiting.armoringTickets(), () -> "booking " + route + " after " + gone.flight() + " went");
            refusedBookings++;
            for (ReportedFlight f : route) {
                assertEquals(model.report(f.airport()), Reports.airport(f.airport()), () -> "counts after the refused booking of " + route);
            }
            query(true, true); // the list names a removed flight: replace it before others may report it
        }

        void checkFinalState() {
            for (int a = base; a < base + QUERY_AIRPORTS; a++) {
                assertEquals(model.report(a), Reports.airport(a), "final report of " + a);
                // An airport exists exactly when the model has it: adding it again says so.
                assertEquals(model.tables.containsKey(a) ? -2 : 0, nativ_ManegingFlight.addAirport(a, "probe"), "airport " + a);
            }
        }
    }

    /**
     * Runs each worker in a thread of its own and waits for all of them; fails, with the stacks
     * of the threads still running, if they are not done within {@link #TIMEOUT_MILLIS}.
     * Returns the seconds they took.
     */
    private static long runAll(String name, List<? extends Runnable> workers) throws InterruptedException {
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < workers.size(); t++) {
            Thread thread = new Thread(workers.get(t), name + "-" + t);
            thread.setDaemon(true); // a deadlocked run must not keep the JVM alive
            threads.add(thread);
        }
        long start = System.nanoTime();
        threads.forEach(Thread::start);
        long deadline = System.currentTimeMillis() + TIMEOUT_MILLIS;
        for (Thread thread : threads) {
            thread.join(Math.max(1, deadline - System.currentTimeMillis()));
        }
        StringBuilder stuck = new StringBuilder();
        for (Thread thread : threads) {
            if (thread.isAlive()) {
                stuck.append('\n').append(thread.getName()).append(' ').append(thread.getState());
                for (StackTraceElement e : thread.getStackTrace()) stuck.append("\n    at ").append(e);
            }
        }
        if (stuck.length() > 0) fail("threads still running after " + TIMEOUT_MILLIS + " ms (deadlock?):" + stuck);
        return (System.nanoTime() - start) / 1_000_000_000L;
    }

    /** Throws the first failure of any thread, with the others attached. */
    private void throwFailures() {
        if (!failures.isEmpty()) {
            AssertionError error = new AssertionError(failures.size() + " thread(s) failed", failures.peek());
            failures.stream().skip(1).forEach(error::addSuppressed);
            throw error;
        }
    }

    @Test
    void eightThreadsEditFitBookAndReportAtOnce() throws InterruptedException {
        buildSharedChains();
        List<Worker> workers = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) workers.add(new Worker(t));
        long seconds = runAll("tavrik-worker", workers);
        long totalCalls = workers.stream().mapToLong(w -> w.calls).sum();
        long callbacks = workers.stream().mapToLong(w -> w.reentrantCallbacks).sum();
        long flightEntries = workers.stream().flatMap(w -> w.model.tables.values().stream()).mapToLong(Map::size).sum();
        System.out.println(THREADS + " threads made " + totalCalls + " library calls in about " + seconds + " s; "
                + successfulBookings.get() + " bookings succeeded; " + callbacks + " callbacks called back in; "
                + flightEntries + " private flight entries at the end");

        throwFailures();
        for (Worker w : workers) assertTrue(w.calls >= CALLS);
        for (Worker w : workers) w.checkFinalState();

        long countedBookings = 0;
        for (int k = 0; k < CHAINS; k++) {
            int booked = Reports.airport(chainAirport(k, 0)).get(0).booked();
            for (int i = 0; i <= legs(k); i++) {
                for (ReportedFlight f : Reports.airport(chainAirport(k, i))) {
                    boolean detour = f.flight() == DETOUR_OUT || f.flight() == DETOUR_IN;
                    assertEquals(detour ? 0 : booked, f.booked(), f.toString());
                }
            }
            for (ReportedFlight f : Reports.airport(detourAirport(k))) assertEquals(0, f.booked(), f.toString());
            countedBookings += booked;
        }
        assertEquals(successfulBookings.get(), countedBookings, "tickets booked versus successful bookings");
        assertTrue(successfulBookings.get() > 0);
        assertTrue(callbacks > 0, "no callback called back into the library");
    }

    @Test
    void fourThreadsQueryTheirOwnRangesAtOnceWhileEditingAndBookingThem() throws InterruptedException {
        List<QueryWorker> workers = new ArrayList<>();
        for (int t = 0; t < QUERY_THREADS; t++) workers.add(new QueryWorker(t));
        long seconds = runAll("tavrik-query", workers);
        System.out.println(QUERY_THREADS + " query threads made " + QUERY_STEPS + " steps each in about " + seconds + " s: "
                + workers.stream().mapToLong(w -> w.fits).sum() + " fits; route reports: "
                + workers.stream().mapToLong(w -> w.ownReports).sum() + " of the reporting thread's route, "
                + workers.stream().mapToLong(w -> w.foreignReports).sum() + " of another thread's, "
                + workers.stream().mapToLong(w -> w.emptyReports).sum() + " empty; "
                + workers.stream().mapToLong(w -> w.bookings).sum() + " bookings, "
                + workers.stream().mapToLong(w -> w.refusedBookings).sum() + " refused after a leg went");

        throwFailures();
        for (QueryWorker w : workers) w.checkFinalState();
        for (QueryWorker w : workers) {
            assertTrue(w.ownReports > 0 && w.bookings > 0 && w.refusedBookings > 0, "thread " + w.index + " never reported, booked or was refused");
        }
    }

    // ---- one ticket list for the whole process ----

    private static final int HANDOFF = 4_000_000;

    /** Runs {@code call} in {@code other} and waits for it; its failure fails the test. */
    private static <T> T in(ExecutorService other, Callable<T> call) throws Exception {
        try {
            return other.submit(call).get(TIMEOUT_MILLIS, TimeUnit.MILLISECONDS);
        } catch (java.util.concurrent.ExecutionException e) {
            throw new AssertionError("in the other thread", e.getCause());
        }
    }

    /** The report of route {@code from -> from + 1} by flight 1 of {@code days} days. */
    private static List<ReportedFlight> oneLeg(int from, String name, int days, int booked) {
        return List.of(new ReportedFlight(from + 1, 1, name, days, from, from + 1, booked),
                new ReportedFlight(from, 1, name, days, from, from + 1, booked));
    }

    /**
     * Whichever thread fits a route, it becomes the list that every thread reports and books:
     * the list is not kept per thread. The two threads take turns, one call at a time.
     */
    @Test
    void theTicketListIsOneForTheProcessWhicheverThreadFits() throws Exception {
        int a = HANDOFF;
        int b = HANDOFF + 100;
        for (int x : new int[] {a, a + 1, b, b + 1}) assertEquals(0, nativ_ManegingFlight.addAirport(x, "handoff"));
        assertEquals(0, nativ_ManegingFlight.addFlight("A", 1, 2, a, a + 1));
        assertEquals(0, nativ_ManegingFlight.addFlight("B", 1, 3, b, b + 1));
        aggregateFiting here = new aggregateFiting();
        ExecutorService other = Executors.newSingleThreadExecutor();
        try {
            // The other thread's fit replaces this thread's, for this thread too.
            assertEquals(0, here.getRouteFlight(5, a, a + 1));
            assertEquals(0, in(other, () -> new aggregateFiting().getRouteFlight(5, b, b + 1)));
            assertEquals(oneLeg(b, "B", 3, 0), Reports.route());
            assertEquals(0, here.armoringTickets());
            assertEquals(oneLeg(b, "B", 3, 1), Reports.route());
            assertEquals(oneLeg(a, "A", 2, 0).get(1), Reports.airport(a).get(0));

            // This thread's fit is what the other thread reports and books.
            assertEquals(0, here.getRouteFlight(5, a, a + 1));
            assertEquals(oneLeg(a, "A", 2, 0), in(other, Reports::route));
            assertEquals(0, in(other, () -> new aggregateFiting().armoringTickets()));
            assertEquals(oneLeg(a, "A", 2, 1), Reports.route());

            // A failed fit in the other thread empties the list for this one.
            assertEquals(aggregateFiting.NO_ROUTE, in(other, () -> new aggregateFiting().getRouteFlight(5, a, b)));
            assertEquals(List.of(), Reports.route());
            assertEquals(aggregateFiting.NO_TICKETS, here.armoringTickets());
            assertEquals(oneLeg(b, "B", 3, 1).get(1), Reports.airport(b).get(0));
        } finally {
            other.shutdownNow();
        }
    }

    /**
     * Eight threads selling the last seats of one tavrik.Network (flights of 1 to 3 seats): fit
     * and book for 1 to 3 passengers, with and without request keys, retries of keyed requests
     * (their own and keys that every thread sends with the same request), cancels and capacity
     * changes. At the end, on every flight: seats sold at most its capacity and exactly the
     * passengers of its live bookings; every key held by one booking; every booking cancelled at
     * most once.
     */
    @Test
    void eightThreadsSellTheLastSeatsOfOneNetwork() throws Exception {
        final int airports = 8;
        final int flights = 24;
        final int steps = Math.max(2_000, CALLS / 10);
        try (tavrik.Network n = new tavrik.Network()) {
            Random setup = new Random(17);
            tavrik.Network.Batch batch = new tavrik.Network.Batch();
            for (int a = 0; a < airports; a++) batch.airport(a, "a" + a);
            int[][] flight = new int[flights][];
            for (int i = 0; i < flights; i++) {
                int from = setup.nextInt(airports);
                int to = (from + 1 + setup.nextInt(airports - 1)) % airports;
                flight[i] = new int[] {100 + i, from, to};
                batch.flight(100 + i, "f" + i, 1 + setup.nextInt(3), from, to);
            }
            n.load(batch);
            for (int[] f : flight) n.setSeats(f[1], f[0], 1 + setup.nextInt(3));

            java.util.concurrent.ConcurrentHashMap<String, Long> sharedKeys = new java.util.concurrent.ConcurrentHashMap<>();
            java.util.Set<Long> cancelled = java.util.concurrent.ConcurrentHashMap.newKeySet();
            AtomicLong sold = new AtomicLong();
            AtomicLong refused = new AtomicLong();
            List<Callable<Void>> sellers = new ArrayList<>();
            for (int t = 0; t < THREADS; t++) {
                final int id = t;
                sellers.add(() -> {
                    Random rng = new Random(1000 + id);
                    List<Long> own = new ArrayList<>();
                    String lastKey = null;
                    int[] lastRequest = null;
                    long lastBooking = 0;
                    for (int i = 0; i < steps; i++) {
                        int r = rng.nextInt(100);
                        int from = rng.nextInt(airports);
                        int to = (from + 1 + rng.nextInt(airports - 1)) % airports;
                        int passengers = 1 + rng.nextInt(3);
                        try {
                            if (r < 45) {
                                String key = rng.nextInt(3) == 0 ? "t" + id + "-" + i : null;
                                tavrik.Booking b = key == null ? n.fitAndBook(Integer.MAX_VALUE, from, to, passengers)
                                        : n.fitAndBook(Integer.MAX_VALUE, from, to, passengers, key);
                                own.add(b.id());
                                sold.incrementAndGet();
                                if (key != null) {
                                    lastKey = key;
                                    lastRequest = new int[] {from, to, passengers};
                                    lastBooking = b.id();
                                }
                            } else if (r < 55 && lastKey != null) {
                                long again = n.fitAndBook(Integer.MAX_VALUE, lastRequest[0], lastRequest[1], lastRequest[2],
                                        lastKey).id();
                                assertEquals(lastBooking, again, lastKey);
                            } else if (r < 65) {
                                int k = rng.nextInt(50);
                                int kFrom = k % airports;
                                int kTo = (kFrom + 1 + k % (airports - 1)) % airports;
                                long got = n.fitAndBook(Integer.MAX_VALUE, kFrom, kTo, 1 + k % 3, "shared-" + k).id();
                                long first = sharedKeys.computeIfAbsent("shared-" + k, x -> got);
                                assertEquals(first, got, "shared-" + k);
                            } else if (r < 85 && !own.isEmpty()) {
                                long b = own.remove(rng.nextInt(own.size()));
                                if (n.cancel(b)) assertTrue(cancelled.add(b), "booking " + b + " cancelled twice");
                            } else {
                                int[] f = flight[rng.nextInt(flights)];
                                n.setSeats(f[1], f[0], rng.nextInt(4));
                            }
                        } catch (tavrik.NoRouteException | tavrik.SeatsBelowSoldException e) {
                            refused.incrementAndGet();
                        }
                    }
                    return null;
                });
            }
            ExecutorService pool = Executors.newFixedThreadPool(THREADS);
            try {
                for (java.util.concurrent.Future<Void> f : pool.invokeAll(sellers, TIMEOUT_MILLIS, TimeUnit.MILLISECONDS)) {
                    f.get();
                }
            } finally {
                pool.shutdownNow();
            }
            System.out.println(THREADS + " threads sold " + sold.get() + " bookings on one network, "
                    + refused.get() + " sales or capacity changes refused, " + cancelled.size() + " cancelled");

            Map<String, Long> keys = new HashMap<>();
            long full = 0;
            for (int[] f : flight) {
                tavrik.Seats seats = n.seats(f[1], f[0]);
                assertTrue(seats.sold() <= seats.capacity(), "flight " + f[0] + " oversold: " + seats);
                long held = 0;
                for (tavrik.Booking b : n.bookings(f[1], f[0])) {
                    assertFalse(b.cancelled());
                    held += b.passengers();
                }
                assertEquals(seats.sold(), held, "flight " + f[0] + ": sold versus its live bookings");
                if (seats.free() == 0) full++;
            }
            for (long id = 1; ; id++) {
                tavrik.Booking b;
                try {
                    b = n.booking(id);
                } catch (tavrik.UnknownBookingException e) {
                    break;
                }
                assertEquals(cancelled.contains(id), b.cancelled(), "booking " + id);
                if (b.requestKey().isPresent()) assertEquals(null, keys.put(b.requestKey().get(), id), "a key sold twice");
            }
            for (Map.Entry<String, Long> e : sharedKeys.entrySet()) assertEquals(e.getValue(), keys.get(e.getKey()));
            assertTrue(sold.get() > 0 && refused.get() > 0 && !cancelled.isEmpty());
            assertTrue(full > 0, "no flight was full at the end");
        }
    }
}
