package palvorin.demo.map;

import java.util.List;
import java.util.Objects;

/** The text block in a corner of the map: a title line and the lines under it. */
public record Legend(String title, List<String> lines) {
    public Legend {
        Objects.requireNonNull(title, "title");
        lines = List.copyOf(lines);
    }

    /** The legend of a planned route: total days, number of flights, seats booked on them. */
    public static Legend forRoute(String title, long totalDays, int flights, long bookedSeats) {
        return new Legend(title, List.of(
            "total days: " + totalDays,
            "flights: " + flights,
            "booked seats: " + bookedSeats));
    }

    /** The legend of an airport's map: how many flights leave it, to how many airports. */
    public static Legend forAirport(String title, int flights, int destinations) {
        return new Legend(title, List.of(
            "flights: " + flights,
            "destinations: " + destinations));
    }
}
