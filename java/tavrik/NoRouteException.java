package tavrik;

/**
 * A fit-and-book found no route within the limit over flights with enough free seats; nothing
 * was booked.
 */
public final class NoRouteException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The departure airport. */
    private final int from;
    /** The arrival airport. */
    private final int to;
    /** The seats asked for on every leg. */
    private final int passengers;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param from the departure airport
     * @param to the arrival airport
     * @param passengers the seats asked for on every leg
     */
    public NoRouteException(String call, int from, int to, int passengers) {
        super(call, -1, false, "no route from airport " + from + " to airport " + to
                + " within the limit over flights with " + passengers + " free seats");
        this.from = from;
        this.to = to;
        this.passengers = passengers;
    }

    /** @return the departure airport */
    public int from() {
        return from;
    }

    /** @return the arrival airport */
    public int to() {
        return to;
    }

    /** @return the seats asked for on every leg */
    public int passengers() {
        return passengers;
    }
}
