package tavrik;

/**
 * The seats of one flight: its capacity ({@code -1} when it has no limit) and the seats sold on
 * it (by bookings and by the host classes' one-seat bookings alike).
 *
 * @param capacity the seats for sale, or -1 for no limit
 * @param sold the seats sold
 */
public record Seats(int capacity, int sold) {
    /** @return whether the flight has a capacity */
    public boolean limited() {
        return capacity >= 0;
    }

    /** @return the seats left ({@code Integer.MAX_VALUE} without a limit) */
    public int free() {
        return limited() ? capacity - sold : Integer.MAX_VALUE;
    }
}
