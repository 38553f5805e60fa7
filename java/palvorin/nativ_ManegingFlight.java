package palvorin;

/**
 * Edits the flight network held by the native library {@code tavrik}.
 *
 * <p>Every method returns a result code: {@link #OK}, {@link #NO_STORE} or {@link #REFUSED}.
 * Names are stored as given and come back unchanged in reports. A null name throws
 * {@link NullPointerException}; if the library runs out of native memory the call throws
 * {@link OutOfMemoryError} and the network is unchanged. Calls from several threads are safe.
 *
 * <p>The library is found on {@code java.library.path}: start the JVM with
 * {@code -Djava.library.path=<folder holding libtavrik.so>}.
 */
public final class nativ_ManegingFlight {
    /** The change was made (or, for {@code removeAirport}, there was nothing to remove). */
    public static final int OK = 0;
    /** The service has no data store (never the case once the library is loaded). */
    public static final int NO_STORE = -1;
    /** The network refused the change and is as it was. */
    public static final int REFUSED = -2;

    static {
        System.loadLibrary("tavrik");
    }

    private nativ_ManegingFlight() {}

    /** Adds an airport; {@link #REFUSED} if the number is taken. */
    public static native int addAirport(int airport, String name);

    /**
     * Adds a flight from {@code from} to {@code to}; {@link #REFUSED} if either airport is missing,
     * the two are the same, or either airport already has a flight with this number.
     */
    public static native int addFlight(String name, int flight, int days, int from, int to);

    /** Removes a flight, named by either of its airports; {@link #REFUSED} if there is none. */
    public static native int removeFlight(int airport, int flight);

    /** Removes an airport and every flight to or from it; {@link #OK} also when it is absent. */
    public static native int removeAirport(int airport);

    /** Loads the library (it is also loaded by the first use of this class). */
    public static void load() {}
}
