package tavrik;

/** A booking was refused because a leg's flight has fewer free seats than passengers; nothing was booked. */
public final class NoFreeSeatsException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The flight number. */
    private final int flight;
    /** The airport named with the flight. */
    private final int airport;
    /** The seats the flight has left. */
    private final int freeSeats;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param flight the flight's number
     * @param airport its departure airport
     * @param freeSeats the seats it has left
     */
    public NoFreeSeatsException(String call, int flight, int airport, int freeSeats) {
        super(call, -1, false, "flight " + flight + " from airport " + airport + " has "
                + (freeSeats == 1 ? "1 free seat" : freeSeats + " free seats") + ", too few");
        this.flight = flight;
        this.airport = airport;
        this.freeSeats = freeSeats;
    }

    /** @return the flight's number */
    public int flight() {
        return flight;
    }

    /** @return the flight's departure airport */
    public int airport() {
        return airport;
    }

    /** @return the seats the flight has left */
    public int freeSeats() {
        return freeSeats;
    }
}
