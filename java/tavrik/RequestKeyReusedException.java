package tavrik;

/**
 * A request key was given again with another request (another route, limit or passenger count)
 * than the one it was first given with; nothing was booked.
 */
public final class RequestKeyReusedException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The booking id. */
    private final long booking;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param booking the booking the key was first given for
     */
    public RequestKeyReusedException(String call, long booking) {
        super(call, -1, false, "the request key was given for booking " + booking + " with another request");
        this.booking = booking;
    }

    /** @return the booking the key was first given for */
    public long booking() {
        return booking;
    }
}
