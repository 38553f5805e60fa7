package tavrik;

/**
 * The one place where the library's refusals become Java exceptions. The native code calls
 * {@link #refusal} with the rule's number (its order in the C++ {@code tavrik::Rule}) and the
 * numbers it concerns; adding a rule is one case here and one exception class.
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

    /**
     * Makes the exception of a rule; called by the native code, which then throws it.
     *
     * @param rule the rule's number
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param a the rule's first number
     * @param b the rule's second number
     * @return the exception
     */
    static NetworkException refusal(int rule, String call, long index, boolean flightItem, long a, long b) {
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
            default:
                throw new IllegalStateException("the library refused " + call + " by rule " + rule
                        + ", which this version of the Java classes does not know");
        }
    }
}
