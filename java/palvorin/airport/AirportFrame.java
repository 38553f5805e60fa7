package palvorin.airport;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import palvorin.ReportedFlight;
import palvorin.nativ_ManegingFlight;

/**
 * Reports every flight of one airport, departing and arriving alike, in ascending flight number.
 * Set {@link #NumberAirport} and call {@link #setData()}.
 */
public class AirportFrame {
    static {
        nativ_ManegingFlight.load();
    }

    /** The airport whose flights {@link #setData()} reports. */
    public int NumberAirport;

    private final List<ReportedFlight> flights = new ArrayList<>();

    /** Makes a frame for airport 0; set {@link #NumberAirport} before {@link #setData()}. */
    public AirportFrame() {}

    /**
     * Makes a frame for one airport.
     *
     * @param numberAirport the airport whose flights {@link #setData()} reports
     */
    public AirportFrame(int numberAirport) {
        this.NumberAirport = numberAirport;
    }

    /** Reports the flights of airport {@link #NumberAirport} through {@link #addFlitgh}. */
    public native void setData();

    /**
     * Called by the library once per flight of the airport; keeps it in {@link #flights()}.
     *
     * @param airport the airport whose flight table holds this entry
     * @param flight the flight's number
     * @param name the flight's name
     * @param days how many days the flight takes
     * @param from the number of the flight's departure airport
     * @param to the number of the flight's arrival airport
     * @param booked the booked count of this entry
     */
    public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
        flights.add(new ReportedFlight(airport, flight, name, days, from, to, booked));
    }

    /**
     * The flights reported so far.
     *
     * @return the reported entries in the order they came, unmodifiable
     */
    public List<ReportedFlight> flights() {
        return Collections.unmodifiableList(flights);
    }

    /** Forgets the flights reported so far. */
    public void clear() {
        flights.clear();
    }
}
