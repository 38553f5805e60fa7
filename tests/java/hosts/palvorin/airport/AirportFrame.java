package palvorin.airport;

import java.util.ArrayList;
import java.util.List;
import palvorin.nativ_ManegingFlight;

/**
 * A stand-in for the library's host class, put ahead of the tavrik jar on the class path of
 * BrokenHostTest only: it has the callback but no {@code int NumberAirport} field.
 */
public class AirportFrame {
    static {
        nativ_ManegingFlight.load();
    }

    /** The airport number under another name. */
    public int numberAirport;

    /** Same name, wrong type. */
    public long NumberAirportWide;

    public final List<String> calls = new ArrayList<>();

    public native void setData();

    public void addFlitgh(int airport, int flight, String name, int days, int from, int to, int booked) {
        calls.add(airport + "/" + flight);
    }
}
