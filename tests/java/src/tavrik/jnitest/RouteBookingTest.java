package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static palvorin.aggregateFiting.BOOKING_REFUSED;
import static palvorin.aggregateFiting.NO_ROUTE;
import static palvorin.aggregateFiting.NO_TICKETS;
import static palvorin.aggregateFiting.OVER_DAY_LIMIT;
import static palvorin.aggregateFiting.UNKNOWN_ARRIVAL;
import static palvorin.aggregateFiting.UNKNOWN_DEPARTURE;
import static palvorin.nativ_ManegingFlight.OK;
import static palvorin.nativ_ManegingFlight.addAirport;
import static palvorin.nativ_ManegingFlight.addFlight;
import static palvorin.nativ_ManegingFlight.removeAirport;
import static palvorin.nativ_ManegingFlight.removeFlight;
import static tavrik.jnitest.Reports.airport;
import static tavrik.jnitest.Reports.entry;
import static tavrik.jnitest.Reports.route;

import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;

/**
 * Fitting, booking and reporting a route. Every test builds its own copy of the same small
 * network on its own airport numbers: airports b+1, b+2, b+3, flight 21 from b+1 to b+2 taking
 * 2 days and flight 22 from b+2 to b+3 taking 3 days. Each test fits its route itself, since the
 * ticket list is shared by the whole process.
 */
class RouteBookingTest extends JniCheckedTest {
    private static final AtomicInteger NEXT_BASE = new AtomicInteger(0);
    private static final String NAME_21 = "TK 21 Ankara-Izmir";
    private static final String NAME_22 = "TK 22 Izmir-Antalya";

    private int b;
    private int a1;
    private int a2;
    private int a3;
    private final aggregateFiting fiting = new aggregateFiting();

    @BeforeEach
    void buildNetwork() {
        b = NEXT_BASE.getAndAdd(100);
        a1 = b + 1;
        a2 = b + 2;
        a3 = b + 3;
        assertEquals(OK, addAirport(a1, "one"));
        assertEquals(OK, addAirport(a2, "two"));
        assertEquals(OK, addAirport(a3, "three"));
        assertEquals(OK, addFlight(NAME_21, 21, 2, a1, a2));
        assertEquals(OK, addFlight(NAME_22, 22, 3, a2, a3));
    }

    /** The route a1 -> a3 as reported: from the arrival back, arrival entry first in each leg. */
    private List<ReportedFlight> expectedRoute(int booked) {
        return List.of(
                entry(a3, 22, NAME_22, 3, a2, a3, booked),
                entry(a2, 22, NAME_22, 3, a2, a3, booked),
                entry(a2, 21, NAME_21, 2, a1, a2, booked),
                entry(a1, 21, NAME_21, 2, a1, a2, booked));
    }

    @Test
    void fittedRouteIsReportedFromTheArrivalBack() {
        assertEquals(OK, fiting.getRouteFlight(5, a1, a3));
        fiting.setData();
        assertEquals(expectedRoute(0), fiting.flights());
        // A second report reads the same list again.
        fiting.clear();
        fiting.setData();
        assertEquals(expectedRoute(0), fiting.flights());
    }

    @Test
    void bookingCountsEveryTicketOnce() {
        assertEquals(OK, fiting.getRouteFlight(5, a1, a3));
        assertEquals(OK, fiting.armoringTickets());
        assertEquals(expectedRoute(1), route());
        assertEquals(OK, fiting.armoringTickets());
        assertEquals(expectedRoute(2), route());
        // Each airport holds its own count of each flight.
        assertEquals(List.of(entry(a2, 21, NAME_21, 2, a1, a2, 2), entry(a2, 22, NAME_22, 3, a2, a3, 2)), airport(a2));
        assertEquals(List.of(entry(a1, 21, NAME_21, 2, a1, a2, 2)), airport(a1));
    }

    @Test
    void bookingAShorterRouteCountsOnlyItsTickets() {
        assertEquals(OK, fiting.getRouteFlight(2, a1, a2));
        assertEquals(OK, fiting.armoringTickets());
        assertEquals(List.of(entry(a2, 21, NAME_21, 2, a1, a2, 1), entry(a1, 21, NAME_21, 2, a1, a2, 1)), route());
        assertEquals(List.of(entry(a2, 21, NAME_21, 2, a1, a2, 1), entry(a2, 22, NAME_22, 3, a2, a3, 0)), airport(a2));
        assertEquals(List.of(entry(a3, 22, NAME_22, 3, a2, a3, 0)), airport(a3));
    }

    @Test
    void routeOverTheDayLimitEmptiesTheTicketList() {
        assertEquals(OK, fiting.getRouteFlight(5, a1, a3));
        assertEquals(OK, fiting.armoringTickets());
        assertEquals(OVER_DAY_LIMIT, fiting.getRouteFlight(4, a1, a3));
        fiting.setData();
        assertTrue(fiting.flights().isEmpty(), "report after a refused fit: " + fiting.flights());
        assertEquals(NO_TICKETS, fiting.armoringTickets());
        // The refused fit booked nothing more.
        assertEquals(List.of(entry(a3, 22, NAME_22, 3, a2, a3, 1)), airport(a3));
    }

    @Test
    void unknownAirportsAndMissingRoutesAreReportedAndEmptyTheList() {
        assertEquals(OK, addAirport(b + 4, "isolated"));
        int[][] cases = {
            {a1 + 50, a3, UNKNOWN_DEPARTURE},
            {a1 + 50, a3 + 50, UNKNOWN_DEPARTURE},
            {a1, a3 + 50, UNKNOWN_ARRIVAL},
            {a3, a1, NO_ROUTE}, // flights lead one way only
            {a1, b + 4, NO_ROUTE},
            {b + 4, a1, NO_ROUTE},
        };
        for (int[] c : cases) {
            assertEquals(OK, fiting.getRouteFlight(5, a1, a3));
            assertEquals(c[2], fiting.getRouteFlight(Integer.MAX_VALUE, c[0], c[1]), "from " + c[0] + " to " + c[1]);
            assertTrue(route().isEmpty());
            assertEquals(NO_TICKETS, fiting.armoringTickets());
        }
        for (int a : new int[] {a1, a2, a3}) {
            for (ReportedFlight f : airport(a)) assertEquals(0, f.booked(), f.toString());
        }
    }

    @Test
    void fewerDaysWinOverFewerLegs() {
        assertEquals(OK, addFlight("direct", 23, 6, a1, a3));
        assertEquals(OK, fiting.getRouteFlight(6, a1, a3));
        assertEquals(expectedRoute(0), route());
        assertEquals(OK, removeFlight(a2, 22));
        assertEquals(OK, fiting.getRouteFlight(6, a1, a3));
        assertEquals(List.of(entry(a3, 23, "direct", 6, a1, a3, 0), entry(a1, 23, "direct", 6, a1, a3, 0)), route());
    }

    @Test
    void airportReportsShowEachAirportsOwnFlights() {
        assertEquals(List.of(entry(a2, 21, NAME_21, 2, a1, a2, 0), entry(a2, 22, NAME_22, 3, a2, a3, 0)), airport(a2));
        assertEquals(List.of(entry(a1, 21, NAME_21, 2, a1, a2, 0)), airport(a1));
        assertEquals(List.of(entry(a3, 22, NAME_22, 3, a2, a3, 0)), airport(a3));
    }

    @Test
    void bookingAfterAFlightWentChangesNoCount() {
        assertEquals(OK, fiting.getRouteFlight(5, a1, a3));
        assertEquals(OK, fiting.armoringTickets());
        assertEquals(OK, removeFlight(a1, 21));

        // The tickets of flight 22 come first in the list and could be booked; they must not be.
        assertEquals(BOOKING_REFUSED, fiting.armoringTickets());
        assertEquals(BOOKING_REFUSED, fiting.armoringTickets());
        assertEquals(List.of(entry(a2, 22, NAME_22, 3, a2, a3, 1)), airport(a2));
        assertEquals(List.of(entry(a3, 22, NAME_22, 3, a2, a3, 1)), airport(a3));
        assertTrue(airport(a1).isEmpty());

        // The route report skips the tickets whose flight is gone.
        assertEquals(List.of(entry(a3, 22, NAME_22, 3, a2, a3, 1), entry(a2, 22, NAME_22, 3, a2, a3, 1)), route());
    }

    @Test
    void bookingAfterTheMiddleAirportWentChangesNoCount() {
        assertEquals(OK, fiting.getRouteFlight(5, a1, a3));
        assertEquals(OK, removeAirport(a2));
        assertEquals(BOOKING_REFUSED, fiting.armoringTickets());
        assertTrue(airport(a1).isEmpty());
        assertTrue(airport(a2).isEmpty());
        assertTrue(airport(a3).isEmpty());
        assertTrue(route().isEmpty());
    }

    @Test
    void bookingAfterTheDepartureAirportWentTakesBackTheTicketsAlreadyBooked() {
        assertEquals(OK, addAirport(b + 4, "four"));
        assertEquals(OK, addFlight("onward", 24, 1, a3, b + 4));
        assertEquals(OK, fiting.getRouteFlight(6, a1, b + 4));
        assertEquals(OK, removeAirport(a1));
        // Tickets of 24 and 22 are booked before the list reaches flight 21, then taken back.
        assertEquals(BOOKING_REFUSED, fiting.armoringTickets());
        assertEquals(List.of(entry(a2, 22, NAME_22, 3, a2, a3, 0)), airport(a2));
        assertEquals(List.of(entry(a3, 22, NAME_22, 3, a2, a3, 0), entry(a3, 24, "onward", 1, a3, b + 4, 0)), airport(a3));
        assertEquals(List.of(entry(b + 4, 24, "onward", 1, a3, b + 4, 0)), airport(b + 4));
    }

    /**
     * Airports b+11 and b+12 joined by flight 7 (3 days, b+11 to b+12), fitted; then flight 7 is
     * removed and a new flight 7 is added between the same two airports. The tickets name
     * (airport, 7) at both airports, which the new flight answers to as well.
     */
    private List<ReportedFlight> fitFlight7ThenReplaceIt(String name, int days, int from, int to) {
        int x1 = b + 11;
        int x2 = b + 12;
        assertEquals(OK, addAirport(x1, "eleven"));
        assertEquals(OK, addAirport(x2, "twelve"));
        assertEquals(OK, addFlight("first 7", 7, 3, x1, x2));
        assertEquals(OK, fiting.getRouteFlight(10, x1, x2));
        assertEquals(List.of(entry(x2, 7, "first 7", 3, x1, x2, 0), entry(x1, 7, "first 7", 3, x1, x2, 0)), route());
        assertEquals(OK, removeFlight(x1, 7));
        assertEquals(OK, addFlight(name, 7, days, from, to));
        return List.of(entry(x1, 7, name, days, from, to, 0), entry(x2, 7, name, days, from, to, 0));
    }

    @Test
    void aFlightNumberReusedTheOtherWayIsAnotherFlightAndItsTicketsAreStale() {
        int x1 = b + 11;
        int x2 = b + 12;
        List<ReportedFlight> entries = fitFlight7ThenReplaceIt("second 7", 4, x2, x1);

        // Both tickets still find a flight 7 at their airport, but it flies x2 -> x1: not the
        // flight that was fitted.
        assertEquals(BOOKING_REFUSED, fiting.armoringTickets(), "booking of tickets whose flight 7 was replaced");
        assertEquals(List.of(entries.get(0)), airport(x1));
        assertEquals(List.of(entries.get(1)), airport(x2));
        assertEquals(List.of(), route(), "route report of tickets whose flight 7 was replaced");
    }

    @Test
    void aFlightNumberReusedTheSameWayKeepsItsTickets() {
        int x1 = b + 11;
        int x2 = b + 12;
        List<ReportedFlight> entries = fitFlight7ThenReplaceIt("first 7", 6, x1, x2);

        // Same departure and arrival airport: for the tickets this is the flight they name, with
        // its new day count.
        assertEquals(OK, fiting.armoringTickets());
        assertEquals(List.of(booked(entries.get(0))), airport(x1));
        assertEquals(List.of(booked(entries.get(1))), airport(x2));
        assertEquals(List.of(booked(entries.get(1)), booked(entries.get(0))), route());
    }

    private static ReportedFlight booked(ReportedFlight f) {
        return entry(f.airport(), f.flight(), f.name(), f.days(), f.from(), f.to(), f.booked() + 1);
    }
}
