package tavrik;

/**
 * A route query met a loop of flights whose day counts sum below zero on the way from a
 * departure to an arrival airport. Routes never pass an airport twice, and the fewest-days
 * route that does not is then as hard to find as a longest path, so the query is refused; loops
 * summing to zero or more never matter. {@link #airport()} is an airport where the loop shows.
 */
public final class NegativeLoopException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** An airport where the loop shows. */
    private final int airport;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param airport an airport on or leading to the loop
     */
    NegativeLoopException(String call, int airport) {
        super(call, -1, false, "a loop of negative total days at airport " + airport + " lies on the way");
        this.airport = airport;
    }

    /**
     * An airport where the loop shows.
     *
     * @return its number
     */
    public int airport() {
        return airport;
    }
}
