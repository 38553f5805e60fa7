package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.ref.WeakReference;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;
import java.util.function.Consumer;
import org.junit.jupiter.api.Test;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;
import palvorin.nativ_ManegingFlight;
import tavrik.Airport;
import tavrik.AirportTakenException;
import tavrik.FitAnswer;
import tavrik.Flight;
import tavrik.FlightTakenException;
import tavrik.Network;
import tavrik.NetworkException;
import tavrik.RouteException;
import tavrik.Routes;
import tavrik.SameAirportsException;
import tavrik.UnknownAirportException;

/**
 * tavrik.Network: typed edits and their exceptions, reads, one-call loads (all or nothing),
 * copies, fit answers, and the life of a network (close, use after close, a close racing with
 * calls, the cleaner).
 */
class NetworkTest extends JniCheckedTest {
    /** Airports 1..4 in a line, flights 10 (1->2, 2 days), 11 (2->3, 4 days); 4 stands alone. */
    private static Network line() {
        Network n = new Network();
        n.load(new Network.Batch().airport(1, "one").airport(2, "two").airport(3, "three").airport(4, "four")
                .flight(10, "ten", 2, 1, 2).flight(11, "eleven", 4, 2, 3));
        return n;
    }

    @Test
    void refusedEditsNameTheRuleTheNumbersAndTheCallAndChangeNothing() {
        try (Network n = line()) {
            AirportTakenException taken = assertThrows(AirportTakenException.class, () -> n.addAirport(2, "again"));
            assertEquals(2, taken.airport());
            assertEquals("addAirport", taken.method());
            assertEquals(-1, taken.index());
            assertEquals("two", n.airports().get(2));

            UnknownAirportException unknown =
                    assertThrows(UnknownAirportException.class, () -> n.addFlight(12, "x", 1, 1, 99));
            assertEquals(99, unknown.airport());
            assertEquals("addFlight: unknown airport 99", unknown.getMessage());
            assertEquals(7, assertThrows(UnknownAirportException.class, () -> n.addFlight(12, "x", 1, 7, 99))
                    .airport());

            SameAirportsException same = assertThrows(SameAirportsException.class, () -> n.addFlight(12, "x", 1, 3, 3));
            assertEquals(12, same.flight());
            assertEquals(3, same.airport());

            FlightTakenException atDeparture =
                    assertThrows(FlightTakenException.class, () -> n.addFlight(10, "x", 1, 1, 3));
            assertEquals(10, atDeparture.flight());
            assertEquals(1, atDeparture.airport());
            assertEquals(3, assertThrows(FlightTakenException.class, () -> n.addFlight(11, "x", 1, 4, 3)).airport());

            assertEquals(List.of(new Flight(10, "ten", 2, 1, 2, 0)), n.airport(1).departing());
            assertTrue(n.airport(4).departing().isEmpty() && n.airport(4).arriving().isEmpty());
            assertThrows(NullPointerException.class, () -> n.addAirport(5, null));
            assertFalse(n.airports().containsKey(5));
        }
    }

    @Test
    void removingTellsWhetherThereWasSomethingToRemove() {
        try (Network n = line()) {
            assertTrue(n.removeFlight(2, 10));  // through its arrival airport
            assertFalse(n.removeFlight(1, 10));
            assertFalse(n.removeFlight(99, 10));
            assertTrue(n.flight(1, 10).isEmpty());
            assertTrue(n.removeAirport(2));
            assertFalse(n.removeAirport(2));
            assertEquals(Map.of(1, "one", 3, "three", 4, "four"), n.airports());
            assertTrue(n.airport(3).arriving().isEmpty());
        }
    }

    @Test
    void readsGiveSnapshotsAndAnUnknownAirportThrows() {
        try (Network n = line()) {
            Airport two = n.airport(2);
            assertEquals("two", two.name());
            assertEquals(List.of(new Flight(11, "eleven", 4, 2, 3, 0)), two.departing());
            assertEquals(List.of(new Flight(10, "ten", 2, 1, 2, 0)), two.arriving());
            assertEquals(new Flight(11, "eleven", 4, 2, 3, 0), n.flight(3, 11).orElseThrow());
            assertTrue(n.flight(3, 10).isEmpty());
            assertEquals(42, assertThrows(UnknownAirportException.class, () -> n.airport(42)).airport());
            assertEquals("flight", assertThrows(UnknownAirportException.class, () -> n.flight(42, 1)).method());
        }
    }

    @Test
    void fitSaysWhyThereIsNoRouteWithinTheLimit() {
        try (Network n = line()) {
            FitAnswer route = n.fit(6, 1, 3);
            assertEquals(FitAnswer.Kind.ROUTE, route.kind());
            assertEquals(List.of(10, 11), route.route().orElseThrow().legs().stream().map(l -> l.flight()).toList());
            assertEquals(6, route.fewestDays().getAsLong());

            FitAnswer over = n.fit(5, 1, 3);
            assertEquals(FitAnswer.Kind.OVER_LIMIT, over.kind());
            assertEquals(6, over.fewestDays().getAsLong());
            assertTrue(over.route().isEmpty());

            assertEquals(FitAnswer.Kind.NO_ROUTE, n.fit(100, 3, 1).kind());
            // A limit below -1 with no route at all: no route, not "over the limit".
            assertEquals(FitAnswer.Kind.NO_ROUTE, n.fit(-5, 1, 4).kind());
            assertEquals(FitAnswer.Kind.OVER_LIMIT, n.fit(-5, 1, 2).kind());

            n.addFlight(12, "huge", Integer.MAX_VALUE, 3, 4);
            FitAnswer beyond = n.fit(Integer.MAX_VALUE, 1, 4);
            assertEquals(FitAnswer.Kind.OVER_LIMIT, beyond.kind());
            assertTrue(beyond.fewestDays().isEmpty());

            UnknownAirportException e = assertThrows(UnknownAirportException.class, () -> n.fit(5, 1, 77));
            assertEquals(77, e.airport());
            assertEquals("fit", e.method());
        }
    }

    @Test
    void networksAndTheirCopiesNeverSeeEachOthersChanges() {
        try (Network a = line(); Network b = new Network(); Network copy = a.copy()) {
            b.addAirport(1, "elsewhere");
            assertEquals("one", a.airports().get(1));
            copy.removeAirport(2);
            copy.addAirport(9, "nine");
            a.addFlight(12, "twelve", 1, 3, 4);
            assertEquals(Map.of(1, "one", 3, "three", 4, "four", 9, "nine"), copy.airports());
            assertTrue(copy.airport(3).departing().isEmpty());
            assertEquals(4, a.airports().size());
            assertEquals(FitAnswer.Kind.ROUTE, a.fit(10, 1, 3).kind());
            assertEquals(Map.of(1, "elsewhere"), b.airports());
        }
    }

    @Test
    void theSharedNetworkIsTheHostClassesNetworkAndCannotBeClosed() {
        Network shared = Network.shared();
        assertTrue(shared == Network.shared());
        int airport = 777_001;
        shared.addAirport(airport, "typed");
        assertEquals(nativ_ManegingFlight.REFUSED, nativ_ManegingFlight.addAirport(airport, "host"));
        assertEquals(nativ_ManegingFlight.OK, nativ_ManegingFlight.addAirport(airport + 1, "host"));
        assertEquals(nativ_ManegingFlight.OK, nativ_ManegingFlight.addFlight("f", 5, 3, airport, airport + 1));
        assertEquals(5, assertThrows(FlightTakenException.class, () -> shared.addFlight(5, "g", 1, airport + 1, airport))
                .flight());
        assertEquals(3, shared.fit(10, airport, airport + 1).fewestDays().getAsLong());
        assertEquals(aggregateFiting.OK, new aggregateFiting().getRouteFlight(10, airport, airport + 1));
        AirportFrame frame = new AirportFrame(airport);
        frame.setData();
        assertEquals(1, frame.flights().size());
        // Routes works on the same network; its exceptions name the call the caller made.
        RouteException e = assertThrows(RouteException.class, () -> Routes.fitAndBook(9, airport + 7, airport));
        assertEquals("fitAndBook", e.method());
        assertEquals(airport + 7, e.airport());
        assertEquals("fitAndBook: getRouteFlight returned -5: unknown departure " + (airport + 7), e.getMessage());
        assertEquals(airport + 8, assertThrows(RouteException.class, () -> Routes.fit(9, airport, airport + 8)).airport());
        assertEquals(1, Routes.fitAndBook(9, airport, airport + 1).orElseThrow().legs().get(0).booked());
        // The host classes' read of an unknown airport reports nothing, as it always did.
        AirportFrame unknown = new AirportFrame(airport + 9);
        unknown.setData();
        assertTrue(unknown.flights().isEmpty());
        assertThrows(UnsupportedOperationException.class, shared::close);
        assertFalse(shared.isClosed());
        assertTrue(shared.removeAirport(airport) && shared.removeAirport(airport + 1));
    }

    @Test
    void aLoadRefusedAtAnyPositionLeavesNothingAndNamesTheItem() {
        // Five airports and four flights around a network that has airport 100 and flight 1.
        int[] airports = {1, 2, 3, 4, 5};
        int[] flights = {1, 2, 3, 4};
        int[] from = {1, 2, 3, 4};
        int[] to = {2, 3, 4, 100};
        for (int bad = 0; bad < airports.length + flights.length; bad++) {
            try (Network n = new Network()) {
                n.addAirport(100, "there");
                n.addAirport(101, "also there");
                n.addFlight(1, "first", 1, 100, 101);
                int[] a = airports.clone();
                int[] f = flights.clone();
                int[] t = to.clone();
                Class<? extends NetworkException> expected;
                if (bad < airports.length) {
                    // Taken by the network, or by the batch's item before it.
                    a[bad] = bad % 2 == 0 ? 100 : a[bad - 1];
                    expected = AirportTakenException.class;
                } else {
                    int k = bad - airports.length;
                    if (k == 0) {
                        t[k] = 555;
                        expected = UnknownAirportException.class;
                    } else if (k == 1) {
                        t[k] = from[k];
                        expected = SameAirportsException.class;
                    } else {
                        // Taken at airport 3 by the batch's flight 2, or at 100 by the network's 1.
                        f[k] = k == 2 ? 2 : 1;
                        expected = FlightTakenException.class;
                    }
                }
                Map<Integer, String> before = n.airports();
                Airport hub = n.airport(100);
                NetworkException e = assertThrows(NetworkException.class, () -> n.load(a,
                        new String[] {"a", "b", "c", "d", "e"}, f, new String[] {"f", "g", "h", "i"},
                        new int[] {1, 1, 1, 1}, from, t));
                assertEquals(expected, e.getClass(), e.getMessage());
                assertEquals(bad < airports.length ? bad : bad - airports.length, e.index(), e.getMessage());
                assertEquals(bad >= airports.length, e.flightItem());
                assertEquals("load", e.method());
                assertTrue(e.getMessage().endsWith("nothing was loaded"), e.getMessage());
                assertEquals(before, n.airports());
                assertEquals(hub, n.airport(100));
                assertEquals(FitAnswer.Kind.ROUTE, n.fit(5, 100, 101).kind());
            }
        }
    }

    @Test
    void badLoadArgumentsChangeNothing() {
        try (Network n = line()) {
            int[] one = {50};
            String[] name = {"x"};
            int[] none = {};
            String[] noNames = {};
            List<Runnable> bad = new ArrayList<>();
            bad.add(() -> n.load(null, name, none, noNames, none, none, none));
            bad.add(() -> n.load(one, null, none, noNames, none, none, none));
            bad.add(() -> n.load(one, new String[] {null}, none, noNames, none, none, none));
            bad.add(() -> n.load(one, name, none, noNames, none, none, null));
            bad.add(() -> n.load(one, name, one, new String[] {null}, one, one, one));
            bad.add(() -> n.load((Network.Batch) null));
            List<Runnable> illegal = new ArrayList<>();
            illegal.add(() -> n.load(one, noNames, none, noNames, none, none, none));
            illegal.add(() -> n.load(one, name, one, name, one, one, none));
            illegal.add(() -> n.load(one, name, one, name, new int[2], one, one));
            illegal.add(() -> new Network.Batch(-1, 0));
            illegal.add(() -> new Network.Batch(0, -1));
            Map<Integer, String> before = n.airports();
            for (Runnable r : bad) assertThrows(NullPointerException.class, r::run);
            for (Runnable r : illegal) assertThrows(IllegalArgumentException.class, r::run);
            assertEquals(before, n.airports());
            assertThrows(NullPointerException.class, () -> new Network.Batch().airport(1, null));
        }
    }

    @Test
    void everyCallAfterCloseThrowsIllegalStateException() {
        Network n = line();
        Network copy = n.copy();
        n.close();
        n.close();  // a second close does nothing
        assertTrue(n.isClosed());
        List<Consumer<Network>> calls = List.of(
                x -> x.addAirport(9, "x"), x -> x.addFlight(1, "x", 1, 1, 2), x -> x.removeFlight(1, 10),
                x -> x.removeAirport(1), x -> x.airports(), x -> x.airport(1), x -> x.flight(1, 10),
                x -> x.fit(10, 1, 3), x -> x.copy(), x -> x.load(new Network.Batch().airport(9, "x")));
        for (Consumer<Network> call : calls) {
            IllegalStateException e = assertThrows(IllegalStateException.class, () -> call.accept(n));
            assertEquals("the network is closed", e.getMessage());
        }
        // The copy lives on.
        assertEquals(6, copy.fit(10, 1, 3).fewestDays().getAsLong());
        copy.close();
    }

    @Test
    void aCloseRacingWithCallsOnOtherThreadsIsSafe() throws Exception {
        for (int round = 0; round < 20; round++) {
            Network n = line();
            int threads = 3;
            CountDownLatch started = new CountDownLatch(threads);
            AtomicInteger completed = new AtomicInteger();
            AtomicReference<Throwable> unexpected = new AtomicReference<>();
            List<Thread> workers = new ArrayList<>();
            for (int t = 0; t < threads; t++) {
                final int id = t;
                Thread worker = new Thread(() -> {
                    started.countDown();
                    try {
                        for (int i = 0; ; i++) {
                            if (id == 0) {
                                n.fit(10, 1, 3);
                            } else if (id == 1) {
                                n.addAirport(1000 + i, "racing");
                            } else {
                                n.airport(2);
                            }
                            completed.incrementAndGet();
                        }
                    } catch (IllegalStateException closed) {
                        // the end of the race
                    } catch (Throwable other) {
                        unexpected.set(other);
                    }
                });
                workers.add(worker);
                worker.start();
            }
            started.await();
            Thread.sleep(round % 4);
            n.close();
            for (Thread w : workers) w.join(60_000);
            if (unexpected.get() != null) throw new AssertionError(unexpected.get());
        }
    }

    @Test
    void aNetworkThatIsNeverClosedIsFreedWhenUnreachable() throws Exception {
        // Freed networks leave no trace the test can read except through the cleaner having
        // run; under ASan a double free or use after free would fail the run.
        List<WeakReference<Network>> dropped = new ArrayList<>();
        for (int i = 0; i < 200; i++) {
            Network n = line();
            n.addFlight(12, "twelve", 1, 3, 4);
            dropped.add(new WeakReference<>(n));
        }
        for (int tries = 0; tries < 100 && dropped.stream().anyMatch(r -> r.get() != null); tries++) {
            System.gc();
            Thread.sleep(20);
        }
        assertTrue(dropped.stream().allMatch(r -> r.get() == null), "networks still reachable");
        // Networks made after the cleaner freed others work as before.
        try (Network n = line()) {
            assertEquals(6, n.fit(10, 1, 3).fewestDays().getAsLong());
        }
    }
}
