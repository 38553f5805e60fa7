package tavrik;

/**
 * A {@link RouteQuery} asked for something that cannot be answered: a value out of range, or an
 * airport given two roles that exclude each other. {@link #problem()} says which, {@link
 * #value()} is the value concerned. Nothing is changed by a refused query.
 */
public final class RouteQueryException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** What is wrong with the query. */
    public enum Problem {
        /** The number of alternatives is not between 1 and {@link RouteQuery#MAX_ALTERNATIVES}. */
        ALTERNATIVES_COUNT,
        /** The airport to pass through is also a departure or arrival airport. */
        VIA_IS_END,
        /** An avoided airport is also a departure, arrival or the airport to pass through. */
        AVOIDED_END,
        /** The leg limit is negative. */
        NEGATIVE_LEG_LIMIT,
        /** The day count of a reach is negative. */
        NEGATIVE_REACH_DAYS,
        /** A reach was given an airport to pass through. */
        VIA_IN_REACH,
        /** An avoided flight number is not the number of any flight. */
        UNKNOWN_FLIGHT_NUMBER,
        /** No departure airport (value 0) or no arrival airport (value 1) was given. */
        NO_END_AIRPORTS,
        /** The number of passengers is below 1. */
        PASSENGER_COUNT
    }

    /** What is wrong with the query. */
    private final Problem problem;
    /** The value concerned. */
    private final long value;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param problem what is wrong
     * @param value the value concerned
     * @param words the problem and the value in words
     */
    RouteQueryException(String call, Problem problem, long value, String words) {
        super(call, -1, false, words);
        this.problem = problem;
        this.value = value;
    }

    /**
     * What is wrong with the query.
     *
     * @return the problem
     */
    public Problem problem() {
        return problem;
    }

    /**
     * The value concerned: the count, airport, leg limit, day count, flight number or
     * number of passengers.
     *
     * @return the value
     */
    public long value() {
        return value;
    }
}
