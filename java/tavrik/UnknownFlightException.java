package tavrik;

/**
 * A call named a flight that the airport does not have, or a leg whose number now names a flight
 * between other airports than the leg's; {@link #airport()} is the airport named with the flight.
 */
public final class UnknownFlightException extends FlightException {
    private static final long serialVersionUID = 1L;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param flight the flight's number
     * @param airport the airport named with it
     */
    public UnknownFlightException(String call, int flight, int airport) {
        super(call, -1, false, flight, airport, "airport " + airport + " has no flight " + flight + " of that route");
    }
}
