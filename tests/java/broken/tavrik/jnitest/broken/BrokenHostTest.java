package tavrik.jnitest.broken;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.management.ManagementFactory;
import java.util.Arrays;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;
import palvorin.nativ_ManegingFlight;

/**
 * Host classes that lack what the library looks up: this JVM loads the stand-ins of
 * palvorin.aggregateFiting (callback with the wrong signature) and palvorin.airport.AirportFrame
 * (no NumberAirport field) instead of the tavrik jar's. The reports must throw the JVM's lookup
 * error, call nothing back, and leave the library working.
 */
class BrokenHostTest {
    @BeforeAll
    static void network() {
        // Airport 0 is what an unread NumberAirport would default to: give it flights, so that a
        // report that went on without the field would show.
        assertEquals(0, nativ_ManegingFlight.addAirport(0, "zero"));
        assertEquals(0, nativ_ManegingFlight.addAirport(1, "one"));
        assertEquals(0, nativ_ManegingFlight.addAirport(2, "two"));
        assertEquals(0, nativ_ManegingFlight.addFlight("0-1", 1, 1, 0, 1));
        assertEquals(0, nativ_ManegingFlight.addFlight("1-2", 2, 1, 1, 2));
    }

    @Test
    void jvmRunsUnderJniCheck() {
        assertTrue(ManagementFactory.getRuntimeMXBean().getInputArguments().contains("-Xcheck:jni"));
    }

    @Test
    void theStandInsAreTheClassesLoaded() {
        assertFalse(Arrays.stream(AirportFrame.class.getDeclaredFields()).anyMatch(f -> f.getName().equals("NumberAirport")),
                "the tavrik jar's AirportFrame was loaded: the class path order is wrong");
        assertFalse(Arrays.stream(aggregateFiting.class.getDeclaredMethods())
                        .anyMatch(m -> m.getName().equals("addFlitgh") && m.getParameterCount() == 7),
                "the tavrik jar's aggregateFiting was loaded: the class path order is wrong");
    }

    @Test
    void airportReportWithoutTheFieldThrowsNoSuchFieldError() {
        AirportFrame frame = new AirportFrame();
        frame.numberAirport = 1;
        assertThrows(NoSuchFieldError.class, frame::setData);
        assertThrows(NoSuchFieldError.class, frame::setData);
        assertTrue(frame.calls.isEmpty(), "callbacks: " + frame.calls);
        // The library still edits normally afterwards.
        assertEquals(0, nativ_ManegingFlight.addAirport(10, "after"));
        assertEquals(0, nativ_ManegingFlight.removeAirport(10));
    }

    @Test
    void routeReportWithoutTheCallbackThrowsNoSuchMethodError() {
        aggregateFiting fiting = new aggregateFiting();
        assertEquals(0, fiting.getRouteFlight(2, 0, 2));
        assertThrows(NoSuchMethodError.class, fiting::setData);
        assertTrue(fiting.calls.isEmpty(), "callbacks: " + fiting.calls);
        // Fitting and booking do not need the callback.
        assertEquals(0, fiting.armoringTickets());
        assertThrows(NoSuchMethodError.class, fiting::setData);
        assertTrue(fiting.calls.isEmpty(), "callbacks: " + fiting.calls);
    }
}
