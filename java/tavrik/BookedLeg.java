package tavrik;

/**
 * One leg of a booking: the flight as it was sold.
 *
 * @param flight the flight's number
 * @param from its departure airport
 * @param to its arrival airport
 * @param gone whether the flight was removed while the booking held it: its seats went with it,
 *     and a later flight with the same number is another flight
 */
public record BookedLeg(int flight, int from, int to, boolean gone) {}
