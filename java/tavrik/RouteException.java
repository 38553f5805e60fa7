package tavrik;

/**
 * Thrown by {@link Routes} when the library refuses a route for another reason than there
 * being none within the day limit: an airport that is not in the network, a booking refused
 * because a flight's booked count is at its largest, or (never once the library is loaded) a
 * missing service. {@link #method()} and the message name the method the caller called; the
 * message gives the code's meaning in words (from {@link NativeCall#describe}) and, for an
 * unknown airport, its number: {@code "fitAndBook: getRouteFlight returned -5: unknown departure
 * 99"}.
 */
public final class RouteException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The call that was refused. */
    private final NativeCall call;
    /** Its result code. */
    private final int code;
    /** The unknown airport, or 0. */
    private final int airport;

    /**
     * Makes an exception for a refused call.
     *
     * @param call the call that returned the code; also the method named by {@link #method()}
     * @param code the result code
     */
    public RouteException(NativeCall call, int code) {
        this(call.methodName(), call, code, 0);
    }

    /**
     * Makes an exception for a code returned inside another method, for example {@link
     * Routes#fitAndBook}.
     *
     * @param method the method the caller called, for example {@code "fitAndBook"}
     * @param call the call whose code it is
     * @param code the result code
     * @param airport for codes -5 and -6 of {@link NativeCall#GET_ROUTE_FLIGHT}, the airport that
     *     is not in the network; else ignored
     */
    public RouteException(String method, NativeCall call, int code, int airport) {
        super(method, -1, false, (method.equals(call.methodName()) ? "" : call.methodName() + " ")
                + "returned " + code + ": " + call.describe(code)
                + (unknownAirport(call, code) ? " " + airport : ""));
        this.call = call;
        this.code = code;
        this.airport = unknownAirport(call, code) ? airport : 0;
    }

    private static boolean unknownAirport(NativeCall call, int code) {
        return call == NativeCall.GET_ROUTE_FLIGHT && (code == -5 || code == -6);
    }

    /**
     * The call that was refused.
     *
     * @return the call whose code this is: {@link NativeCall#GET_ROUTE_FLIGHT} for a route
     *     refused by {@link Routes}, {@link NativeCall#ARMORING_TICKETS} for a booking refused by
     *     {@link Routes#fitAndBook}
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

    /**
     * The airport that is not in the network, for codes -5 and -6 of a route query.
     *
     * @return its number, or 0 for other codes
     */
    public int airport() {
        return airport;
    }
}
