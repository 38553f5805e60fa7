package tavrik;

/**
 * A refusal about one flight at one airport: the flight's number and the airport concerned
 * (what the airport is to the refusal, each subclass says). Catch this class to handle any of
 * them alike.
 */
public abstract class FlightException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The flight number. */
    private final int flight;
    /** The airport concerned. */
    private final int airport;

    /**
     * Makes an exception for a refused call.
     *
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param flight the flight's number
     * @param airport the airport concerned
     * @param rule the rule and its numbers in words
     */
    protected FlightException(String call, int index, boolean flightItem, int flight, int airport, String rule) {
        super(call, index, flightItem, rule);
        this.flight = flight;
        this.airport = airport;
    }

    /**
     * The flight's number.
     *
     * @return the number
     */
    public int flight() {
        return flight;
    }

    /**
     * The airport concerned; the subclass says what it is to the refusal.
     *
     * @return its number
     */
    public int airport() {
        return airport;
    }
}
