package tavrik;

/**
 * A booking was refused because a flight's booked count is at its largest value; nothing was
 * booked.
 */
public final class BookedOutException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The flight number. */
    private final int flight;
    /** The airport whose entry of the flight is full. */
    private final int airport;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param flight the flight's number
     * @param airport the airport whose entry of the flight has its largest booked count
     */
    public BookedOutException(String call, int index, boolean flightItem, int flight, int airport) {
        super(call, index, flightItem, "flight " + flight + " at airport " + airport
                + " is booked as often as a count can hold");
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
     * The airport whose entry of the flight is full.
     *
     * @return its number
     */
    public int airport() {
        return airport;
    }
}
