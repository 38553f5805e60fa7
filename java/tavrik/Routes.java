package tavrik;

import java.util.Optional;
import palvorin.aggregateFiting;

/**
 * Route queries that are safe to use from several threads: each fits a route and hands it
 * back whole in one call of the library.
 *
 * <p>These calls work on the network of the host classes, {@link Network#shared()}, which has
 * one current ticket list per process (per class loader that loads these classes: see {@link
 * NativeLibrary}). Every {@code palvorin.aggregateFiting} object shares them: {@code getRouteFlight} replaces the list for
 * every object in every thread, and {@code armoringTickets} and {@code setData} work on
 * whatever list was fitted last, by anyone. From several threads, "fit, then book, then
 * report" through {@code aggregateFiting} is therefore not one step: another thread's fit can
 * come in between.
 *
 * <p>The methods of this class do not use that list. {@link #fitAndBook} fits a route into a
 * list of its own, books it and copies its legs while it holds the library's lock exclusively,
 * so every other call, from any thread, sees the route either not yet fitted or fitted and
 * booked. {@link #fit} fits and copies the route while it holds the lock shared with other
 * queries. Neither changes the current ticket list that {@code aggregateFiting} uses. Networks
 * of your own answer route queries through {@link Network#fit}, which also says why there is
 * no route.
 *
 * <pre>{@code
 * Optional<Route> route = Routes.fitAndBook(10, 1, 3);
 * route.ifPresent(r -> r.legs().forEach(leg -> System.out.println(leg.name())));
 * }</pre>
 */
public final class Routes {
    static {
        NativeLibrary.load();
    }

    private Routes() {}

    /**
     * Fits the route with the smallest total day count from {@code from} to {@code to}, and
     * returns it without booking it.
     *
     * @param maxDays the most days the route may take in all
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @return the route, or empty when no route of at most {@code maxDays} days exists
     * @throws RouteException if either airport is not in the network (codes -5 and -6 of
     *     {@link NativeCall#GET_ROUTE_FLIGHT}, naming the airport and {@code fit})
     * @throws OutOfMemoryError if the library runs out of native memory
     */
    public static Optional<Route> fit(int maxDays, int from, int to) {
        LegCollector legs = new LegCollector();
        return outcome("fit", fitNative(maxDays, from, to, legs), from, to, legs);
    }

    /**
     * Fits the route with the smallest total day count from {@code from} to {@code to}, books
     * it (raising the booked count of each of its flights by one) and returns it with the
     * raised counts, all as one step with respect to every other call of the library.
     *
     * @param maxDays the most days the route may take in all
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @return the booked route, or empty (and nothing booked) when no route of at most {@code
     *     maxDays} days exists
     * @throws RouteException naming {@code fitAndBook}, if either airport is not in the network
     *     (codes -5 and -6 of {@link NativeCall#GET_ROUTE_FLIGHT}, naming the airport), or if a
     *     flight of the route has been booked as often as a count can hold (code -5 of {@link
     *     NativeCall#ARMORING_TICKETS}); nothing is booked
     * @throws OutOfMemoryError if the library runs out of native memory (nothing is booked), or if
     *     the Java heap runs out while the booked legs are handed over (the route then stays
     *     booked)
     */
    public static Optional<Route> fitAndBook(int maxDays, int from, int to) {
        LegCollector legs = new LegCollector();
        return outcome("fitAndBook", fitAndBookNative(maxDays, from, to, legs), from, to, legs);
    }

    private static Optional<Route> outcome(String method, int code, int from, int to, LegCollector legs) {
        switch (code) {
            case 0:
                return Optional.of(new Route(from, to, legs.legs()));
            case aggregateFiting.OVER_DAY_LIMIT:
            case aggregateFiting.NO_ROUTE:
                return Optional.empty();
            default:
                throw Refusals.routeRefusal(method, code, from, to);
        }
    }

    private static native int fitNative(int maxDays, int from, int to, LegCollector legs);

    private static native int fitAndBookNative(int maxDays, int from, int to, LegCollector legs);
}
