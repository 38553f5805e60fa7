package tavrik.robustness;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;
import palvorin.nativ_ManegingFlight;

/**
 * Sweeps an out-of-memory through every native method: for N = 1, 2, ... the N-th native
 * allocation of the calling thread fails (once only, then the N-th and every later one), until
 * the call gets through without reaching N. Each failure must surface as OutOfMemoryError in the
 * calling thread, leave the network and the ticket list as they were (read back through the
 * reports), and the same call made again must give what it gives undisturbed. A failure the library
 * absorbs itself (a nothrow allocation with a fallback) must leave the call's result undisturbed.
 */
class AllocationFailureJvmTest {
    // Airports of this test; the names and flight names are long, so that copying them allocates.
    private static final int[] AIRPORTS = {501, 502, 503, 504, 505, 506};
    private static final String LONG = " with a name well past the small-string buffer";

    /** What the reports show: every flight table of the test's airports and the route report. */
    record State(Map<Integer, List<ReportedFlight>> tables, List<ReportedFlight> route) {}

    private static State observe() {
        Map<Integer, List<ReportedFlight>> tables = new LinkedHashMap<>();
        for (int a : AIRPORTS) {
            AirportFrame frame = new AirportFrame(a);
            frame.setData();
            tables.put(a, new ArrayList<>(frame.flights()));
        }
        aggregateFiting route = new aggregateFiting();
        route.setData();
        return new State(tables, new ArrayList<>(route.flights()));
    }

    /** The same small network each time: airports, flights with ties, a booked route. */
    private static void baseNetwork() {
        for (int a : AIRPORTS) nativ_ManegingFlight.removeAirport(a);
        nativ_ManegingFlight.removeAirport(507);
        for (int a : AIRPORTS) assertEquals(0, nativ_ManegingFlight.addAirport(a, "Airport " + a + LONG));
        int[][] flights = {
            {10, 1, 501, 502}, {11, 1, 502, 503}, {12, 2, 501, 503}, {13, 0, 503, 504},
            {14, 2, 504, 505}, {15, 5, 502, 505}, {16, 1, 505, 506}, {17, 1, 506, 501},
        };
        for (int[] f : flights)
            assertEquals(0, nativ_ManegingFlight.addFlight("Flight " + f[0] + LONG, f[0], f[1], f[2], f[3]));
        aggregateFiting booking = new aggregateFiting();
        assertEquals(0, booking.getRouteFlight(100, 501, 506));
        assertEquals(0, booking.armoringTickets());
    }

    @FunctionalInterface
    interface NativeCall {
        Object call();
    }

    private static final Map<String, Integer> points = new LinkedHashMap<>();

    /** Sweeps one call in one mode; returns the number of failure points. */
    private static int sweep(String label, boolean persistent, Runnable setup, NativeCall call, Runnable afterFailure) {
        setup.run();
        Object reference = call.call();
        State referenceState = observe();

        int count = 0;
        for (int n = 1; ; n++) {
            if (n > 10000) fail(label + ": no end to the allocations");
            setup.run();
            State before = observe();
            Object result = null;
            OutOfMemoryError error = null;
            FailingAllocation.arm(n, persistent);
            try {
                result = call.call();
            } catch (OutOfMemoryError e) {
                error = e;
            }
            int failures = FailingAllocation.disarm();
            if (failures == 0) {
                assertEquals(null, error, label + ": OutOfMemoryError without a failed allocation");
                assertEquals(reference, result, label + ": undisturbed result");
                assertEquals(referenceState, observe(), label + ": undisturbed state");
                break;
            }
            count++;
            String at = label + (persistent ? " (N-th and later fail)" : " (only the N-th fails)") + ", N=" + n;
            if (error == null) {
                // The library got by without the memory (a nothrow allocation with a fallback,
                // as std::stable_sort has): then the call did all an undisturbed call does.
                assertEquals(reference, result, at + ": a call that absorbed the failure");
                assertEquals(referenceState, observe(), at + ": the state after a call that absorbed the failure");
                continue;
            }
            afterFailure.run();
            assertEquals(before, observe(), at + ": the failed call changed the network or the ticket list");
            assertEquals(reference, call.call(), at + ": the call made again");
            assertEquals(referenceState, observe(), at + ": the state after the call made again");
        }
        System.out.printf("[alloc-failure-jvm] %-44s %s: %d failure points%n", label,
                persistent ? "N-th and later" : "N-th only     ", count);
        points.merge(label, count, Integer::sum);
        return count;
    }

    private static int sweepBoth(String label, Runnable setup, NativeCall call, Runnable afterFailure) {
        return sweep(label, false, setup, call, afterFailure) + sweep(label, true, setup, call, afterFailure);
    }

    private static int sweepBoth(String label, Runnable setup, NativeCall call) {
        return sweepBoth(label, setup, call, () -> {});
    }

    @AfterAll
    static void printTotal() {
        int total = points.values().stream().mapToInt(Integer::intValue).sum();
        System.out.printf("[alloc-failure-jvm] %d failure points swept over %d calls in both modes%n", total,
                points.size());
    }

    @BeforeEach
    void loadTheLibraries() {
        nativ_ManegingFlight.load();
        // Loading the control class registers arm/disarm; an unarmed disarm reports nothing.
        assertEquals(0, FailingAllocation.disarm());
    }

    @Test
    void armedAllocatorFailsInsideTheLibrary() {
        baseNetwork();
        FailingAllocation.arm(1, true);
        OutOfMemoryError error = null;
        try {
            nativ_ManegingFlight.addAirport(507, "Airport 507" + LONG);
        } catch (OutOfMemoryError e) {
            error = e;
        }
        int failures = FailingAllocation.disarm();
        assertTrue(failures > 0, "no native allocation failed: the preloaded allocator is not in force");
        assertTrue(error != null, "the failure did not surface as OutOfMemoryError");
        // Not added: adding it now succeeds.
        assertEquals(0, nativ_ManegingFlight.addAirport(507, "Airport 507" + LONG));
    }

    @Test
    void editingMethods() {
        assertTrue(sweepBoth("addAirport", AllocationFailureJvmTest::baseNetwork,
                () -> nativ_ManegingFlight.addAirport(507, "Airport 507" + LONG)) > 0);
        assertTrue(sweepBoth("addAirport, number taken", AllocationFailureJvmTest::baseNetwork,
                () -> nativ_ManegingFlight.addAirport(503, "Airport 503" + LONG)) > 0);
        assertTrue(sweepBoth("addFlight", AllocationFailureJvmTest::baseNetwork,
                () -> nativ_ManegingFlight.addFlight("Flight 20" + LONG, 20, 1, 501, 504)) > 0);
        assertTrue(sweepBoth("addFlight, number taken at the arrival", AllocationFailureJvmTest::baseNetwork,
                () -> nativ_ManegingFlight.addFlight("Flight 14" + LONG, 14, 1, 501, 505)) > 0);
        // Removing a flight erases two entries and allocates nothing, so it cannot fail half-way.
        assertEquals(0, sweepBoth("removeFlight", AllocationFailureJvmTest::baseNetwork,
                () -> nativ_ManegingFlight.removeFlight(505, 14)));
        assertTrue(sweepBoth("removeAirport", AllocationFailureJvmTest::baseNetwork,
                () -> nativ_ManegingFlight.removeAirport(503)) > 0);
    }

    @Test
    void routeFittingAndBooking() {
        assertTrue(sweepBoth("getRouteFlight after a network change", () -> {
            baseNetwork();
            assertEquals(0, nativ_ManegingFlight.addFlight("Flight 30" + LONG, 30, 0, 501, 504));
        }, () -> new aggregateFiting().getRouteFlight(100, 501, 506)) > 0);
        assertTrue(sweepBoth("getRouteFlight, resumed search", () -> {
            baseNetwork();
            assertEquals(0, new aggregateFiting().getRouteFlight(100, 501, 502));
        }, () -> new aggregateFiting().getRouteFlight(100, 501, 505)) > 0);
        // A refused query on a cached network may need no memory at all; swept all the same.
        sweepBoth("getRouteFlight, over the day limit", AllocationFailureJvmTest::baseNetwork,
                () -> new aggregateFiting().getRouteFlight(1, 502, 506));
        // Booking only counts up existing entries: no allocation, no failure point.
        assertEquals(0, sweepBoth("armoringTickets", AllocationFailureJvmTest::baseNetwork,
                () -> new aggregateFiting().armoringTickets()));
    }

    @Test
    void reports() {
        List<AirportFrame> frames = new ArrayList<>();
        assertTrue(sweepBoth("AirportFrame.setData", AllocationFailureJvmTest::baseNetwork, () -> {
            AirportFrame frame = new AirportFrame(503);
            frames.add(frame);
            frame.setData();
            return frame.flights();
        }, () -> assertTrue(frames.get(frames.size() - 1).flights().isEmpty(),
                "a failed report delivered flights")) > 0);
        List<aggregateFiting> receivers = new ArrayList<>();
        assertTrue(sweepBoth("aggregateFiting.setData", AllocationFailureJvmTest::baseNetwork, () -> {
            aggregateFiting receiver = new aggregateFiting();
            receivers.add(receiver);
            receiver.setData();
            return receiver.flights();
        }, () -> assertTrue(receivers.get(receivers.size() - 1).flights().isEmpty(),
                "a failed report delivered flights")) > 0);
    }
}
