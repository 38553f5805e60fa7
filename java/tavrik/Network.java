package tavrik;

import java.lang.ref.Cleaner;
import java.lang.ref.Reference;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Objects;
import java.util.Optional;
import java.util.SortedMap;
import java.util.TreeMap;
import java.util.concurrent.locks.ReentrantReadWriteLock;

/**
 * One flight network held in native memory: airports, flights between them, their booked
 * counts, and the route search on them.
 *
 * <p>Any number of networks may exist; each is independent of the others (its own airports,
 * flights, bookings, locks and route search), and calls on different networks never wait for
 * each other. {@link #shared()} is the network that the host classes ({@code palvorin.*}) work
 * on. Every method is safe to call from several threads: reads and route queries run in
 * parallel, edits run alone, and every call behaves as if the calls ran one at a time.
 *
 * <pre>{@code
 * try (Network network = new Network()) {
 *     network.load(new Network.Batch()
 *             .airport(1, "Oslo").airport(2, "Rome").airport(3, "Lima")
 *             .flight(10, "OR", 2, 1, 2).flight(11, "RL", 4, 2, 3));
 *     FitAnswer answer = network.fit(5, 1, 3);     // over the limit: needs 6 days
 *     System.out.println(answer);
 * }
 * }</pre>
 *
 * <p>A refused edit throws a {@link NetworkException} that names the rule and the numbers, and
 * leaves the network as it was. Removing something that is not there is not an error: {@link
 * #removeAirport} and {@link #removeFlight} return false.
 *
 * <p>{@link #close()} frees the native memory at once; after it, every call throws {@link
 * IllegalStateException}. A call that races with {@code close} on another thread either
 * completes before the memory is freed or throws that exception. A network that is never
 * closed is freed once it is unreachable.
 */
public final class Network implements AutoCloseable {
    static {
        NativeLibrary.load();
    }

    /** The cleaner of networks that were never closed; made at the first network. */
    private static final class Cleaning {
        static final Cleaner CLEANER = Cleaner.create();
    }

    /** The shared network's object, made at the first call of {@link #shared()}. */
    private static final class Shared {
        static final Network NETWORK = new Network(nativeShared(), true);
    }

    /**
     * The native network and whether it is still open. It refers to no Network object, so the
     * cleaner can free it once the object is unreachable.
     */
    private static final class Handle implements Runnable {
        final long address;
        final boolean shared;
        /** Held shared by every call, exclusively by close. */
        final ReentrantReadWriteLock lock = new ReentrantReadWriteLock();
        /** Written under the exclusive hold, read under the shared one. */
        boolean closed;

        Handle(long address, boolean shared) {
            this.address = address;
            this.shared = shared;
        }

        /** Frees the native network: called once, by close or by the cleaner. */
        @Override
        public void run() {
            nativeFree(address);
        }
    }

    private final Handle handle;
    private final Cleaner.Cleanable cleanable;

    /**
     * Makes an empty network.
     *
     * @throws OutOfMemoryError if the library runs out of native memory
     */
    public Network() {
        this(nativeCreate(), false);
    }

    /**
     * Opens the network kept in a folder, or makes an empty one there when the folder holds
     * none (the folder itself is made when absent; its parent must exist). Every change that
     * returns normally is recorded in the folder before the call returns (see {@link
     * Durability}), so that opening the folder again gives back the same airports, flights,
     * seats, bookings with their ids and request keys, and the same answers. A torn record at
     * the journal's end (a change whose call never returned) is dropped; a folder used by
     * another open network, of this process or another one, is refused with the holder's
     * process id. {@link #close()} syncs and releases the folder.
     *
     * @param folder the folder
     * @param durability what an acknowledged change survives
     * @return the network
     * @throws StorageException if the folder cannot be used: not a folder, unreadable, on a
     *     read-only file system, in use, written by a newer format version, holding a journal of
     *     another network, or damaged (the message names the file and the offset; nothing in the
     *     folder is changed)
     * @throws OutOfMemoryError if the library runs out of native memory
     */
    public static Network open(java.nio.file.Path folder, Durability durability) {
        java.util.Objects.requireNonNull(folder, "folder is null");
        java.util.Objects.requireNonNull(durability, "durability is null");
        byte[] path = folder.toString().getBytes(java.nio.charset.StandardCharsets.UTF_8);
        return new Network(nativeOpen(path, durability == Durability.FULL), false);
    }

    /**
     * Writes a snapshot of the whole network into its folder and starts a new journal, so that
     * the next opening reads the snapshot and only the changes made after it. Changes wait while
     * it runs; reads go on. When it fails, the previous snapshot and journal stay in use.
     *
     * @throws IllegalStateException if the network is closed or not kept in a folder
     * @throws StorageException if the snapshot could not be written
     */
    public void checkpoint() {
        long address = enter();
        try {
            nativeCheckpoint(address);
        } finally {
            leave();
        }
    }

    private Network(long address, boolean shared) {
        handle = new Handle(address, shared);
        cleanable = shared ? null : Cleaning.CLEANER.register(this, handle);
    }

    /**
     * The network that the host classes ({@code palvorin.nativ_ManegingFlight}, {@code
     * palvorin.aggregateFiting}, {@code palvorin.airport.AirportFrame}) and {@link Routes} work
     * on: edits through either side are seen by the other. It cannot be closed.
     *
     * @return the shared network
     */
    public static Network shared() {
        return Shared.NETWORK;
    }

    /**
     * Frees the network's native memory. Later calls throw {@link IllegalStateException}; a
     * second {@code close} does nothing. Waits for calls in progress on other threads to end.
     *
     * @throws UnsupportedOperationException on the {@linkplain #shared() shared} network
     */
    @Override
    public void close() {
        if (handle.shared) {
            throw new UnsupportedOperationException("the shared network cannot be closed");
        }
        ReentrantReadWriteLock.WriteLock exclusive = handle.lock.writeLock();
        exclusive.lock();
        try {
            if (handle.closed) {
                return;
            }
            handle.closed = true;
        } finally {
            exclusive.unlock();
        }
        cleanable.clean();
    }

    /**
     * Whether {@link #close()} has been called.
     *
     * @return true once the network is closed
     */
    public boolean isClosed() {
        ReentrantReadWriteLock.ReadLock shared = handle.lock.readLock();
        shared.lock();
        try {
            return handle.closed;
        } finally {
            shared.unlock();
        }
    }

    /** Holds the network open for one call, or throws if it is closed. */
    long enter() {
        ReentrantReadWriteLock.ReadLock shared = handle.lock.readLock();
        shared.lock();
        if (handle.closed) {
            shared.unlock();
            throw new IllegalStateException("the network is closed");
        }
        return handle.address;
    }

    /** Ends a call begun by {@link #enter()}; keeps this object reachable until then. */
    void leave() {
        handle.lock.readLock().unlock();
        Reference.reachabilityFence(this);
    }

    // ---- edits ----

    /**
     * Adds an airport without flights.
     *
     * @param airport the airport's number
     * @param name its name, kept as given
     * @throws AirportTakenException if the network has an airport with this number
     * @throws NullPointerException if {@code name} is null
     * @throws IllegalStateException if the network is closed
     */
    public void addAirport(int airport, String name) {
        long address = enter();
        try {
            nativeAddAirport(address, airport, name);
        } finally {
            leave();
        }
    }

    /**
     * Adds a flight from {@code from} to {@code to}; it is entered in the flight tables of both
     * airports.
     *
     * @param flight the flight's number, unique at each of its two airports
     * @param name its name, kept as given
     * @param days its day count
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @throws UnknownAirportException if {@code from} (checked first) or {@code to} is not in
     *     the network
     * @throws SameAirportsException if {@code from} equals {@code to}
     * @throws FlightTakenException if either airport already has a flight with this number
     * @throws NullPointerException if {@code name} is null
     * @throws IllegalStateException if the network is closed
     */
    public void addFlight(int flight, String name, int days, int from, int to) {
        long address = enter();
        try {
            nativeAddFlight(address, flight, name, days, from, to);
        } finally {
            leave();
        }
    }

    /**
     * Removes a flight, named by either of its airports, from both of them.
     *
     * @param airport the number of either airport of the flight
     * @param flight the flight's number
     * @return true if the flight was removed; false if there was nothing to remove (the airport
     *     is not in the network, or has no flight with this number)
     * @throws IllegalStateException if the network is closed
     */
    public boolean removeFlight(int airport, int flight) {
        long address = enter();
        try {
            return nativeRemoveFlight(address, airport, flight);
        } finally {
            leave();
        }
    }

    /**
     * Removes an airport and every flight to or from it.
     *
     * @param airport the airport's number
     * @return true if the airport was removed; false if there was no such airport
     * @throws IllegalStateException if the network is closed
     */
    public boolean removeAirport(int airport) {
        long address = enter();
        try {
            return nativeRemoveAirport(address, airport);
        } finally {
            leave();
        }
    }

    // ---- loading in one call ----

    /**
     * Adds many airports and flights in one call, all or nothing: every airport of the batch in
     * order, then every flight in order. A flight may join airports of the same batch. If any
     * item is refused, nothing of the batch stays and the exception names the first refused
     * item ({@link NetworkException#index()}, {@link NetworkException#flightItem()}) and its
     * numbers.
     *
     * @param batch the airports and flights
     * @throws AirportTakenException if an airport's number is taken (by the network or by an
     *     earlier airport of the batch)
     * @throws UnknownAirportException if a flight's airport is neither in the network nor in the
     *     batch
     * @throws SameAirportsException if a flight's two airports are the same
     * @throws FlightTakenException if a flight's number is taken at one of its airports
     * @throws NullPointerException if {@code batch} is null
     * @throws IllegalStateException if the network is closed
     * @throws OutOfMemoryError if the library runs out of native memory (nothing stays)
     */
    public void load(Batch batch) {
        Objects.requireNonNull(batch, "batch");
        load(Arrays.copyOf(batch.airports, batch.airportCount),
                Arrays.copyOf(batch.airportNames, batch.airportCount),
                Arrays.copyOf(batch.flights, batch.flightCount),
                Arrays.copyOf(batch.flightNames, batch.flightCount),
                Arrays.copyOf(batch.days, batch.flightCount),
                Arrays.copyOf(batch.from, batch.flightCount),
                Arrays.copyOf(batch.to, batch.flightCount));
    }

    /**
     * Adds many airports and flights in one call, all or nothing, from parallel arrays: airport
     * {@code i} is {@code airports[i]} named {@code airportNames[i]}; flight {@code j} is {@code
     * flights[j]} named {@code flightNames[j]}, taking {@code days[j]} days from {@code from[j]}
     * to {@code to[j]}. The rules are those of {@link #load(Batch)}.
     *
     * @param airports the airports' numbers
     * @param airportNames their names, as long as {@code airports}
     * @param flights the flights' numbers
     * @param flightNames their names, as long as {@code flights}
     * @param days their day counts, as long as {@code flights}
     * @param from their departure airports, as long as {@code flights}
     * @param to their arrival airports, as long as {@code flights}
     * @throws NetworkException as {@link #load(Batch)}; nothing stays
     * @throws NullPointerException if an array or a name is null; nothing is changed
     * @throws IllegalArgumentException if the arrays of airports or of flights differ in length;
     *     nothing is changed
     * @throws IllegalStateException if the network is closed
     * @throws OutOfMemoryError if the library runs out of native memory (nothing stays)
     */
    public void load(int[] airports, String[] airportNames, int[] flights, String[] flightNames,
            int[] days, int[] from, int[] to) {
        Objects.requireNonNull(airports, "airports");
        Objects.requireNonNull(airportNames, "airportNames");
        Objects.requireNonNull(flights, "flights");
        Objects.requireNonNull(flightNames, "flightNames");
        Objects.requireNonNull(days, "days");
        Objects.requireNonNull(from, "from");
        Objects.requireNonNull(to, "to");
        if (airportNames.length != airports.length) {
            throw new IllegalArgumentException("airports: " + airports.length + " numbers but "
                    + airportNames.length + " names");
        }
        int n = flights.length;
        if (flightNames.length != n || days.length != n || from.length != n || to.length != n) {
            throw new IllegalArgumentException("flights: " + n + " numbers, " + flightNames.length
                    + " names, " + days.length + " day counts, " + from.length + " departures, "
                    + to.length + " arrivals");
        }
        requireNames(airportNames, "airportNames");
        requireNames(flightNames, "flightNames");
        long address = enter();
        try {
            nativeLoad(address, airports, airportNames, flights, flightNames, days, from, to);
        } finally {
            leave();
        }
    }

    private static void requireNames(String[] names, String what) {
        for (int i = 0; i < names.length; i++) {
            if (names[i] == null) {
                throw new NullPointerException(what + "[" + i + "] is null");
            }
        }
    }

    /**
     * A new network with the same airports, flights and booked counts as this one, copied as
     * one snapshot; edits of either never touch the other. Close it when done.
     *
     * @return the copy
     * @throws IllegalStateException if this network is closed
     * @throws OutOfMemoryError if the library runs out of native memory
     */
    public Network copy() {
        long address = enter();
        long twin;
        try {
            twin = nativeCopy(address);
        } finally {
            leave();
        }
        return new Network(twin, false);
    }

    // ---- reads ----

    /**
     * Every airport of the network, read as one snapshot.
     *
     * @return airport number to name, in ascending number (unmodifiable)
     * @throws IllegalStateException if the network is closed
     */
    public SortedMap<Integer, String> airports() {
        long address = enter();
        Object[] read;
        try {
            read = nativeAirports(address);
        } finally {
            leave();
        }
        int[] numbers = (int[]) read[0];
        String[] names = (String[]) read[1];
        TreeMap<Integer, String> out = new TreeMap<>();
        for (int i = 0; i < numbers.length; i++) {
            out.put(numbers[i], names[i]);
        }
        return Collections.unmodifiableSortedMap(out);
    }

    /**
     * One airport with its departing and arriving flights, read as one snapshot.
     *
     * @param airport the airport's number
     * @return the airport
     * @throws UnknownAirportException if the airport is not in the network
     * @throws IllegalStateException if the network is closed
     */
    public Airport airport(int airport) {
        FlightCollector flights = new FlightCollector();
        long address = enter();
        String name;
        try {
            name = nativeAirport(address, airport, flights);
        } finally {
            leave();
        }
        return new Airport(airport, name, flights.departing(), flights.arriving());
    }

    /**
     * One flight, as entered in the flight table of one of its airports.
     *
     * @param airport the number of either airport of the flight
     * @param flight the flight's number
     * @return the flight, or empty if the airport has no flight with this number
     * @throws UnknownAirportException if the airport is not in the network
     * @throws IllegalStateException if the network is closed
     */
    public Optional<Flight> flight(int airport, int flight) {
        FlightCollector flights = new FlightCollector();
        long address = enter();
        try {
            nativeFlight(address, airport, flight, flights);
        } finally {
            leave();
        }
        if (!flights.departing().isEmpty()) {
            return Optional.of(flights.departing().get(0));
        }
        return flights.arriving().isEmpty() ? Optional.empty() : Optional.of(flights.arriving().get(0));
    }

    // ---- route queries ----

    /**
     * Fits the route with the fewest days from {@code from} to {@code to}, without booking it,
     * and says why when there is none within the limit.
     *
     * @param maxDays the most days the route may take in all
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @return the route; or "over the limit" with the fewest days that would do; or "no route"
     * @throws UnknownAirportException if {@code from} (checked first) or {@code to} is not in
     *     the network
     * @throws IllegalStateException if the network is closed
     * @throws OutOfMemoryError if the library runs out of native memory
     */
    public FitAnswer fit(int maxDays, int from, int to) {
        LegCollector legs = new LegCollector();
        long address = enter();
        int kind;
        try {
            kind = nativeFit(address, maxDays, from, to, legs);
        } finally {
            leave();
        }
        return answerOf(kind, from, to, legs);
    }

    private static FitAnswer answerOf(int kind, int from, int to, LegCollector legs) {
        switch (kind) {
            case FIT_ROUTE:
                return FitAnswer.route(new Route(from, to, legs.legs()));
            case FIT_OVER_LIMIT:
                return FitAnswer.overLimit(legs.fewestDays, true);
            case FIT_OVER_ANY_LIMIT:
                return FitAnswer.overLimit(0, false);
            default:
                return FitAnswer.noRoute();
        }
    }

    // ---- seats and bookings ----
    //
    // A flight has no limit of seats until it is given one. Seats sold are the flight's booked
    // counts: a booking of N passengers raises both entries of each leg by N, and the host
    // classes' one-seat bookings count against the same capacities. A removed flight takes its
    // capacity along; a later flight with the same number is another flight.

    /**
     * Gives a flight its number of seats for sale, or changes it.
     *
     * @param airport either airport of the flight
     * @param flight the flight's number
     * @param seats the seats for sale, 0 or more
     * @throws IllegalArgumentException if {@code seats} is negative
     * @throws UnknownAirportException if the airport is not in the network
     * @throws UnknownFlightException if the airport has no flight with this number
     * @throws SeatsBelowSoldException if more seats than that are sold already
     * @throws IllegalStateException if the network is closed
     */
    public void setSeats(int airport, int flight, int seats) {
        long address = enter();
        try {
            NetworkSeats.nativeSetSeats(address, airport, flight, seats);
        } finally {
            leave();
        }
    }

    /**
     * Reads the seats of a flight.
     *
     * @param airport either airport of the flight
     * @param flight the flight's number
     * @return its capacity (-1 without a limit) and the seats sold
     * @throws UnknownAirportException if the airport is not in the network
     * @throws UnknownFlightException if the airport has no flight with this number
     * @throws IllegalStateException if the network is closed
     */
    public Seats seats(int airport, int flight) {
        long address = enter();
        long packed;
        try {
            packed = NetworkSeats.nativeSeats(address, airport, flight);
        } finally {
            leave();
        }
        return new Seats((int) (packed >> 32), (int) packed);
    }

    /**
     * Finds the route with the fewest days for {@code passengers} travelling together: as {@link
     * #fit(int, int, int)}, tie rules included, over the flights with at least that many free
     * seats (a flight without a limit always has them).
     *
     * @param maxDays the most days the route may take
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @param passengers the seats needed on every leg, 1 or more
     * @return the route, over the limit (with the fewest days that would do), or no route
     * @throws IllegalArgumentException if {@code passengers} is below 1
     * @throws UnknownAirportException if {@code from} (checked first) or {@code to} is not in
     *     the network
     * @throws IllegalStateException if the network is closed
     */
    public FitAnswer fit(int maxDays, int from, int to, int passengers) {
        LegCollector legs = new LegCollector();
        long address = enter();
        int kind;
        try {
            kind = NetworkSeats.nativeFitFor(address, maxDays, from, to, passengers, legs);
        } finally {
            leave();
        }
        return answerOf(kind, from, to, legs);
    }

    /**
     * Fits a route for {@code passengers} and books it, in one step: no other call sees the
     * route fitted but not booked.
     *
     * @param maxDays the most days the route may take
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @param passengers the seats to take on every leg, 1 or more
     * @return the booking
     * @throws IllegalArgumentException if {@code passengers} is below 1, or {@code from} equals
     *     {@code to}
     * @throws UnknownAirportException if {@code from} (checked first) or {@code to} is not in
     *     the network
     * @throws NoRouteException if no route within {@code maxDays} has the seats
     * @throws BookedOutException if a leg's booked count would pass its largest value
     * @throws IllegalStateException if the network is closed
     */
    public Booking fitAndBook(int maxDays, int from, int to, int passengers) {
        return fitAndBookKeyed(maxDays, from, to, passengers, null);
    }

    /**
     * {@link #fitAndBook(int, int, int, int)} under a request key, which makes a retry harmless:
     * the same key with the same request answers with the booking the key was first given for
     * (even if it was cancelled since) and sells nothing; the same key with another request is
     * refused. A key is kept as long as its booking.
     *
     * @param maxDays the most days the route may take
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @param passengers the seats to take on every leg, 1 or more
     * @param requestKey the request key: 1 to 255 bytes in modified UTF-8 (255 ASCII
     *     characters)
     * @return the booking
     * @throws NullPointerException if {@code requestKey} is null
     * @throws IllegalArgumentException if {@code passengers} is below 1, {@code from} equals
     *     {@code to}, or the key is empty or too long
     * @throws RequestKeyReusedException if the key was given with another request
     * @throws UnknownAirportException if {@code from} or {@code to} is not in the network
     * @throws NoRouteException if no route within {@code maxDays} has the seats
     * @throws BookedOutException if a leg's booked count would pass its largest value
     * @throws IllegalStateException if the network is closed
     */
    public Booking fitAndBook(int maxDays, int from, int to, int passengers, String requestKey) {
        return fitAndBookKeyed(maxDays, from, to, passengers, Objects.requireNonNull(requestKey, "requestKey"));
    }

    private Booking fitAndBookKeyed(int maxDays, int from, int to, int passengers, String requestKey) {
        BookingCollector bookings = new BookingCollector();
        long address = enter();
        try {
            NetworkSeats.nativeFitAndBook(address, maxDays, from, to, passengers, requestKey, bookings);
        } finally {
            leave();
        }
        return bookings.bookings().get(0);
    }

    /**
     * Books {@code passengers} seats on every leg of a route, all legs or none. Each leg must
     * still be the flight it was: its number must name a flight from its departure to its
     * arrival airport.
     *
     * @param route the route, for example one that {@link #fit(int, int, int, int)} found
     * @param passengers the seats to take on every leg, 1 or more
     * @return the booking
     * @throws NullPointerException if {@code route} is null
     * @throws IllegalArgumentException if {@code passengers} is below 1, or the route has no
     *     legs, a leg that does not leave where the one before arrives, or a flight twice
     * @throws UnknownAirportException if a leg's departure is not in the network
     * @throws UnknownFlightException if a leg's flight is gone or its number now names another
     *     flight
     * @throws NoFreeSeatsException if a leg has fewer free seats than passengers
     * @throws BookedOutException if a leg's booked count would pass its largest value
     * @throws IllegalStateException if the network is closed
     */
    public Booking book(Route route, int passengers) {
        return bookKeyed(route, passengers, null);
    }

    /**
     * {@link #book(Route, int)} under a request key (see {@link #fitAndBook(int, int, int, int,
     * String)}): the same key with the same legs and passengers answers with the first booking.
     *
     * @param route the route
     * @param passengers the seats to take on every leg, 1 or more
     * @param requestKey the request key: 1 to 255 bytes in modified UTF-8
     * @return the booking
     * @throws NullPointerException if {@code route} or {@code requestKey} is null
     * @throws IllegalArgumentException as {@link #book(Route, int)}, or if the key is empty or
     *     too long
     * @throws RequestKeyReusedException if the key was given with another request
     * @throws UnknownAirportException as {@link #book(Route, int)}
     * @throws UnknownFlightException as {@link #book(Route, int)}
     * @throws NoFreeSeatsException as {@link #book(Route, int)}
     * @throws BookedOutException as {@link #book(Route, int)}
     * @throws IllegalStateException if the network is closed
     */
    public Booking book(Route route, int passengers, String requestKey) {
        return bookKeyed(route, passengers, Objects.requireNonNull(requestKey, "requestKey"));
    }

    private Booking bookKeyed(Route route, int passengers, String requestKey) {
        List<Leg> legs = Objects.requireNonNull(route, "route").legs();
        int[] flights = new int[legs.size()];
        int[] from = new int[legs.size()];
        int[] to = new int[legs.size()];
        for (int i = 0; i < legs.size(); i++) {
            flights[i] = legs.get(i).flight();
            from[i] = legs.get(i).from();
            to[i] = legs.get(i).to();
        }
        BookingCollector bookings = new BookingCollector();
        long address = enter();
        try {
            NetworkSeats.nativeBook(address, flights, from, to, passengers, requestKey, bookings);
        } finally {
            leave();
        }
        return bookings.bookings().get(0);
    }

    /**
     * Cancels a booking: its seats go back on every leg at once. The legs whose flight was
     * removed since gave their seats up with the flight; a later flight with the same number
     * gets nothing.
     *
     * @param booking the booking's id
     * @return true if the seats were given back now; false if the booking was already cancelled
     *     (nothing changes)
     * @throws UnknownBookingException if the network never gave out this id
     * @throws IllegalStateException if the network is closed
     */
    public boolean cancel(long booking) {
        long address = enter();
        try {
            return NetworkSeats.nativeCancel(address, booking);
        } finally {
            leave();
        }
    }

    /**
     * Reads a booking, live or cancelled.
     *
     * @param booking the booking's id
     * @return the booking as it is now
     * @throws UnknownBookingException if the network never gave out this id
     * @throws IllegalStateException if the network is closed
     */
    public Booking booking(long booking) {
        BookingCollector bookings = new BookingCollector();
        long address = enter();
        try {
            NetworkSeats.nativeBooking(address, booking, bookings);
        } finally {
            leave();
        }
        return bookings.bookings().get(0);
    }

    /**
     * The live bookings that hold seats on a flight.
     *
     * @param airport either airport of the flight
     * @param flight the flight's number
     * @return the bookings in ascending id
     * @throws UnknownAirportException if the airport is not in the network
     * @throws UnknownFlightException if the airport has no flight with this number
     * @throws IllegalStateException if the network is closed
     */
    public List<Booking> bookings(int airport, int flight) {
        BookingCollector bookings = new BookingCollector();
        long address = enter();
        try {
            NetworkSeats.nativeBookings(address, airport, flight, bookings);
        } finally {
            leave();
        }
        return List.copyOf(bookings.bookings());
    }

    /**
     * Starts a route-choice query on this network: the trade-off front, alternatives,
     * constrained fits, several airports as one end, and reach (see {@link RouteQuery}).
     *
     * @return a new query with no ends and no constraints
     */
    public RouteQuery query() {
        return new RouteQuery(this);
    }

    /** nativeFit's answers (the C++ FitAnswer::Kind, and a total beyond an int's limit). */
    private static final int FIT_ROUTE = 0;
    private static final int FIT_OVER_LIMIT = 1;
    private static final int FIT_OVER_ANY_LIMIT = 3;

    /**
     * Airports and flights gathered for one {@link Network#load(Batch)} call. Not safe for use
     * by several threads at once.
     *
     * <pre>{@code
     * Network.Batch batch = new Network.Batch();
     * batch.airport(1, "Oslo").airport(2, "Rome").flight(10, "OR", 2, 1, 2);
     * network.load(batch);
     * }</pre>
     */
    public static final class Batch {
        private int[] airports;
        private String[] airportNames;
        private int airportCount;
        private int[] flights;
        private String[] flightNames;
        private int[] days;
        private int[] from;
        private int[] to;
        private int flightCount;

        /** Makes an empty batch. */
        public Batch() {
            this(16, 16);
        }

        /**
         * Makes an empty batch with room for this many items before it grows.
         *
         * @param airports how many airports are expected
         * @param flights how many flights are expected
         * @throws IllegalArgumentException if a count is negative
         */
        public Batch(int airports, int flights) {
            if (airports < 0 || flights < 0) {
                throw new IllegalArgumentException("negative count: " + airports + " airports, "
                        + flights + " flights");
            }
            this.airports = new int[airports];
            this.airportNames = new String[airports];
            this.flights = new int[flights];
            this.flightNames = new String[flights];
            this.days = new int[flights];
            this.from = new int[flights];
            this.to = new int[flights];
        }

        /**
         * Adds an airport to the batch.
         *
         * @param airport its number
         * @param name its name
         * @return this batch
         * @throws NullPointerException if {@code name} is null
         */
        public Batch airport(int airport, String name) {
            Objects.requireNonNull(name, "name");
            if (airportCount == airports.length) {
                int size = grown(airportCount);
                airports = Arrays.copyOf(airports, size);
                airportNames = Arrays.copyOf(airportNames, size);
            }
            airports[airportCount] = airport;
            airportNames[airportCount] = name;
            airportCount++;
            return this;
        }

        /**
         * Adds a flight to the batch.
         *
         * @param flight its number
         * @param name its name
         * @param days its day count
         * @param from the departure airport's number
         * @param to the arrival airport's number
         * @return this batch
         * @throws NullPointerException if {@code name} is null
         */
        public Batch flight(int flight, String name, int days, int from, int to) {
            Objects.requireNonNull(name, "name");
            if (flightCount == flights.length) {
                int size = grown(flightCount);
                flights = Arrays.copyOf(flights, size);
                flightNames = Arrays.copyOf(flightNames, size);
                this.days = Arrays.copyOf(this.days, size);
                this.from = Arrays.copyOf(this.from, size);
                this.to = Arrays.copyOf(this.to, size);
            }
            flights[flightCount] = flight;
            flightNames[flightCount] = name;
            this.days[flightCount] = days;
            this.from[flightCount] = from;
            this.to[flightCount] = to;
            flightCount++;
            return this;
        }

        /**
         * How many airports the batch holds.
         *
         * @return the count
         */
        public int airportCount() {
            return airportCount;
        }

        /**
         * How many flights the batch holds.
         *
         * @return the count
         */
        public int flightCount() {
            return flightCount;
        }

        private static int grown(int size) {
            if (size >= Integer.MAX_VALUE - 8) {
                throw new OutOfMemoryError("a batch holds at most " + (Integer.MAX_VALUE - 8) + " items of a kind");
            }
            return (int) Math.min(Integer.MAX_VALUE - 8L, Math.max(16L, size * 2L));
        }
    }

    private static native long nativeCreate();

    private static native long nativeOpen(byte[] folder, boolean full);

    private static native void nativeCheckpoint(long address);

    private static native long nativeShared();

    private static native void nativeFree(long address);

    private static native void nativeAddAirport(long address, int airport, String name);

    private static native void nativeAddFlight(long address, int flight, String name, int days, int from, int to);

    private static native boolean nativeRemoveFlight(long address, int airport, int flight);

    private static native boolean nativeRemoveAirport(long address, int airport);

    private static native void nativeLoad(long address, int[] airports, String[] airportNames, int[] flights,
            String[] flightNames, int[] days, int[] from, int[] to);

    private static native long nativeCopy(long address);

    private static native Object[] nativeAirports(long address);

    private static native String nativeAirport(long address, int airport, FlightCollector flights);

    private static native void nativeFlight(long address, int airport, int flight, FlightCollector flights);

    private static native int nativeFit(long address, int maxDays, int from, int to, LegCollector legs);
}
