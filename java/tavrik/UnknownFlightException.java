package tavrik;

/**
 * A call named a flight that the airport does not have, or a leg whose number now names a flight
 * between other airports than the leg's.
 */
public final class UnknownFlightException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The flight number. */
    private final int flight;
    /** The airport named with the flight. */
    private final int airport;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param flight the flight's number
     * @param airport the airport named with it
     */
    public UnknownFlightException(String call, int flight, int airport) {
        super(call, -1, false, "airport " + airport + " has no flight " + flight + " of that route");
        this.flight = flight;
        this.airport = airport;
    }

    /** @return the flight's number */
    public int flight() {
        return flight;
    }

    /** @return the airport named with it */
    public int airport() {
        return airport;
    }
}
