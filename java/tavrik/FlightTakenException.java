package tavrik;

/**
 * A flight was added under a number that one of its two airports already has: a flight number
 * names at most one flight at each airport. {@link #airport()} is the airport that already has a
 * flight with this number (the departure airport when both have one).
 */
public final class FlightTakenException extends FlightException {
    private static final long serialVersionUID = 1L;

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
        super(call, index, flightItem, flight, airport, "flight number " + flight + " is taken at airport " + airport);
    }
}
