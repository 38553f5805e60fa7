package tavrik;

/** An airport was added under a number that another airport of the network has. */
public final class AirportTakenException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The airport number that is taken. */
    private final int airport;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param index the refused item's position in a batch load, or -1
     * @param flightItem whether the refused batch item is a flight
     * @param airport the airport number that is taken
     */
    public AirportTakenException(String call, int index, boolean flightItem, int airport) {
        super(call, index, flightItem, "airport number " + airport + " is taken");
        this.airport = airport;
    }

    /**
     * The airport number that is taken.
     *
     * @return the number
     */
    public int airport() {
        return airport;
    }
}
