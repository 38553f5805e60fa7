package tavrik;

import java.util.Optional;
import java.util.OptionalLong;

/**
 * What {@link Network#fit} answers: the route with the fewest days within the limit, or that
 * the fewest days of any route are over the limit (and how many they are), or that no chain of
 * flights leads there at all. An airport that is not in the network is an {@link
 * UnknownAirportException} instead.
 *
 * <pre>{@code
 * FitAnswer answer = network.fit(5, 1, 3);
 * switch (answer.kind()) {
 *     case ROUTE -> System.out.println(answer.route().orElseThrow().legs());
 *     case OVER_LIMIT -> System.out.println("needs " + answer.fewestDays().getAsLong() + " days");
 *     case NO_ROUTE -> System.out.println("no route");
 * }
 * }</pre>
 */
public final class FitAnswer {
    /** The three answers. */
    public enum Kind {
        /** A route within the limit: {@link #route()} holds it. */
        ROUTE,
        /**
         * Every route takes more days than the limit: {@link #fewestDays()} holds the fewest
         * days of any route (empty when even that total is beyond {@code Integer.MAX_VALUE}).
         */
        OVER_LIMIT,
        /** No chain of flights leads from the departure to the arrival airport. */
        NO_ROUTE
    }

    private final Kind kind;
    private final Route route;
    private final long fewestDays;
    private final boolean fewestKnown;

    private FitAnswer(Kind kind, Route route, long fewestDays, boolean fewestKnown) {
        this.kind = kind;
        this.route = route;
        this.fewestDays = fewestDays;
        this.fewestKnown = fewestKnown;
    }

    static FitAnswer route(Route route) {
        return new FitAnswer(Kind.ROUTE, route, route.totalDays(), true);
    }

    static FitAnswer overLimit(long fewestDays, boolean known) {
        return new FitAnswer(Kind.OVER_LIMIT, null, fewestDays, known);
    }

    static FitAnswer noRoute() {
        return new FitAnswer(Kind.NO_ROUTE, null, 0, false);
    }

    /**
     * Which of the three answers this is.
     *
     * @return the kind
     */
    public Kind kind() {
        return kind;
    }

    /**
     * The route, for {@link Kind#ROUTE}.
     *
     * @return the route, or empty for the other two answers
     */
    public Optional<Route> route() {
        return Optional.ofNullable(route);
    }

    /**
     * The fewest days of any route: the route's total for {@link Kind#ROUTE}, the total that
     * would do for {@link Kind#OVER_LIMIT}.
     *
     * @return the total, or empty when there is no route or its total is beyond {@code
     *     Integer.MAX_VALUE}
     */
    public OptionalLong fewestDays() {
        return fewestKnown ? OptionalLong.of(fewestDays) : OptionalLong.empty();
    }

    @Override
    public String toString() {
        switch (kind) {
            case ROUTE:
                return "route of " + route.legs().size() + " legs, " + fewestDays + " days";
            case OVER_LIMIT:
                return fewestKnown ? "over the limit: the fewest days are " + fewestDays : "over the limit";
            default:
                return "no route";
        }
    }
}
