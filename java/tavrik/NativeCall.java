package tavrik;

import java.util.Map;

/**
 * The library's calls that return a result code, each with the meaning of its codes: the one
 * table of the codes in words. The constants of {@code palvorin.nativ_ManegingFlight} and
 * {@code palvorin.aggregateFiting} name the same codes.
 *
 * <p>The same number means different things for different calls: -5 is "unknown departure"
 * for {@code getRouteFlight} and "booking refused" for {@code armoringTickets}. {@link
 * #describe} reads a code for one call:
 *
 * <pre>{@code
 * int code = fitting.getRouteFlight(maxDays, from, to);
 * if (code != 0) {
 *     System.err.println(NativeCall.GET_ROUTE_FLIGHT.describe(code));
 * }
 * }</pre>
 */
public enum NativeCall {
    /**
     * {@code palvorin.nativ_ManegingFlight.addAirport}: 0 done; -1 no data store; -2 the airport
     * number is taken.
     */
    ADD_AIRPORT("addAirport", Map.of(-1, Words.NO_STORE, -2, "refused: the airport number is already taken")),
    /**
     * {@code palvorin.nativ_ManegingFlight.addFlight}: 0 done; -1 no data store; -2 an airport
     * is missing, the two airports are the same, or one of them already has a flight with this
     * number.
     */
    ADD_FLIGHT("addFlight", Map.of(-1, Words.NO_STORE, -2, "refused: an airport is missing, the two airports are the"
            + " same, or one of them already has a flight with this number")),
    /**
     * {@code palvorin.nativ_ManegingFlight.removeFlight}: 0 done (removed at both airports); -1
     * no data store; -2 the airport is missing or has no flight with this number.
     */
    REMOVE_FLIGHT("removeFlight", Map.of(-1, Words.NO_STORE,
            -2, "refused: the airport is missing or has no flight with this number")),
    /**
     * {@code palvorin.nativ_ManegingFlight.removeAirport}: 0 done (removed with all its flights,
     * or there was no such airport); -1 no data store.
     */
    REMOVE_AIRPORT("removeAirport", Map.of(-1, Words.NO_STORE, -2, "refused")),
    /**
     * {@code palvorin.aggregateFiting.getRouteFlight}, and the route queries of {@link Routes},
     * which return the same codes: 0 done; -1 no data store; -2 no route-fitting service; -3
     * no ticket list; -5 unknown departure; -6 unknown arrival; -7 over the day limit (also
     * when no route exists and {@code maxDays < -1}: the limit is tested first, and an airport
     * never reached counts as a total of -1); -8 no route.
     */
    GET_ROUTE_FLIGHT("getRouteFlight", Map.of(-1, Words.NO_STORE, -2, "no route-fitting service", -3, "no ticket list",
            -5, "unknown departure", -6, "unknown arrival", -7, "over the day limit", -8, "no route")),
    /**
     * {@code palvorin.aggregateFiting.armoringTickets}: 0 done; -1 no data store; -2 no
     * route-fitting service; -3 no ticket list; -4 no tickets (no route is fitted); -5 booking
     * refused (a flight or airport of the route has gone, its number now names a flight between
     * other airports, or a flight's booked count is at its largest), nothing booked.
     */
    ARMORING_TICKETS("armoringTickets", Map.of(-1, Words.NO_STORE, -2, "no route-fitting service", -3, "no ticket list",
            -4, "no tickets: no route is fitted",
            -5, "booking refused: a flight or airport of the route has gone, or a flight's booked count is at its"
                    + " largest; nothing was booked"));

    /** Words that several calls share; a holder class, since enum constants come first. */
    private static final class Words {
        static final String NO_STORE = "no data store";
    }

    private final String methodName;
    private final Map<Integer, String> meanings;

    NativeCall(String methodName, Map<Integer, String> meanings) {
        this.methodName = methodName;
        this.meanings = meanings;
    }

    /**
     * The Java method's name.
     *
     * @return the name, for example {@code "getRouteFlight"}
     */
    public String methodName() {
        return methodName;
    }

    /**
     * The meaning of a result code of this call, in words.
     *
     * @param code a result code returned by this call
     * @return the meaning, for example {@code "unknown departure"}; for a code the call never
     *     returns, {@code "unknown code "} and the number
     */
    public String describe(int code) {
        if (code == 0) {
            return "done";
        }
        String meaning = meanings.get(code);
        return meaning != null ? meaning : "unknown code " + code;
    }
}
