package tavrik;

/**
 * A flight was added whose departure and arrival airports are the same; {@link #airport()} is
 * that airport.
 */
public final class SameAirportsException extends FlightException {
    private static final long serialVersionUID = 1L;

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
        super(call, index, flightItem, flight, airport,
                "flight " + flight + " would leave and reach the same airport " + airport);
    }
}
