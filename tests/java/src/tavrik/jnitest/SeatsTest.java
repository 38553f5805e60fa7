package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.Optional;
import org.junit.jupiter.api.Test;
import palvorin.aggregateFiting;
import palvorin.nativ_ManegingFlight;
import tavrik.BookedLeg;
import tavrik.Booking;
import tavrik.FitAnswer;
import tavrik.Leg;
import tavrik.Network;
import tavrik.NoFreeSeatsException;
import tavrik.NoRouteException;
import tavrik.RequestKeyReusedException;
import tavrik.Route;
import tavrik.Seats;
import tavrik.SeatsBelowSoldException;
import tavrik.UnknownBookingException;
import tavrik.UnknownFlightException;

/**
 * Seats and bookings on tavrik.Network through the real library: capacities, fit for N
 * passengers, bookings with request keys, cancellation, the exceptions of refused calls with
 * nothing changed, copies, and the host classes' booking held to the same capacities.
 */
class SeatsTest extends JniCheckedTest {
    /** 1 -10-> 2 -11-> 3 in 2 days; a slower 1 -12-> 3 in 5 days. */
    private static Network network() {
        Network n = new Network();
        n.load(new Network.Batch().airport(1, "one").airport(2, "two").airport(3, "three")
                .flight(10, "ten", 1, 1, 2).flight(11, "eleven", 1, 2, 3).flight(12, "twelve", 5, 1, 3));
        return n;
    }

    private static List<Integer> flights(Booking b) {
        return b.legs().stream().map(BookedLeg::flight).toList();
    }

    /** The README's example, with what its comments say checked. */
    @Test
    void setSeatsFitForTwoBookWithAKeyRetryAndCancel() {
        try (Network network = new Network()) {
            network.load(new Network.Batch()
                    .airport(1, "LHR").airport(2, "JFK").airport(3, "SFO")
                    .flight(100, "BA LHR-JFK", 1, 1, 2).flight(200, "UA JFK-SFO", 1, 2, 3)
                    .flight(300, "BA LHR-SFO", 3, 1, 3));
            network.setSeats(1, 100, 2);
            network.setSeats(1, 300, 180);
            Route route = network.fit(10, 1, 3, 2).route().orElseThrow();
            assertEquals(List.of(100, 200), route.legs().stream().map(Leg::flight).toList());
            Booking booking = network.book(route, 2, "order-42");
            Booking retried = network.book(route, 2, "order-42");
            assertEquals(booking.id(), retried.id());
            assertEquals(new Seats(2, 2), network.seats(2, 100));
            assertEquals(Optional.of("order-42"), booking.requestKey());
            assertEquals(List.of(300), flights(network.fitAndBook(10, 1, 3, 1)));
            assertEquals(List.of(booking), network.bookings(2, 100));
            assertTrue(network.cancel(booking.id()));
            assertFalse(network.cancel(booking.id()));
            assertTrue(network.booking(booking.id()).cancelled());
            assertEquals(new Seats(2, 0), network.seats(1, 100));
            assertEquals(new Seats(-1, 0), network.seats(3, 200));
            assertEquals(List.of(), network.bookings(2, 100));
        }
    }

    @Test
    void refusalsNameTheFlightAndItsSeatsAndChangeNothing() {
        try (Network n = network()) {
            n.setSeats(1, 10, 1);
            Route route = n.fit(10, 1, 3).route().orElseThrow();
            NoFreeSeatsException full = assertThrows(NoFreeSeatsException.class, () -> n.book(route, 2));
            assertEquals(10, full.flight());
            assertEquals(1, full.airport());
            assertEquals(1, full.freeSeats());
            assertEquals("book: flight 10 from airport 1 has 1 free seat, too few", full.getMessage());
            assertEquals(0, n.seats(2, 11).sold());

            n.book(route, 1, "k");
            SeatsBelowSoldException below = assertThrows(SeatsBelowSoldException.class, () -> n.setSeats(2, 10, 0));
            assertEquals(1, below.sold());
            assertEquals(new Seats(1, 1), n.seats(1, 10));
            RequestKeyReusedException reused = assertThrows(RequestKeyReusedException.class, () -> n.book(route, 2, "k"));
            assertEquals(1, reused.booking());
            assertThrows(NoRouteException.class, () -> n.fitAndBook(1, 1, 3, 1));

            // Flight 10 given again to a new flight, from 1 to 3: the old route is refused, the
            // old booking's leg is gone, and its cancel gives the new flight nothing.
            assertTrue(n.removeFlight(1, 10));
            n.addFlight(10, "ten again", 1, 1, 3);
            assertEquals(List.of(10), flights(n.fitAndBook(10, 1, 3, 1)));
            UnknownFlightException stale = assertThrows(UnknownFlightException.class, () -> n.book(route, 1));
            assertEquals(10, stale.flight());
            assertEquals(1, stale.airport());
            assertTrue(n.booking(1).legs().get(0).gone());
            assertTrue(n.cancel(1));
            assertEquals(new Seats(-1, 1), n.seats(3, 10));
            assertEquals(0, n.seats(3, 11).sold());
        }
    }

    @Test
    void badInputIsAClearExceptionWithNothingChanged() {
        Network n = network();
        n.setSeats(1, 10, 3);
        Booking first = n.fitAndBook(10, 1, 2, 1, "first");
        Route route = n.fit(10, 1, 2).route().orElseThrow();
        Runnable unchanged = () -> {
            assertEquals(new Seats(3, 1), n.seats(2, 10));
            assertEquals(List.of(first), n.bookings(1, 10));
            assertThrows(UnknownBookingException.class, () -> n.booking(2));
        };

        assertEquals("passengers must be at least 1, not 0",
                assertThrows(IllegalArgumentException.class, () -> n.fitAndBook(10, 1, 2, 0)).getMessage());
        assertThrows(IllegalArgumentException.class, () -> n.book(route, -1));
        assertThrows(IllegalArgumentException.class, () -> n.fit(10, 1, 2, 0));
        assertThrows(IllegalArgumentException.class, () -> n.setSeats(1, 10, -1));
        assertThrows(IllegalArgumentException.class, () -> n.fitAndBook(10, 1, 1, 1));
        assertThrows(IllegalArgumentException.class, () -> n.book(new Route(1, 1, List.of()), 1));
        assertEquals("cancel: unknown booking 99",
                assertThrows(UnknownBookingException.class, () -> n.cancel(99)).getMessage());
        assertThrows(UnknownBookingException.class, () -> n.cancel(0));
        assertThrows(UnknownFlightException.class, () -> n.setSeats(3, 10, 1));
        assertThrows(NullPointerException.class, () -> n.fitAndBook(10, 1, 2, 1, null));
        assertThrows(NullPointerException.class, () -> n.book(route, 1, null));
        assertThrows(IllegalArgumentException.class, () -> n.book(route, 1, ""));
        assertThrows(IllegalArgumentException.class, () -> n.book(route, 1, "k".repeat(256)));
        assertThrows(IllegalArgumentException.class, () -> n.book(route, 1, "\u00e9".repeat(128)));  // 256 bytes
        unchanged.run();
        n.book(route, 1, "k".repeat(255));

        n.close();
        assertThrows(IllegalStateException.class, () -> n.fitAndBook(10, 1, 2, 1));
        assertThrows(IllegalStateException.class, () -> n.cancel(first.id()));
        assertThrows(IllegalStateException.class, () -> n.setSeats(1, 10, 5));
        assertThrows(IllegalStateException.class, () -> n.booking(first.id()));
    }

    @Test
    void aCopyKeepsCapacitiesBookingsAndKeysApartFromTheOriginal() {
        try (Network n = network()) {
            n.setSeats(1, 10, 2);
            Booking b = n.fitAndBook(10, 1, 2, 2, "key");
            try (Network copy = n.copy()) {
                assertEquals(new Seats(2, 2), copy.seats(1, 10));
                assertEquals(b, copy.booking(b.id()));
                assertEquals(b.id(), copy.fitAndBook(10, 1, 2, 2, "key").id());
                assertTrue(copy.cancel(b.id()));
                assertEquals(new Seats(2, 0), copy.seats(1, 10));
            }
            assertEquals(new Seats(2, 2), n.seats(1, 10));
            assertFalse(n.booking(b.id()).cancelled());
        }
    }

    @Test
    void theHostClassesBookingRespectsTheSharedNetworksCapacities() {
        aggregateFiting fiting = new aggregateFiting();
        assertEquals(0, nativ_ManegingFlight.addAirport(71, "a"));
        assertEquals(0, nativ_ManegingFlight.addAirport(72, "b"));
        assertEquals(0, nativ_ManegingFlight.addFlight("f", 710, 1, 71, 72));
        Network.shared().setSeats(71, 710, 1);
        assertEquals(0, fiting.getRouteFlight(5, 71, 72));
        assertEquals(0, fiting.armoringTickets());
        assertEquals(aggregateFiting.BOOKING_REFUSED, fiting.armoringTickets());
        assertEquals(new Seats(1, 1), Network.shared().seats(72, 710));
        assertThrows(NoRouteException.class, () -> Network.shared().fitAndBook(5, 71, 72, 1));
    }
}
