package tavrik;

/** A call named a booking id that the network never gave out. */
public final class UnknownBookingException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The booking id. */
    private final long booking;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param booking the id
     */
    public UnknownBookingException(String call, long booking) {
        super(call, -1, false, "unknown booking " + booking);
        this.booking = booking;
    }

    /** @return the id */
    public long booking() {
        return booking;
    }
}
