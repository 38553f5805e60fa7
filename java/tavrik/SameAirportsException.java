package tavrik;

/** A flight was added whose departure and arrival airports are the same. */
public final class SameAirportsException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The flight number. */
    private final int flight;
    /** The airport given as both ends. */
    private final int airport;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param flight the flight's number
     * @param airport the airport given as both departure and arrival
     */
    public SameAirportsException(String call, int index, boolean flightItem, int flight, int airport) {
        super(call, index, flightItem, "flight " + flight + " would leave and reach the same airport " + airport);
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
     * The airport given as both departure and arrival.
     *
     * @return its number
     */
    public int airport() {
        return airport;
    }
}
