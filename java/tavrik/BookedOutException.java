package tavrik;

/**
 * A booking was refused because a flight's booked count is at its largest value; nothing was
 * booked. {@link #airport()} is the airport whose entry of the flight is full.
 */
public final class BookedOutException extends FlightException {
    private static final long serialVersionUID = 1L;

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
        super(call, index, flightItem, flight, airport, "flight " + flight + " at airport " + airport
                + " is booked as often as a count can hold");
    }
}
