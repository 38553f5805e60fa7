package tavrik;

import java.util.ArrayList;
import java.util.List;

/** Receives the routes or airports of one route query from the library. */
final class ChoiceCollector {
    final List<Route> routes = new ArrayList<>();
    final List<Reached> reached = new ArrayList<>();
    private List<Leg> legs = new ArrayList<>();
    /** Set by the library when a fit is over the limit: the fewest days that would do. */
    long fewestDays;
    /** The fit's answer: 0 a route, 1 over the limit, 2 no route. */
    int kind;

    /** Called by the library once per leg of the route being handed over. */
    void addLeg(int flight, String name, int days, int from, int to, int booked) {
        legs.add(new Leg(flight, name, from, to, days, booked));
    }

    /** Called by the library after the last leg of a route. */
    void endRoute(int from, int to) {
        routes.add(new Route(from, to, legs));
        legs = new ArrayList<>();
    }

    /** Called by the library once per airport a reach found. */
    void addReached(int airport, long days, int legCount) {
        reached.add(new Reached(airport, days, legCount));
    }
}
