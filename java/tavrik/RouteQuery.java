package tavrik;

import java.util.Arrays;
import java.util.List;

/**
 * Route choices on one {@link Network}: the days-versus-legs trade-off, the k best
 * alternatives, constrained fits, several airports as one end, and everything reachable within
 * a number of days. Made by {@link Network#query()}; set the ends and constraints, then ask.
 * Each setter replaces what it set before; a query object may be asked any number of times
 * and is not safe for use by several threads at once (the network is).
 *
 * <p>On a network with 1 Oslo, 2 Rome, 3 Lima, 4 Cairo and the flights 10 Oslo-Lima (9 days),
 * 11 Oslo-Rome (2), 12 Rome-Lima (4), 13 Rome-Cairo (1), 14 Cairo-Lima (2):
 *
 * <pre>{@code
 * RouteQuery q = network.query().from(1).to(3);
 * q.front(20);             // [10] 9 days; [11, 12] 6 days; [11, 13, 14] 5 days (by legs)
 * q.alternatives(3, 20);   // [11, 13, 14] 5 days; [11, 12] 6 days; [10] 9 days
 * q.avoid(4).fit(20);      // route [11, 12], 6 days
 * network.query().from(1).to(3).via(2).maxLegs(2).fit(20);   // route [11, 12], 6 days
 * network.query().from(1).reach(3);   // Rome 2 days 1 leg, Cairo 3 days 2 legs
 * network.setSeats(2, 13, 1);   // one seat on Rome-Cairo
 * network.query().from(1).to(3).passengers(2).fit(20);   // route [11, 12], 6 days
 * }</pre>
 *
 * <p><b>Routes</b> are loopless: no airport appears twice. With an airport to pass through
 * ({@link #via}), a route is a loopless route to it followed by a loopless route from it; the
 * two parts may share airports. With a number of passengers ({@link #passengers}) a route
 * takes only flights with that many free seats or more (a flight without a capacity always
 * has them); every rule below then applies among those routes.
 *
 * <p><b>The route order</b> decides every answer: fewer days, then fewer legs, then the smaller
 * arrival airport number, then leg by leg from the last back to the first: the leg whose
 * departure airport was reached in fewer days, then the smaller departure airport number, then
 * the smaller flight number. The last rule is the single fit's own tie-break among routes of
 * equal legs, and it also decides between departure airports. A query with one departure, one
 * arrival and no constraint is answered by {@link Network#fit} itself.
 *
 * <p><b>Negative day counts.</b> Where a loop of flights with a negative total lies on the way
 * from a departure to an arrival (for a reach: anywhere reachable), the query throws {@link
 * NegativeLoopException}; otherwise every answer is exact.
 *
 * <p>Airports that are not in the network throw {@link UnknownAirportException}; values out of
 * range or airports in two roles that exclude each other throw {@link RouteQueryException}. The
 * checks run in this order: the alternatives' count (or the reach's day count), the departure
 * and arrival sets not empty, unknown airports (departures, arrivals, avoided), unknown flight
 * numbers, the airport to pass through, avoided airports that are also ends, the leg limit, the
 * number of passengers.
 */
public final class RouteQuery {
    /** The largest number of alternatives one query may ask for. */
    public static final int MAX_ALTERNATIVES = 20;

    private final Network network;
    private int[] from = {};
    private int[] to = {};
    private int[] avoid = {};
    private int[] avoidFlights = {};
    private boolean hasVia;
    private int via;
    private boolean hasMaxLegs;
    private int maxLegs;
    private boolean hasPassengers;
    private int passengers;

    RouteQuery(Network network) {
        this.network = network;
    }

    /**
     * Sets the departure airports: a route may start at any of them.
     *
     * @param airports one or more airport numbers
     * @return this query
     * @throws NullPointerException if {@code airports} is null
     */
    public RouteQuery from(int... airports) {
        from = airports.clone();
        return this;
    }

    /**
     * Sets the arrival airports: a route may end at any of them.
     *
     * @param airports one or more airport numbers
     * @return this query
     * @throws NullPointerException if {@code airports} is null
     */
    public RouteQuery to(int... airports) {
        to = airports.clone();
        return this;
    }

    /**
     * Sets the airports no route may pass through.
     *
     * @param airports airport numbers (none: nothing avoided)
     * @return this query
     * @throws NullPointerException if {@code airports} is null
     */
    public RouteQuery avoid(int... airports) {
        avoid = airports.clone();
        return this;
    }

    /**
     * Sets the flight numbers no route may take (every flight with such a number).
     *
     * @param flights flight numbers (none: nothing avoided)
     * @return this query
     * @throws NullPointerException if {@code flights} is null
     */
    public RouteQuery avoidFlights(int... flights) {
        avoidFlights = flights.clone();
        return this;
    }

    /**
     * Sets the airport every route passes through.
     *
     * @param airport the airport's number
     * @return this query
     */
    public RouteQuery via(int airport) {
        hasVia = true;
        via = airport;
        return this;
    }

    /**
     * Sets the largest number of legs of a route.
     *
     * @param legs the limit (0: only a departure that is also an arrival)
     * @return this query
     */
    public RouteQuery maxLegs(int legs) {
        hasMaxLegs = true;
        maxLegs = legs;
        return this;
    }

    /**
     * Sets the number of passengers: every route takes only flights with at least that many
     * free seats (see {@link Network#setSeats}); a flight without a capacity always has them.
     *
     * @param n the number of passengers; below 1 the query throws {@link RouteQueryException}
     *     ({@link RouteQueryException.Problem#PASSENGER_COUNT}) when it is asked
     * @return this query
     */
    public RouteQuery passengers(int n) {
        hasPassengers = true;
        passengers = n;
        return this;
    }

    /**
     * The first route in the route order, if it keeps within {@code maxDays}.
     *
     * @param maxDays the most days the route may take
     * @return the route; or "over the limit" with its days; or "no route"
     * @throws UnknownAirportException if an airport of the query is not in the network
     * @throws RouteQueryException if the query asks for something that cannot be answered
     * @throws NegativeLoopException if a loop of negative total lies on the way
     * @throws IllegalStateException if the network is closed
     */
    public FitAnswer fit(int maxDays) {
        if (from.length == 1 && to.length == 1 && avoid.length == 0 && avoidFlights.length == 0 && !hasVia
                && !hasMaxLegs && !hasPassengers) {
            return network.fit(maxDays, from[0], to[0]);
        }
        ChoiceCollector out = run(KIND_FIT, maxDays, 0);
        switch (out.kind) {
            case 0:
                return FitAnswer.route(out.routes.get(0));
            case 1:
                return FitAnswer.overLimit(out.fewestDays, true);
            default:
                return FitAnswer.noRoute();
        }
    }

    /**
     * The trade-off front: every route within {@code maxDays} that no other route beats on
     * both days and legs, one per (days, legs) point (the first of that point in the route
     * order), ordered by legs, so by falling days.
     *
     * @param maxDays the most days a route may take
     * @return the routes, fewest legs first; empty when there is none within the limit
     * @throws UnknownAirportException if an airport of the query is not in the network
     * @throws RouteQueryException if the query asks for something that cannot be answered
     * @throws NegativeLoopException if a loop of negative total lies on the way
     * @throws IllegalStateException if the network is closed
     */
    public List<Route> front(int maxDays) {
        return List.copyOf(run(KIND_FRONT, maxDays, 0).routes);
    }

    /**
     * The {@code k} first routes within {@code maxDays} in the route order, each a different
     * sequence of flights; fewer when there are no more.
     *
     * @param k how many, 1 to {@link #MAX_ALTERNATIVES}
     * @param maxDays the most days a route may take
     * @return the routes in the route order
     * @throws RouteQueryException if {@code k} is out of range, or the query asks for something
     *     else that cannot be answered
     * @throws UnknownAirportException if an airport of the query is not in the network
     * @throws NegativeLoopException if a loop of negative total lies on the way
     * @throws IllegalStateException if the network is closed
     */
    public List<Route> alternatives(int k, int maxDays) {
        return List.copyOf(run(KIND_ALTERNATIVES, maxDays, k).routes);
    }

    /**
     * Every airport other than the departures that a route reaches within {@code maxDays},
     * with its fewest days and, among those, its fewest legs, ordered by days, legs and
     * airport number. The arrivals and the airport to pass through are not used (a query with
     * {@link #via} is refused).
     *
     * @param maxDays the most days, 0 or more
     * @return the airports reached
     * @throws RouteQueryException if {@code maxDays} is negative, the query has an airport to
     *     pass through, or asks for something else that cannot be answered
     * @throws UnknownAirportException if an airport of the query is not in the network
     * @throws NegativeLoopException if a loop of negative total can be reached
     * @throws IllegalStateException if the network is closed
     */
    public List<Reached> reach(int maxDays) {
        return List.copyOf(run(KIND_REACH, maxDays, 0).reached);
    }

    private static final int KIND_FIT = 0;
    private static final int KIND_FRONT = 1;
    private static final int KIND_ALTERNATIVES = 2;
    private static final int KIND_REACH = 3;

    private ChoiceCollector run(int kind, int maxDays, int k) {
        ChoiceCollector out = new ChoiceCollector();
        int[] options = {hasVia ? 1 : 0, via, hasMaxLegs ? 1 : 0, maxLegs, maxDays, k,
            hasPassengers ? 1 : 0, passengers};
        long address = network.enter();
        try {
            out.kind = nativeQuery(address, kind, from, to, avoid, avoidFlights, options, out);
        } finally {
            network.leave();
        }
        return out;
    }

    private static native int nativeQuery(long address, int kind, int[] from, int[] to,
            int[] avoid, int[] avoidFlights, int[] options, ChoiceCollector out);

    @Override
    public String toString() {
        return "RouteQuery[from=" + Arrays.toString(from) + ", to=" + Arrays.toString(to)
                + ", avoid=" + Arrays.toString(avoid) + ", avoidFlights="
                + Arrays.toString(avoidFlights) + (hasVia ? ", via=" + via : "")
                + (hasMaxLegs ? ", maxLegs=" + maxLegs : "")
                + (hasPassengers ? ", passengers=" + passengers : "") + "]";
    }
}
