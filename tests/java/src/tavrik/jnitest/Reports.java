package tavrik.jnitest;

import java.util.List;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;

/** Reads the network back through the library's two reports. */
final class Reports {
    private Reports() {}

    /** Every flight entry of {@code airport}, as AirportFrame reports them. */
    static List<ReportedFlight> airport(int airport) {
        AirportFrame frame = new AirportFrame(airport);
        frame.setData();
        return List.copyOf(frame.flights());
    }

    /** The flight entry of every ticket of the current list, as aggregateFiting reports them. */
    static List<ReportedFlight> route() {
        aggregateFiting fiting = new aggregateFiting();
        fiting.setData();
        return List.copyOf(fiting.flights());
    }

    static ReportedFlight entry(int airport, int flight, String name, int days, int from, int to, int booked) {
        return new ReportedFlight(airport, flight, name, days, from, to, booked);
    }
}
