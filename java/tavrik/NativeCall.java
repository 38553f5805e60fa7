package tavrik;

/**
 * The library's calls that return a result code, each with the meaning of its codes.
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
    /** {@code palvorin.nativ_ManegingFlight.addAirport}. */
    ADD_AIRPORT("addAirport", "the airport number is already taken"),
    /** {@code palvorin.nativ_ManegingFlight.addFlight}. */
    ADD_FLIGHT(
            "addFlight",
            "an airport is missing, the two airports are the same, or one of them already has a"
                    + " flight with this number"),
    /** {@code palvorin.nativ_ManegingFlight.removeFlight}. */
    REMOVE_FLIGHT("removeFlight", "the airport is missing or has no flight with this number"),
    /** {@code palvorin.nativ_ManegingFlight.removeAirport}. */
    REMOVE_AIRPORT("removeAirport", "refused"),
    /**
     * {@code palvorin.aggregateFiting.getRouteFlight}, and the route queries of {@link Routes},
     * which return the same codes.
     */
    GET_ROUTE_FLIGHT("getRouteFlight", null),
    /** {@code palvorin.aggregateFiting.armoringTickets}. */
    ARMORING_TICKETS("armoringTickets", null);

    private final String methodName;
    private final String refused;

    NativeCall(String methodName, String refused) {
        this.methodName = methodName;
        this.refused = refused;
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
        if (this == GET_ROUTE_FLIGHT || this == ARMORING_TICKETS) {
            switch (code) {
                case -1:
                    return "no data store";
                case -2:
                    return "no route-fitting service";
                case -3:
                    return "no ticket list";
                default:
                    break;
            }
        }
        if (this == GET_ROUTE_FLIGHT) {
            switch (code) {
                case -5:
                    return "unknown departure";
                case -6:
                    return "unknown arrival";
                case -7:
                    return "over the day limit";
                case -8:
                    return "no route";
                default:
                    break;
            }
        } else if (this == ARMORING_TICKETS) {
            switch (code) {
                case -4:
                    return "no tickets: no route is fitted";
                case -5:
                    return "booking refused: a flight or airport of the route has gone, or a"
                            + " flight's booked count is at its largest; nothing was booked";
                default:
                    break;
            }
        } else if (code == -1) {
            return "no data store";
        } else if (code == -2) {
            return "refused: " + refused;
        }
        return "unknown code " + code;
    }
}
