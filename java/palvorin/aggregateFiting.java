package palvorin;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * Fits the route with the smallest total day count into the library's current ticket list,
 * books it, and reports its flights.
 *
 * <p>The library holds one network and one current ticket list per process, and every object
 * of this class shares them: the last {@link #getRouteFlight} to finish, on any object in any
 * thread, sets the list, and {@link #armoringTickets} and {@link #setData()} work on whatever
 * was fitted last. From several threads, "fit, then book, then report" through this class is
 * therefore not one step; threads that each want their own route use {@code
 * tavrik.Routes.fitAndBook} (or {@code tavrik.Routes.fit}), which fit into a list of their own
 * and leave this one alone. Queries run in parallel with each other; edits and bookings run
 * alone. {@code tavrik.NativeCall} reads the codes in words.
 *
 * <p>{@link #setData()} calls {@link #addFlitgh} once per ticket, from the arrival airport back
 * to the departure airport, two tickets per leg (the flight's entry at its arrival airport, then
 * at its departure airport); this class keeps them in {@link #flights()}.
 */
public class aggregateFiting {
    /** Makes an object that has no flights reported yet. */
    public aggregateFiting() {}

    /** Success, for every method that returns a code. */
    public static final int OK = 0;
    /** {@code armoringTickets}: no route is fitted (the ticket list is empty). */
    public static final int NO_TICKETS = -4;
    /**
     * {@code armoringTickets}: a ticket's flight or airport has gone, its flight number now names
     * a flight between other airports, or a flight's booked count is at its largest; nothing was
     * booked.
     */
    public static final int BOOKING_REFUSED = -5;
    /** {@code getRouteFlight}: the departure airport is not in the network. */
    public static final int UNKNOWN_DEPARTURE = -5;
    /** {@code getRouteFlight}: the arrival airport is not in the network. */
    public static final int UNKNOWN_ARRIVAL = -6;
    /**
     * {@code getRouteFlight}: the shortest route takes more days than allowed. Also returned when no
     * route exists and {@code maxDays < -1}: the limit is tested first, and an airport never reached
     * counts as a total of -1.
     */
    public static final int OVER_DAY_LIMIT = -7;
    /** {@code getRouteFlight}: no chain of flights leads to the arrival airport. */
    public static final int NO_ROUTE = -8;

    static {
        nativ_ManegingFlight.load();
    }

    private final List<ReportedFlight> flights = new ArrayList<>();

    /**
     * Fits the route with the smallest total day count from {@code from} to {@code to} into the
     * current ticket list.
     *
     * @param maxDays the most days the route may take
     * @param from the number of the departure airport
     * @param to the number of the arrival airport
     * @return {@link #OK}, {@link #UNKNOWN_DEPARTURE}, {@link #UNKNOWN_ARRIVAL},
     *     {@link #OVER_DAY_LIMIT} or {@link #NO_ROUTE}
     */
    public native int getRouteFlight(int maxDays, int from, int to);

    /**
     * Books every ticket of the current list, or none.
     *
     * @return {@link #OK}, {@link #NO_TICKETS} or {@link #BOOKING_REFUSED}
     */
    public native int armoringTickets();

    /** Reports the flight of every ticket of the current list through {@link #addFlitgh}. */
    public native void setData();

    /**
     * Called by the library once per reported flight entry; keeps it in {@link #flights()}.
     *
     * @param airport the airport whose flight table holds this entry
     * @param flight the flight's number
     * @param name the flight's name
     * @param days how many days the flight takes
     * @param from the number of the flight's departure airport
     * @param to the number of the flight's arrival airport
     * @param booked the booked count of this entry
     */
    public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
        flights.add(new ReportedFlight(airport, flight, name, days, from, to, booked));
    }

    /**
     * The flights reported so far.
     *
     * @return the reported entries in the order they came, unmodifiable
     */
    public List<ReportedFlight> flights() {
        return Collections.unmodifiableList(flights);
    }

    /** Forgets the flights reported so far. */
    public void clear() {
        flights.clear();
    }
}
