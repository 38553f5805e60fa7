package palvorin;

import java.util.ArrayList;
import java.util.List;

/**
 * A stand-in for the library's host class, put ahead of the tavrik jar on the class path of
 * BrokenHostTest only: its callback takes one argument too few, so the library finds no
 * {@code addFlitgh(int, int, String, int, int, int, int)} to call.
 */
public class aggregateFiting {
    static {
        nativ_ManegingFlight.load();
    }

    public final List<String> calls = new ArrayList<>();

    public native int getRouteFlight(int maxDays, int from, int to);

    public native int armoringTickets();

    public native void setData();

    /** Not the callback the library looks for (no booked count). */
    public void addFlitgh(int airport, int flight, String name, int days, int from, int to) {
        calls.add(airport + "/" + flight);
    }
}
