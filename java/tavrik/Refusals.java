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
    /** The route choices' rules: {@code tavrik::Rule::AlternativesCount} to {@code PassengerCount}. */
    static final int ALTERNATIVES_COUNT = 40;
    static final int VIA_IS_END = 41;
    static final int AVOIDED_END = 42;
    static final int NEGATIVE_LEG_LIMIT = 43;
    static final int NEGATIVE_REACH_DAYS = 44;
    static final int VIA_IN_REACH = 45;
    static final int UNKNOWN_FLIGHT_NUMBER = 46;
    static final int NO_END_AIRPORTS = 47;
    static final int NEGATIVE_LOOP = 48;
    static final int PASSENGER_COUNT = 49;

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
            case ALTERNATIVES_COUNT:
                return query(call, RouteQueryException.Problem.ALTERNATIVES_COUNT, a,
                        a + " alternatives asked for; 1 to " + b + " may be");
            case VIA_IS_END:
                return query(call, RouteQueryException.Problem.VIA_IS_END, a,
                        "airport " + a + " to pass through is also a departure or arrival airport");
            case AVOIDED_END:
                return query(call, RouteQueryException.Problem.AVOIDED_END, a,
                        "airport " + a + " is avoided and also a departure, arrival or airport to pass through");
            case NEGATIVE_LEG_LIMIT:
                return query(call, RouteQueryException.Problem.NEGATIVE_LEG_LIMIT, a,
                        "leg limit " + a + " is negative");
            case NEGATIVE_REACH_DAYS:
                return query(call, RouteQueryException.Problem.NEGATIVE_REACH_DAYS, a,
                        "day count " + a + " of a reach is negative");
            case VIA_IN_REACH:
                return query(call, RouteQueryException.Problem.VIA_IN_REACH, a,
                        "a reach takes no airport to pass through (airport " + a + " given)");
            case UNKNOWN_FLIGHT_NUMBER:
                return query(call, RouteQueryException.Problem.UNKNOWN_FLIGHT_NUMBER, a,
                        "no flight has number " + a);
            case NO_END_AIRPORTS:
                return query(call, RouteQueryException.Problem.NO_END_AIRPORTS, a,
                        a == 0 ? "no departure airport given" : "no arrival airport given");
            case NEGATIVE_LOOP:
                return new NegativeLoopException(call, (int) a);
            case PASSENGER_COUNT:
                return query(call, RouteQueryException.Problem.PASSENGER_COUNT, a,
                        "the number of passengers " + a + " is below 1");
            default:
                throw new IllegalStateException("the library refused " + call + " by rule " + rule
                        + ", which this version of the Java classes does not know");
        }
    }

    private static RouteQueryException query(String call, RouteQueryException.Problem problem, long value,
            String words) {
        return new RouteQueryException(call, problem, value, words);
    }
}
