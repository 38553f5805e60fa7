package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static palvorin.nativ_ManegingFlight.OK;
import static palvorin.nativ_ManegingFlight.addAirport;
import static palvorin.nativ_ManegingFlight.addFlight;
import static palvorin.nativ_ManegingFlight.removeFlight;
import static tavrik.jnitest.Reports.airport;
import static tavrik.jnitest.Reports.entry;
import static tavrik.jnitest.Reports.route;

import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;

/**
 * How the reports call back into Java: exceptions thrown by addFlitgh, callbacks that call the
 * library again, and reports long enough that leaked local references would show under
 * -Xcheck:jni (the runner fails the run on the JVM's warning).
 */
class CallbackTest extends JniCheckedTest {
    /** Thrown by the second callback. */
    private static final class CallbackFailure extends RuntimeException {
        CallbackFailure(String message) {
            super(message);
        }
    }

    private static final class ThrowingFrame extends AirportFrame {
        int calls;

        ThrowingFrame(int airport) {
            super(airport);
        }

        @Override
        public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
            if (++calls == 2) throw new CallbackFailure("frame callback " + calls);
            super.addFlitgh(airport, flight, name, days, from, to, booked);
        }
    }

    private static final class ThrowingFiting extends aggregateFiting {
        int calls;

        @Override
        public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
            if (++calls == 2) throw new CallbackFailure("route callback " + calls);
            super.addFlitgh(airport, flight, name, days, from, to, booked);
        }
    }

    /** Airports base+1 .. base+count, flights base+1 -> base+2 -> ... numbered 1, 2, ... */
    private static void chain(int base, int count) {
        for (int i = 1; i <= count; i++) assertEquals(OK, addAirport(base + i, "chain " + i));
        for (int i = 1; i < count; i++) assertEquals(OK, addFlight("leg " + i, i, 1, base + i, base + i + 1));
    }

    @Test
    void exceptionFromAnAirportCallbackReachesTheCallerAndEndsTheReport() {
        int hub = 1_000;
        assertEquals(OK, addAirport(hub, "hub"));
        for (int i = 1; i <= 5; i++) {
            assertEquals(OK, addAirport(hub + i, "spoke"));
            assertEquals(OK, addFlight("f" + i, i, i, hub, hub + i));
        }
        ThrowingFrame frame = new ThrowingFrame(hub);
        CallbackFailure thrown = assertThrows(CallbackFailure.class, frame::setData);
        assertEquals("frame callback 2", thrown.getMessage());
        assertEquals(2, frame.calls, "callbacks after the exception");
        assertEquals(List.of(entry(hub, 1, "f1", 1, hub, hub + 1, 0)), frame.flights());
        // The library carries on normally afterwards.
        assertEquals(5, airport(hub).size());
    }

    @Test
    void exceptionFromARouteCallbackReachesTheCallerAndEndsTheReport() {
        int base = 2_000;
        chain(base, 3);
        ThrowingFiting fiting = new ThrowingFiting();
        assertEquals(OK, fiting.getRouteFlight(10, base + 1, base + 3));
        CallbackFailure thrown = assertThrows(CallbackFailure.class, fiting::setData);
        assertEquals("route callback 2", thrown.getMessage());
        assertEquals(2, fiting.calls, "callbacks after the exception");
        assertEquals(List.of(entry(base + 3, 2, "leg 2", 1, base + 2, base + 3, 0)), fiting.flights());
        assertEquals(OK, fiting.armoringTickets());
        assertEquals(4, route().size());
    }

    @Test
    void errorsFromACallbackArePassedOnUnchanged() {
        int base = 2_500;
        chain(base, 2);
        StackOverflowError error = new StackOverflowError("not really");
        AirportFrame frame = new AirportFrame(base + 1) {
            @Override
            public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
                throw error;
            }
        };
        assertSame(error, assertThrows(StackOverflowError.class, frame::setData));
    }

    @Test
    void callbacksMayEditTheNetworkWhileTheReportGoesOn() {
        int hub = 3_000;
        assertEquals(OK, addAirport(hub, "hub"));
        for (int i = 1; i <= 20; i++) {
            assertEquals(OK, addAirport(hub + i, "spoke"));
            assertEquals(OK, addFlight("f" + i, i, 1, hub, hub + i));
        }
        List<Integer> removals = new ArrayList<>();
        AirportFrame frame = new AirportFrame(hub) {
            @Override
            public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
                super.addFlitgh(airport, flight, name, days, from, to, booked);
                // Remove this flight and the next one; the report has its own copy.
                removals.add(removeFlight(hub, flight));
                removals.add(removeFlight(hub, flight + 1));
                // A nested report of another airport runs to its end inside this callback.
                assertEquals(0, airport(hub + flight + 1).size());
                assertEquals(flight + 2 <= 20 ? 1 : 0, airport(hub + flight + 2).size());
            }
        };
        frame.setData();
        assertEquals(20, frame.flights().size());
        for (int i = 0; i < 20; i++) assertEquals(i + 1, frame.flights().get(i).flight());
        assertTrue(airport(hub).isEmpty());
        // Flight 1: removed, then 2 removed; flight 2: already gone, 3 removed; ...
        List<Integer> expected = new ArrayList<>();
        expected.add(OK);
        expected.add(OK);
        for (int i = 2; i <= 20; i++) {
            expected.add(-2);
            expected.add(i == 20 ? -2 : OK);
        }
        assertEquals(expected, removals);
    }

    @Test
    void routeCallbacksMayFitAnotherRoute() {
        int base = 4_000;
        chain(base, 4);
        List<ReportedFlight> seen = new ArrayList<>();
        aggregateFiting fiting = new aggregateFiting() {
            @Override
            public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
                seen.add(new ReportedFlight(airport, flight, name, days, from, to, booked));
                // Replaces the current list with a one-leg route while the report goes on.
                assertEquals(OK, new aggregateFiting().getRouteFlight(1, base + 1, base + 2));
            }
        };
        assertEquals(OK, fiting.getRouteFlight(3, base + 1, base + 4));
        fiting.setData();
        assertEquals(6, seen.size(), "the report delivers the route it copied");
        assertEquals(base + 4, seen.get(0).airport());
        assertEquals(base + 1, seen.get(5).airport());
        assertEquals(2, route().size(), "the list fitted by the callbacks");
    }

    @Test
    void tenThousandFlightsOfOneAirport() {
        int hub = 100_000;
        int spokes = 100;
        int flights = 10_000;
        assertEquals(OK, addAirport(hub, "hub"));
        for (int s = 1; s <= spokes; s++) assertEquals(OK, addAirport(hub + s, "spoke " + s));
        for (int f = 1; f <= flights; f++) {
            int spoke = hub + 1 + f % spokes;
            boolean out = f % 2 == 0;
            assertEquals(OK, addFlight("flight " + f, f, f % 7, out ? hub : spoke, out ? spoke : hub));
        }
        List<ReportedFlight> report = airport(hub);
        assertEquals(flights, report.size());
        for (int f = 1; f <= flights; f++) {
            int spoke = hub + 1 + f % spokes;
            boolean out = f % 2 == 0;
            assertEquals(entry(hub, f, "flight " + f, f % 7, out ? hub : spoke, out ? spoke : hub, 0), report.get(f - 1));
        }
        assertEquals(flights / spokes, airport(hub + 1).size());
    }

    @Test
    void routeOfThousandsOfLegs() {
        int base = 200_000;
        int airports = 4_000;
        chain(base, airports);
        aggregateFiting fiting = new aggregateFiting();
        assertEquals(OK, fiting.getRouteFlight(airports - 1, base + 1, base + airports));
        assertEquals(OK, fiting.armoringTickets());
        fiting.setData();
        List<ReportedFlight> report = fiting.flights();
        assertEquals(2 * (airports - 1), report.size());
        for (int leg = airports - 1, i = 0; leg >= 1; leg--) {
            int from = base + leg;
            int to = from + 1;
            assertEquals(entry(to, leg, "leg " + leg, 1, from, to, 1), report.get(i++));
            assertEquals(entry(from, leg, "leg " + leg, 1, from, to, 1), report.get(i++));
        }
    }
}
