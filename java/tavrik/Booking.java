package tavrik;

import java.util.List;
import java.util.Optional;

/**
 * One booking: {@code passengers} seats on every leg, sold together. A snapshot: read it again
 * with {@link Network#booking(long)} to see a later cancellation.
 *
 * @param id the booking's id (1, 2, ... in the order of sale within its network)
 * @param passengers the seats it holds on each leg
 * @param requestKey the request key it was sold under, if any
 * @param cancelled whether it was cancelled (its seats given back)
 * @param legs its legs in travel order
 */
public record Booking(long id, int passengers, Optional<String> requestKey, boolean cancelled, List<BookedLeg> legs) {
    /**
     * Makes a booking.
     *
     * @param id the id
     * @param passengers the passengers
     * @param requestKey the request key, if any
     * @param cancelled whether it was cancelled
     * @param legs its legs in travel order
     */
    public Booking {
        legs = List.copyOf(legs);
    }
}
