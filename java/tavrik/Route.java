package tavrik;

import java.util.List;
import java.util.Objects;

/**
 * A route with the smallest total day count between two airports, as returned by {@link
 * Routes#fit} and {@link Routes#fitAndBook}: its legs in travel order, the first leaving
 * {@code from}, each leaving where the one before arrived, the last arriving at {@code to}.
 * Immutable.
 *
 * <p>A route from an airport to itself has no legs.
 *
 * @param from the departure airport's number
 * @param to the arrival airport's number
 * @param legs the legs in travel order (an unmodifiable copy)
 */
public record Route(int from, int to, List<Leg> legs) {
    /**
     * Makes a route of these legs.
     *
     * @param from the departure airport's number
     * @param to the arrival airport's number
     * @param legs the legs in travel order; copied
     * @throws NullPointerException if {@code legs} or one of its elements is null
     */
    public Route {
        legs = List.copyOf(Objects.requireNonNull(legs, "legs"));
    }

    /**
     * The sum of the legs' day counts.
     *
     * @return the route's total day count
     */
    public long totalDays() {
        long total = 0;
        for (Leg leg : legs) {
            total += leg.days();
        }
        return total;
    }
}
