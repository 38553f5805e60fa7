package palvorin;

/**
 * Edits the flight network held by the native library {@code tavrik}.
 *
 * <p>Every method returns a result code: {@link #OK}, {@link #NO_STORE} or {@link #REFUSED}.
 * Names are stored as given and come back unchanged in reports. A null name throws
 * {@link NullPointerException}; if the library runs out of native memory the call throws
 * {@link OutOfMemoryError} and the network is unchanged. Calls from several threads are safe.
 *
 * <p>The first use of this class loads the library through {@link tavrik.NativeLibrary#load()}:
 * from {@code java.library.path} when it is installed there, else the copy inside the tavrik jar.
 */
public final class nativ_ManegingFlight {
    /** The change was made (or, for {@code removeAirport}, there was nothing to remove). */
    public static final int OK = 0;
    /** The service has no data store (never the case once the library is loaded). */
    public static final int NO_STORE = -1;
    /** The network refused the change and is as it was. */
    public static final int REFUSED = -2;

    static {
        tavrik.NativeLibrary.load();
    }

    private nativ_ManegingFlight() {}

    /**
     * Adds an airport.
     *
     * @param airport the airport's number
     * @param name its name, kept as given
     * @return {@link #OK}; {@link #REFUSED} if the number is taken
     */
    public static native int addAirport(int airport, String name);

    /**
     * Adds a flight from {@code from} to {@code to}.
     *
     * @param name the flight's name, kept as given
     * @param flight the flight's number
     * @param days how many days the flight takes
     * @param from the number of the departure airport
     * @param to the number of the arrival airport
     * @return {@link #OK}; {@link #REFUSED} if either airport is missing, the two are the same, or
     *     either airport already has a flight with this number
     */
    public static native int addFlight(String name, int flight, int days, int from, int to);

    /**
     * Removes a flight, named by either of its airports, from both of them.
     *
     * @param airport the number of either airport of the flight
     * @param flight the flight's number
     * @return {@link #OK}; {@link #REFUSED} if there is no such airport or flight
     */
    public static native int removeFlight(int airport, int flight);

    /**
     * Removes an airport and every flight to or from it.
     *
     * @param airport the airport's number
     * @return {@link #OK}, also when there was no such airport
     */
    public static native int removeAirport(int airport);

    /** Loads the library (it is also loaded by the first use of this class). */
    public static void load() {}
}
