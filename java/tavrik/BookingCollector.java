package tavrik;

import java.util.ArrayList;
import java.util.List;
import java.util.Optional;

/** Collects the bookings the library hands over, each followed by its legs. */
final class BookingCollector {
    private final List<Booking> bookings = new ArrayList<>();
    private long id;
    private int passengers;
    private String key;
    private boolean cancelled;
    private List<BookedLeg> legs;

    /** Called by the library at the start of each booking ({@code key} empty: none). */
    void startBooking(long id, int passengers, String key, boolean cancelled) {
        finish();
        this.id = id;
        this.passengers = passengers;
        this.key = key;
        this.cancelled = cancelled;
        this.legs = new ArrayList<>();
    }

    /** Called by the library once per leg of the booking last started. */
    void addLeg(int flight, int from, int to, boolean gone) {
        legs.add(new BookedLeg(flight, from, to, gone));
    }

    private void finish() {
        if (legs != null) {
            bookings.add(new Booking(id, passengers, key.isEmpty() ? Optional.empty() : Optional.of(key),
                    cancelled, legs));
            legs = null;
        }
    }

    List<Booking> bookings() {
        finish();
        return bookings;
    }
}
