package tavrik;

import java.util.ArrayList;
import java.util.List;

/** Receives the legs of a route from the library, one call per leg in travel order. */
final class LegCollector {
    private final List<Leg> legs = new ArrayList<>();
    /** Set by the library when a fit is over the limit: the fewest days that would do. */
    long fewestDays;

    /** Called by the library once per leg. */
    void addLeg(int flight, String name, int days, int from, int to, int booked) {
        legs.add(new Leg(flight, name, from, to, days, booked));
    }

    List<Leg> legs() {
        return legs;
    }
}
