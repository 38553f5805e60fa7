package tavrik;

import java.util.List;
import java.util.Objects;

/**
 * One airport as {@link Network#airport(int)} returns it: its name and its flights, read
 * together as one snapshot. Immutable.
 *
 * @param number the airport's number
 * @param name its name, as given when it was added
 * @param departing the flights that leave it, in ascending flight number (unmodifiable)
 * @param arriving the flights that reach it, in ascending flight number (unmodifiable)
 */
public record Airport(int number, String name, List<Flight> departing, List<Flight> arriving) {
    /**
     * Makes an airport record.
     *
     * @param number the airport's number
     * @param name its name
     * @param departing the flights that leave it; copied
     * @param arriving the flights that reach it; copied
     * @throws NullPointerException if a list or one of its elements is null
     */
    public Airport {
        departing = List.copyOf(Objects.requireNonNull(departing, "departing"));
        arriving = List.copyOf(Objects.requireNonNull(arriving, "arriving"));
    }
}
