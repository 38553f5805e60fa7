package tavrik;

/**
 * Thrown by {@link Routes} when the library refuses a route for another reason than there
 * being none within the day limit: an airport that is not in the network ({@code
 * getRouteFlight}'s -5 and -6), a booking refused by {@link Routes#fitAndBook} (its -5: a flight
 * of the route already has the largest booked count; nothing was booked), or (never once the
 * library is loaded) a missing service. The message gives the code's meaning in words.
 */
public final class RouteException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** The call that was refused. */
    private final NativeCall call;
    /** Its result code. */
    private final int code;

    /**
     * Makes an exception for a refused call.
     *
     * @param call the call that returned the code
     * @param code the result code
     */
    public RouteException(NativeCall call, int code) {
        super(call.methodName() + " returned " + code + ": " + call.describe(code));
        this.call = call;
        this.code = code;
    }

    /**
     * The call that was refused.
     *
     * @return the call
     */
    public NativeCall call() {
        return call;
    }

    /**
     * The result code of the call.
     *
     * @return the code, as {@link NativeCall#describe} reads it
     */
    public int code() {
        return code;
    }
}
