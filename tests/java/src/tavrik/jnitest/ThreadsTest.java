package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.TreeMap;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.atomic.AtomicLong;
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
 * <p>{@code -Dtavrik.threads.calls=N} sets the number of library calls per thread (default
 * 100,000; the sanitizer build uses fewer).
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

        int addAirport(int a) {
            if (tables.containsKey(a)) return -2;
            tables.put(a, new TreeMap<>());
            return 0;
        }

        int removeAirport(int a) {
            TreeMap<Integer, ReportedFlight> table = tables.remove(a);
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
            return 0;
        }

        int removeFlight(int a, int flight) {
            TreeMap<Integer, ReportedFlight> table = tables.get(a);
            if (table == null) return -2;
            ReportedFlight f = table.remove(flight);
            if (f == null) return -2;
            tables.get(f.from() == a ? f.to() : f.from()).remove(flight);
            return 0;
        }

        List<ReportedFlight> report(int a) {
            TreeMap<Integer, ReportedFlight> table = tables.get(a);
            return table == null ? List.of() : List.copyOf(table.values());
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

    @Test
    void eightThreadsEditFitBookAndReportAtOnce() throws InterruptedException {
        buildSharedChains();
        List<Worker> workers = new ArrayList<>();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            Worker w = new Worker(t);
            Thread thread = new Thread(w, "tavrik-worker-" + t);
            thread.setDaemon(true); // a deadlocked run must not keep the JVM alive
            workers.add(w);
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
        long seconds = (System.nanoTime() - start) / 1_000_000_000L;
        long totalCalls = workers.stream().mapToLong(w -> w.calls).sum();
        long callbacks = workers.stream().mapToLong(w -> w.reentrantCallbacks).sum();
        long flightEntries = workers.stream().flatMap(w -> w.model.tables.values().stream()).mapToLong(Map::size).sum();
        System.out.println(THREADS + " threads made " + totalCalls + " library calls in about " + seconds + " s; "
                + successfulBookings.get() + " bookings succeeded; " + callbacks + " callbacks called back in; "
                + flightEntries + " private flight entries at the end");

        if (!failures.isEmpty()) {
            AssertionError error = new AssertionError(failures.size() + " thread(s) failed", failures.peek());
            failures.stream().skip(1).forEach(error::addSuppressed);
            throw error;
        }
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
}
