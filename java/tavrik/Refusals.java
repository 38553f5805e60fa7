package tavrik;

import palvorin.aggregateFiting;
import tavrik.RouteQueryException.Problem;

/**
 * The one place where the library's refusals become Java exceptions: the typed calls' rules
 * ({@link #refusal}, called by the native code) and the whole-route calls' result codes ({@link
 * #routeRefusal}). The codes' meanings in words are {@link NativeCall}'s. Adding a rule is one
 * value of the C++ {@code tavrik::Rule}, one case here and one exception class; a rule that
 * refuses a route query as asked is instead a {@link RouteQueryException.Problem} with its case
 * in {@link #queryProblem} and its words in {@link #inWords}.
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
        Problem problem = queryProblem(rule);
        if (problem != null) return new RouteQueryException(call, problem, a, inWords(problem, a, b));
        int at = (int) index;
        return switch (rule) {
            case UNKNOWN_AIRPORT -> new UnknownAirportException(call, at, flightItem, (int) a);
            case AIRPORT_TAKEN -> new AirportTakenException(call, at, flightItem, (int) a);
            case FLIGHT_TAKEN -> new FlightTakenException(call, at, flightItem, (int) a, (int) b);
            case SAME_AIRPORTS -> new SameAirportsException(call, at, flightItem, (int) a, (int) b);
            case BOOKED_OUT -> new BookedOutException(call, at, flightItem, (int) a, (int) b);
            case NO_FREE_SEATS -> new NoFreeSeatsException(call, (int) a, (int) b, (int) c);
            case SEATS_BELOW_SOLD -> new SeatsBelowSoldException(call, (int) a, (int) b, (int) c);
            case UNKNOWN_FLIGHT -> new UnknownFlightException(call, (int) a, (int) b);
            case UNKNOWN_BOOKING -> new UnknownBookingException(call, a);
            case KEY_REUSED -> new RequestKeyReusedException(call, a);
            case NO_ROUTE -> new NoRouteException(call, (int) a, (int) b, (int) c);
            case NEGATIVE_LOOP -> new NegativeLoopException(call, (int) a);
            default -> throw new IllegalStateException("the library refused " + call + " by rule " + rule
                    + ", which this version of the Java classes does not know");
        };
    }

    /** The problem of a rule that refuses a route query as it was asked; null for any other rule. */
    private static Problem queryProblem(int rule) {
        return switch (rule) {
            case ALTERNATIVES_COUNT -> Problem.ALTERNATIVES_COUNT;
            case VIA_IS_END -> Problem.VIA_IS_END;
            case AVOIDED_END -> Problem.AVOIDED_END;
            case NEGATIVE_LEG_LIMIT -> Problem.NEGATIVE_LEG_LIMIT;
            case NEGATIVE_REACH_DAYS -> Problem.NEGATIVE_REACH_DAYS;
            case VIA_IN_REACH -> Problem.VIA_IN_REACH;
            case UNKNOWN_FLIGHT_NUMBER -> Problem.UNKNOWN_FLIGHT_NUMBER;
            case NO_END_AIRPORTS -> Problem.NO_END_AIRPORTS;
            case PASSENGER_COUNT -> Problem.PASSENGER_COUNT;
            default -> null;
        };
    }

    /** A refused query's message: the problem with the rule's value {@code a} (and limit {@code b}). */
    private static String inWords(Problem problem, long a, long b) {
        return switch (problem) {
            case ALTERNATIVES_COUNT -> a + " alternatives asked for; 1 to " + b + " may be";
            case VIA_IS_END -> "airport " + a + " to pass through is also a departure or arrival airport";
            case AVOIDED_END -> "airport " + a + " is avoided and also a departure, arrival or airport to pass through";
            case NEGATIVE_LEG_LIMIT -> "leg limit " + a + " is negative";
            case NEGATIVE_REACH_DAYS -> "day count " + a + " of a reach is negative";
            case VIA_IN_REACH -> "a reach takes no airport to pass through (airport " + a + " given)";
            case UNKNOWN_FLIGHT_NUMBER -> "no flight has number " + a;
            case NO_END_AIRPORTS -> a == 0 ? "no departure airport given" : "no arrival airport given";
            case PASSENGER_COUNT -> "the number of passengers " + a + " is below 1";
        };
    }
}
