package tavrik;

/**
 * The native methods behind {@link Network}'s seats and bookings. Each takes the address of an
 * open network, which the caller holds open for the length of the call.
 */
final class NetworkSeats {
    private NetworkSeats() {}

    static native void nativeSetSeats(long address, int airport, int flight, int seats);

    /** The capacity in the high 32 bits, the seats sold in the low ones. */
    static native long nativeSeats(long address, int airport, int flight);

    /** Answers as Network's nativeFit. */
    static native int nativeFitFor(long address, int maxDays, int from, int to, int passengers, LegCollector legs);

    static native void nativeBook(long address, int[] flights, int[] from, int[] to, int passengers,
            String requestKey, BookingCollector booking);

    static native void nativeFitAndBook(long address, int maxDays, int from, int to, int passengers,
            String requestKey, BookingCollector booking);

    static native boolean nativeCancel(long address, long booking);

    static native void nativeBooking(long address, long booking, BookingCollector collector);

    static native void nativeBookings(long address, int airport, int flight, BookingCollector bookings);
}
