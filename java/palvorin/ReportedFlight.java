package palvorin;

/**
 * One flight entry as reported by the library: the entry of {@code flight} in the flight table
 * of {@code airport}, with its own {@code booked} count.
 *
 * @param airport the airport whose flight table holds this entry
 * @param flight the flight's number
 * @param name the flight's name
 * @param days how many days the flight takes
 * @param from the number of the flight's departure airport
 * @param to the number of the flight's arrival airport
 * @param booked the booked count of this entry
 */
public record ReportedFlight(int airport, int flight, String name, int days, int from, int to, int booked) {
    /**
     * Tells whether this entry's flight leaves from the reporting airport.
     *
     * @return true when {@code from} is {@code airport}
     */
    public boolean departs() {
        return from == airport;
    }
}
