package tavrik;

/** A flight's seats were not lowered below the seats already sold on it; nothing changed. */
public final class SeatsBelowSoldException extends NetworkException {
    private static final long serialVersionUID = 1L;

    /** The flight number. */
    private final int flight;
    /** The airport named with the flight. */
    private final int airport;
    /** The seats sold on the flight. */
    private final int sold;

    /**
     * Makes the exception.
     *
     * @param call the method the caller called
     * @param flight the flight's number
     * @param airport the airport it was named by
     * @param sold the seats sold on it
     */
    public SeatsBelowSoldException(String call, int flight, int airport, int sold) {
        super(call, -1, false, "flight " + flight + " at airport " + airport + " has " + sold
                + " seats sold, more than the seats asked for");
        this.flight = flight;
        this.airport = airport;
        this.sold = sold;
    }

    /** @return the flight's number */
    public int flight() {
        return flight;
    }

    /** @return the airport the flight was named by */
    public int airport() {
        return airport;
    }

    /** @return the seats sold on the flight */
    public int sold() {
        return sold;
    }
}
