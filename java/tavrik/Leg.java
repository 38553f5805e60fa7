package tavrik;

/**
 * One leg of a {@link Route}: a flight from one airport to the next.
 *
 * @param flight the flight's number
 * @param name the flight's name, as given to {@code addFlight}
 * @param from the departure airport's number
 * @param to the arrival airport's number
 * @param days the flight's day count
 * @param booked how many times the flight is booked, counted at its departure airport
 *     (a booking raises the counts at both of its airports together)
 */
public record Leg(int flight, String name, int from, int to, int days, int booked) {}
