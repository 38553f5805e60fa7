package tavrik;

/**
 * One flight as a {@link Network} read returns it: the entry of the flight in the flight table
 * of the airport that was read.
 *
 * @param number the flight's number
 * @param name the flight's name, as given when it was added
 * @param days the flight's day count
 * @param from the departure airport's number
 * @param to the arrival airport's number
 * @param booked how many times the flight is booked, counted at the airport that was read
 */
public record Flight(int number, String name, int days, int from, int to, int booked) {}
