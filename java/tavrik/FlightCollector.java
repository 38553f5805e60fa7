package tavrik;

import java.util.ArrayList;
import java.util.List;

/** Receives flight entries from the library, one call per entry, for the reads of a Network. */
final class FlightCollector {
    private final List<Flight> departing = new ArrayList<>();
    private final List<Flight> arriving = new ArrayList<>();

    /** Called by the library once per entry of the airport's table, ascending flight number. */
    void addFlight(int airport, int flight, String name, int days, int from, int to, int booked) {
        Flight f = new Flight(flight, name, days, from, to, booked);
        if (from == airport) {
            departing.add(f);
        } else {
            arriving.add(f);
        }
    }

    List<Flight> departing() {
        return departing;
    }

    List<Flight> arriving() {
        return arriving;
    }
}
