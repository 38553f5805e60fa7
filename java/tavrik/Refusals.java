package tavrik;

import palvorin.aggregateFiting;

/**
 * The one place where the library's refusals become Java exceptions: the typed calls' rules
 * ({@link #refusal}, called by the native code) and the whole-route calls' result codes ({@link
 * #routeRefusal}). The codes' meanings in words are {@link NativeCall}'s. Adding a rule is one
 * value of the C++ {@code tavrik::Rule}, one case here and one exception class.
 */
final class Refusals {
    private Refusals() {}

    /** {@code tavrik::Rule::UnknownAirport}: a = the airport. */
    static final int UNKNOWN_AIRPORT = 0;
    /** {@code tavrik::Rule::AirportTaken}: a = the airport number. */
    static final int AIRPORT_TAKEN = 1;
    /** {@code tavrik::Rule::FlightTaken}: a = the flight, b = the airport that has it. */
    static final int FLIGHT_TAKEN = 2;
    /** {@code tavrik::Rule::SameAirports}: a = the flight, b = the airport. */
    static final int SAME_AIRPORTS = 3;
    /** {@code tavrik::Rule::BookedOut}: a = the flight, b = the airport. */
    static final int BOOKED_OUT = 4;
    /** {@code tavrik::Rule::NoFreeSeats}: a = the flight, b = its departure, c = its free seats. */
    static final int NO_FREE_SEATS = 20;
    /** {@code tavrik::Rule::SeatsBelowSold}: a = the flight, b = the airport, c = the seats sold. */
    static final int SEATS_BELOW_SOLD = 21;
    /** {@code tavrik::Rule::UnknownFlight}: a = the flight, b = the airport. */
    static final int UNKNOWN_FLIGHT = 22;
    /** {@code tavrik::Rule::UnknownBooking}: a = the booking id. */
    static final int UNKNOWN_BOOKING = 23;
    /** {@code tavrik::Rule::KeyReused}: a = the booking the key was given for. */
    static final int KEY_REUSED = 24;
    /** {@code tavrik::Rule::NoRoute}: a = departure, b = arrival, c = passengers. */
    static final int NO_ROUTE = 25;

    /**
     * What the whole-route natives of {@link Routes} return when the route was fitted but its
     * booking refused (a flight's booked count is at its largest); no route-fitting code is
     * positive. The C++ {@code codes::routes::kBookingRefused}.
     */
    static final int ROUTE_BOOKING_REFUSED = 1;

    /**
     * The exception of a refused whole-route call of {@link Routes}, other than "over the limit"
     * and "no route", which are no exceptions there.
     *
     * @param method the method the caller called
     * @param code the native call's code: one of {@code getRouteFlight}'s, or {@link
     *     #ROUTE_BOOKING_REFUSED}
     * @param from the departure airport the caller gave
     * @param to the arrival airport the caller gave
     * @return the exception
     */
    static RouteException routeRefusal(String method, int code, int from, int to) {
        if (code == ROUTE_BOOKING_REFUSED) {
            return new RouteException(method, NativeCall.ARMORING_TICKETS, aggregateFiting.BOOKING_REFUSED, 0);
        }
        int airport = code == aggregateFiting.UNKNOWN_ARRIVAL ? to : from;
        return new RouteException(method, NativeCall.GET_ROUTE_FLIGHT, code, airport);
    }

    /**
     * Makes the exception of a rule; called by the native code, which then throws it.
     *
     * @param rule the rule's number
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param a the rule's first number
     * @param b the rule's second number
     * @param c the rule's third number
     * @return the exception
     */
    static NetworkException refusal(int rule, String call, long index, boolean flightItem, long a, long b,
            long c) {
        int at = (int) index;
        switch (rule) {
            case UNKNOWN_AIRPORT:
                return new UnknownAirportException(call, at, flightItem, (int) a);
            case AIRPORT_TAKEN:
                return new AirportTakenException(call, at, flightItem, (int) a);
            case FLIGHT_TAKEN:
                return new FlightTakenException(call, at, flightItem, (int) a, (int) b);
            case SAME_AIRPORTS:
                return new SameAirportsException(call, at, flightItem, (int) a, (int) b);
            case BOOKED_OUT:
                return new BookedOutException(call, at, flightItem, (int) a, (int) b);
            case NO_FREE_SEATS:
                return new NoFreeSeatsException(call, (int) a, (int) b, (int) c);
            case SEATS_BELOW_SOLD:
                return new SeatsBelowSoldException(call, (int) a, (int) b, (int) c);
            case UNKNOWN_FLIGHT:
                return new UnknownFlightException(call, (int) a, (int) b);
            case UNKNOWN_BOOKING:
                return new UnknownBookingException(call, a);
            case KEY_REUSED:
                return new RequestKeyReusedException(call, a);
            case NO_ROUTE:
                return new NoRouteException(call, (int) a, (int) b, (int) c);
            default:
                throw new IllegalStateException("the library refused " + call + " by rule " + rule
                        + ", which this version of the Java classes does not know");
        }
    }
}
