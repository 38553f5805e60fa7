package palvorin.demo.map;

import java.util.List;
import java.util.Objects;

/**
 * The text block in a corner of the map: a title line and the lines under it, each line
 * optionally after a coloured dot ({@code swatches}: one 0xRRGGBB colour per line, -1 for none;
 * missing entries mean none).
 */
public record Legend(String title, List<String> lines, List<Integer> swatches) {
    public Legend {
        Objects.requireNonNull(title, "title");
        lines = List.copyOf(lines);
        swatches = List.copyOf(swatches);
    }

    public Legend(String title, List<String> lines) {
        this(title, lines, List.of());
    }

    /** The colour of line {@code i}'s dot, or -1 for none. */
    int swatch(int i) {
        return i < swatches.size() ? swatches.get(i) : -1;
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
