package consumer;

import palvorin.nativ_ManegingFlight;
import tavrik.NativeLibrary;
import tavrik.Route;
import tavrik.Routes;

/** Builds a two-flight network and books the route with the fewest days. */
public final class Consumer {
    private Consumer() {}

    public static void main(String[] args) {
        nativ_ManegingFlight.addAirport(1, "LHR London Heathrow");
        nativ_ManegingFlight.addAirport(2, "JFK New York");
        nativ_ManegingFlight.addAirport(3, "SYD Sydney");
        nativ_ManegingFlight.addFlight("BA LHR-JFK", 100, 3, 1, 2);
        nativ_ManegingFlight.addFlight("QF JFK-SYD", 200, 8, 2, 3);
        Route route = Routes.fitAndBook(20, 1, 3).orElseThrow();
        System.out.println("consumer: " + route.totalDays() + " days over " + route.legs().size()
                + " flights, library from " + NativeLibrary.loadedFrom());
    }
}
