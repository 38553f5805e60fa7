package palvorin;

/**
 * One flight entry as reported by the library: the entry of {@code flight} in the flight table
 * of {@code airport}, with its own {@code booked} count.
 */
public record ReportedFlight(int airport, int flight, String name, int days, int from, int to, int booked) {
    /** True when this entry's flight leaves from the reporting airport. */
    public boolean departs() {
        return from == airport;
    }
}
