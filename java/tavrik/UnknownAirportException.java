package tavrik;

/** A call named an airport that is not in the network. */
public final class UnknownAirportException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The airport that is not in the network. */
    private final int airport;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param airport the airport that is not in the network
     */
    public UnknownAirportException(String call, int index, boolean flightItem, int airport) {
        super(call, index, flightItem, "unknown airport " + airport);
        this.airport = airport;
    }

    /**
     * The airport that is not in the network.
     *
     * @return its number
     */
    public int airport() {
        return airport;
    }
}
