package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;
import palvorin.nativ_ManegingFlight;

/** The library as a new JVM finds it: an empty network and an empty ticket list. */
class FreshLoadTest extends JniCheckedTest {
    private static final int[] SOME_AIRPORTS = {0, 1, -1, 2, 42, 1_000_000, Integer.MIN_VALUE, Integer.MAX_VALUE};

    /** Counts callbacks instead of keeping them, so that any call at all shows. */
    private static final class CountingFiting extends aggregateFiting {
        int calls;

        @Override
        public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
            calls++;
        }
    }

    private static final class CountingFrame extends AirportFrame {
        int calls;

        CountingFrame(int airport) {
            super(airport);
        }

        @Override
        public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
            calls++;
        }
    }

    @Test
    void routeReportMakesNoCallback() {
        CountingFiting fiting = new CountingFiting();
        fiting.setData();
        fiting.setData();
        assertEquals(0, fiting.calls);
    }

    @Test
    void airportReportMakesNoCallbackForAnyNumber() {
        for (int airport : SOME_AIRPORTS) {
            CountingFrame frame = new CountingFrame(airport);
            frame.setData();
            assertEquals(0, frame.calls, "airport " + airport);
        }
    }

    @Test
    void bookingWithoutFittedRouteFindsNoTickets() {
        aggregateFiting fiting = new aggregateFiting();
        assertEquals(aggregateFiting.NO_TICKETS, fiting.armoringTickets());
        assertEquals(aggregateFiting.NO_TICKETS, fiting.armoringTickets());
    }

    @Test
    void removingAnAbsentAirportSucceeds() {
        for (int airport : SOME_AIRPORTS) {
            assertEquals(nativ_ManegingFlight.OK, nativ_ManegingFlight.removeAirport(airport), "airport " + airport);
        }
        for (int airport : SOME_AIRPORTS) assertTrue(Reports.airport(airport).isEmpty());
    }

    @Test
    void removingAnAbsentFlightIsRefused() {
        for (int airport : SOME_AIRPORTS) {
            assertEquals(nativ_ManegingFlight.REFUSED, nativ_ManegingFlight.removeFlight(airport, 1), "airport " + airport);
            assertEquals(nativ_ManegingFlight.REFUSED, nativ_ManegingFlight.removeFlight(airport, 0), "airport " + airport);
        }
    }
}
