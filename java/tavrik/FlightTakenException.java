package tavrik;

/**
 * A flight was added under a number that one of its two airports already has: a flight number
 * names at most one flight at each airport.
 */
public final class FlightTakenException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The flight number. */
    private final int flight;
    /** The airport that already has a flight with it. */
    private final int airport;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param flight the flight number that is taken
     * @param airport the airport that already has a flight with that number
     */
    public FlightTakenException(String call, int index, boolean flightItem, int flight, int airport) {
        super(call, index, flightItem, "flight number " + flight + " is taken at airport " + airport);
        this.flight = flight;
        this.airport = airport;
    }

    /**
     * The flight number that is taken.
     *
     * @return the number
     */
    public int flight() {
        return flight;
    }

    /**
     * The airport that already has a flight with this number.
     *
     * @return its number (the departure airport when both have one)
     */
    public int airport() {
        return airport;
    }
}
