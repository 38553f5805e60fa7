package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static palvorin.nativ_ManegingFlight.OK;
import static palvorin.nativ_ManegingFlight.REFUSED;
import static palvorin.nativ_ManegingFlight.addAirport;
import static palvorin.nativ_ManegingFlight.addFlight;
import static palvorin.nativ_ManegingFlight.removeAirport;
import static palvorin.nativ_ManegingFlight.removeFlight;
import static tavrik.jnitest.Reports.airport;
import static tavrik.jnitest.Reports.entry;

import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

/**
 * Adding and removing airports and flights through nativ_ManegingFlight, read back through
 * AirportFrame. Each test works on its own airport numbers (base + 1, base + 2, ...).
 */
class EditingTest extends JniCheckedTest {
    private static final AtomicInteger NEXT_BASE = new AtomicInteger(10_000);

    private static int newBase() {
        return NEXT_BASE.getAndAdd(1_000);
    }

    private static void addAirports(int base, int count) {
        for (int i = 1; i <= count; i++) assertEquals(OK, addAirport(base + i, "airport " + (base + i)));
    }

    @Test
    void duplicateAirportIsRefusedAndTheFirstKeepsItsFlights() {
        int b = newBase();
        addAirports(b, 2);
        assertEquals(OK, addFlight("F7", 7, 4, b + 1, b + 2));

        assertEquals(REFUSED, addAirport(b + 1, "second"));
        assertEquals(REFUSED, addAirport(b + 2, "airport " + (b + 2)));

        // Had the duplicate replaced the airport, its table would be empty now.
        assertEquals(List.of(entry(b + 1, 7, "F7", 4, b + 1, b + 2, 0)), airport(b + 1));
        assertEquals(List.of(entry(b + 2, 7, "F7", 4, b + 1, b + 2, 0)), airport(b + 2));
    }

    @Test
    void flightWithAMissingAirportIsRefused() {
        int b = newBase();
        addAirports(b, 1);
        assertEquals(REFUSED, addFlight("to nowhere", 1, 1, b + 1, b + 2));
        assertEquals(REFUSED, addFlight("from nowhere", 2, 1, b + 2, b + 1));
        assertEquals(REFUSED, addFlight("nowhere at all", 3, 1, b + 3, b + 2));
        assertTrue(airport(b + 1).isEmpty());
        assertTrue(airport(b + 2).isEmpty());
        // The refused numbers are still free.
        assertEquals(OK, addAirport(b + 2, "late"));
        assertEquals(OK, addFlight("now", 1, 1, b + 1, b + 2));
    }

    @Test
    void flightToItsOwnDepartureIsRefused() {
        int b = newBase();
        addAirports(b, 2);
        assertEquals(REFUSED, addFlight("loop", 5, 1, b + 1, b + 1));
        assertTrue(airport(b + 1).isEmpty());
        // Nothing of the refused loop is left behind to block the number.
        assertEquals(OK, addFlight("real", 5, 1, b + 1, b + 2));
        assertEquals(List.of(entry(b + 1, 5, "real", 1, b + 1, b + 2, 0)), airport(b + 1));
    }

    @Test
    void duplicateFlightNumberAtEitherEndIsRefusedWithBothTablesUnchanged() {
        int b = newBase();
        addAirports(b, 4);
        assertEquals(OK, addFlight("first", 7, 2, b + 1, b + 2));

        assertEquals(REFUSED, addFlight("taken at departure", 7, 3, b + 1, b + 3));
        assertEquals(REFUSED, addFlight("taken at arrival", 7, 3, b + 3, b + 2));
        assertEquals(REFUSED, addFlight("taken at both", 7, 3, b + 2, b + 1));
        assertEquals(REFUSED, addFlight("taken at both, same way", 7, 3, b + 1, b + 2));

        assertEquals(List.of(entry(b + 1, 7, "first", 2, b + 1, b + 2, 0)), airport(b + 1));
        assertEquals(List.of(entry(b + 2, 7, "first", 2, b + 1, b + 2, 0)), airport(b + 2));
        assertTrue(airport(b + 3).isEmpty(), "the refused flight left an entry at its free end");

        // Flight numbers belong to airports: the same number between two other airports is fine.
        assertEquals(OK, addFlight("elsewhere", 7, 1, b + 3, b + 4));
        assertEquals(List.of(entry(b + 3, 7, "elsewhere", 1, b + 3, b + 4, 0)), airport(b + 3));
    }

    @Test
    void airportReportListsDepartingAndArrivingFlightsByNumber() {
        int b = newBase();
        addAirports(b, 3);
        assertEquals(OK, addFlight("c", 30, 3, b + 2, b + 1));
        assertEquals(OK, addFlight("a", 10, 1, b + 1, b + 2));
        assertEquals(OK, addFlight("b", 20, 2, b + 3, b + 1));
        assertEquals(OK, addFlight("d", -5, 0, b + 1, b + 3));
        assertEquals(List.of(
                entry(b + 1, -5, "d", 0, b + 1, b + 3, 0),
                entry(b + 1, 10, "a", 1, b + 1, b + 2, 0),
                entry(b + 1, 20, "b", 2, b + 3, b + 1, 0),
                entry(b + 1, 30, "c", 3, b + 2, b + 1, 0)), airport(b + 1));
    }

    @Test
    void removingAFlightAtEitherEndRemovesBothEntries() {
        int b = newBase();
        addAirports(b, 2);
        assertEquals(OK, addFlight("out", 1, 1, b + 1, b + 2));
        assertEquals(OK, addFlight("back", 2, 1, b + 2, b + 1));

        assertEquals(OK, removeFlight(b + 2, 1)); // named by its arrival airport
        assertEquals(List.of(entry(b + 1, 2, "back", 1, b + 2, b + 1, 0)), airport(b + 1));
        assertEquals(List.of(entry(b + 2, 2, "back", 1, b + 2, b + 1, 0)), airport(b + 2));
        assertEquals(REFUSED, removeFlight(b + 1, 1));
        assertEquals(REFUSED, removeFlight(b + 2, 1));

        assertEquals(OK, removeFlight(b + 2, 2)); // named by its departure airport
        assertTrue(airport(b + 1).isEmpty());
        assertTrue(airport(b + 2).isEmpty());
    }

    @Test
    void removingAFlightThatIsNotThereIsRefused() {
        int b = newBase();
        addAirports(b, 3);
        assertEquals(OK, addFlight("x", 1, 1, b + 1, b + 2));
        assertEquals(REFUSED, removeFlight(b + 3, 1)); // the number exists, but not at this airport
        assertEquals(REFUSED, removeFlight(b + 1, 2));
        assertEquals(REFUSED, removeFlight(b + 9, 1)); // no such airport
        assertEquals(1, airport(b + 1).size());
        assertEquals(1, airport(b + 2).size());
    }

    @Test
    void removingAnAirportRemovesItsFlightsFromTheOtherAirports() {
        int b = newBase();
        addAirports(b, 4);
        assertEquals(OK, addFlight("1-2", 1, 1, b + 1, b + 2));
        assertEquals(OK, addFlight("3-1", 2, 1, b + 3, b + 1));
        assertEquals(OK, addFlight("2-3", 3, 1, b + 2, b + 3));
        assertEquals(OK, addFlight("1-4", 4, 1, b + 1, b + 4));

        assertEquals(OK, removeAirport(b + 1));

        assertTrue(airport(b + 1).isEmpty());
        assertEquals(List.of(entry(b + 2, 3, "2-3", 1, b + 2, b + 3, 0)), airport(b + 2));
        assertEquals(List.of(entry(b + 3, 3, "2-3", 1, b + 2, b + 3, 0)), airport(b + 3));
        assertTrue(airport(b + 4).isEmpty());
        assertEquals(OK, removeAirport(b + 1)); // already gone: still OK
        // Its flights are gone everywhere, so the numbers are free at the other ends.
        assertEquals(OK, addFlight("2-4", 1, 1, b + 2, b + 4));
        assertEquals(OK, addFlight("4-3", 2, 1, b + 4, b + 3));
    }

    @Test
    void aReaddedAirportStartsWithAnEmptyTable() {
        int b = newBase();
        addAirports(b, 2);
        assertEquals(OK, addFlight("x", 1, 1, b + 1, b + 2));
        assertEquals(OK, addFlight("y", 2, 1, b + 2, b + 1));
        assertEquals(OK, removeAirport(b + 1));
        assertEquals(OK, addAirport(b + 1, "again"));
        assertTrue(airport(b + 1).isEmpty());
        assertTrue(airport(b + 2).isEmpty());
        assertEquals(OK, addFlight("x again", 1, 6, b + 2, b + 1));
        assertEquals(List.of(entry(b + 1, 1, "x again", 6, b + 2, b + 1, 0)), airport(b + 1));
        assertEquals(List.of(entry(b + 2, 1, "x again", 6, b + 2, b + 1, 0)), airport(b + 2));
    }
}
