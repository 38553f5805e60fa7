package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static palvorin.nativ_ManegingFlight.OK;
import static palvorin.nativ_ManegingFlight.addAirport;
import static palvorin.nativ_ManegingFlight.addFlight;

import java.util.ArrayList;
import java.util.List;
import java.util.Optional;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import tavrik.Leg;
import tavrik.NativeCall;
import tavrik.Route;
import tavrik.RouteException;
import tavrik.Routes;

/**
 * The Java layer: whole routes from {@link Routes}, checked against the fixed classes' report,
 * the words of {@link NativeCall}, and fitAndBook from several threads at once. Each test builds
 * its own chains on its own airport numbers.
 */
class RoutesTest extends JniCheckedTest {
    private static final AtomicInteger NEXT_BASE = new AtomicInteger(10_000);

    /** Airports b .. b+n, flight b+k from b+k-1 to b+k taking k days, named "leg k of b". */
    private static int chain(int n) {
        int b = NEXT_BASE.getAndAdd(100);
        for (int k = 0; k <= n; k++) {
            assertEquals(OK, addAirport(b + k, "airport " + (b + k)));
        }
        for (int k = 1; k <= n; k++) {
            assertEquals(OK, addFlight("leg " + k + " of " + b, b + k, k, b + k - 1, b + k));
        }
        return b;
    }

    @Test
    void legsComeInTravelOrderAndAgreeWithTheFixedClassesReport() {
        int b = chain(3);
        Route route = Routes.fit(Integer.MAX_VALUE, b, b + 3).orElseThrow();
        assertEquals(b, route.from());
        assertEquals(b + 3, route.to());
        assertEquals(6, route.totalDays());

        aggregateFiting fiting = new aggregateFiting();
        assertEquals(0, fiting.getRouteFlight(Integer.MAX_VALUE, b, b + 3));
        fiting.setData();
        // The fixed report: two entries per leg, from the arrival backwards; its departure
        // entries, read backwards, are the legs in travel order.
        List<Leg> fromReport = new ArrayList<>();
        List<ReportedFlight> flights = fiting.flights();
        for (int i = flights.size() - 1; i >= 0; i--) {
            ReportedFlight f = flights.get(i);
            if (f.departs()) {
                fromReport.add(new Leg(f.flight(), f.name(), f.from(), f.to(), f.days(), f.booked()));
            }
        }
        assertEquals(fromReport, route.legs());
        assertEquals(3, route.legs().size());
        assertThrows(UnsupportedOperationException.class, () -> route.legs().clear());

        // Booked through the whole-route call, the counts rise at both airports of each leg,
        // and the fixed class's current list is still its own route.
        Route booked = Routes.fitAndBook(Integer.MAX_VALUE, b + 1, b + 3).orElseThrow();
        assertEquals(List.of(b + 2, b + 3), booked.legs().stream().map(Leg::flight).toList());
        booked.legs().forEach(leg -> assertEquals(1, leg.booked(), leg.toString()));
        fiting.clear();
        fiting.setData();
        assertEquals(6, fiting.flights().size());
        for (ReportedFlight f : fiting.flights()) {
            assertEquals(f.flight() == b + 1 ? 0 : 1, f.booked(), f.toString());
        }
        assertEquals(1, Reports.airport(b + 2).stream().filter(f -> f.flight() == b + 3).findFirst()
                .orElseThrow().booked());
    }

    @Test
    void refusalsReadInWords() {
        int b = chain(2);
        assertEquals(Optional.empty(), Routes.fit(2, b, b + 2), "over the day limit");
        assertEquals(Optional.empty(), Routes.fitAndBook(Integer.MAX_VALUE, b + 2, b), "no route");
        assertEquals(0, Reports.airport(b + 1).get(0).booked(), "a refusal books nothing");
        RouteException e = assertThrows(RouteException.class, () -> Routes.fitAndBook(9, b + 99, b));
        assertEquals(-5, e.code());
        assertEquals(NativeCall.GET_ROUTE_FLIGHT, e.call());
        assertTrue(e.getMessage().contains("unknown departure"), e.getMessage());
        assertEquals(-6, assertThrows(RouteException.class, () -> Routes.fit(9, b, b + 99)).code());
        assertTrue(Routes.fit(0, b, b).orElseThrow().legs().isEmpty());

        // The same number reads differently for different calls.
        assertEquals("unknown departure", NativeCall.GET_ROUTE_FLIGHT.describe(aggregateFiting.UNKNOWN_DEPARTURE));
        assertTrue(NativeCall.ARMORING_TICKETS.describe(aggregateFiting.BOOKING_REFUSED).startsWith("booking refused"));
        assertEquals("unknown arrival", NativeCall.GET_ROUTE_FLIGHT.describe(aggregateFiting.UNKNOWN_ARRIVAL));
        assertEquals("over the day limit", NativeCall.GET_ROUTE_FLIGHT.describe(aggregateFiting.OVER_DAY_LIMIT));
        assertEquals("no route", NativeCall.GET_ROUTE_FLIGHT.describe(aggregateFiting.NO_ROUTE));
        assertTrue(NativeCall.ARMORING_TICKETS.describe(aggregateFiting.NO_TICKETS).startsWith("no tickets"));
        assertTrue(NativeCall.ADD_AIRPORT.describe(addAirport(b, "again")).contains("already taken"));
        assertEquals("unknown code -9", NativeCall.ADD_FLIGHT.describe(-9));
    }

    @Test
    void fitAndBookFromSeveralThreadsBooksEachRouteOnceAndNeverMixesThem() throws Exception {
        int threads = 4;
        int rounds = 300;
        int[] bases = new int[threads];
        for (int t = 0; t < threads; t++) {
            bases[t] = chain(3);
        }
        ExecutorService pool = Executors.newFixedThreadPool(threads + 1);
        try {
            CountDownLatch start = new CountDownLatch(1);
            List<Future<?>> runs = new ArrayList<>();
            for (int t = 0; t < threads; t++) {
                int b = bases[t];
                runs.add(pool.submit(() -> {
                    start.await();
                    for (int round = 1; round <= rounds; round++) {
                        Route route = Routes.fitAndBook(Integer.MAX_VALUE, b, b + 3).orElseThrow();
                        assertEquals(List.of(b + 1, b + 2, b + 3), route.legs().stream().map(Leg::flight).toList());
                        for (Leg leg : route.legs()) {
                            assertEquals(round, leg.booked(), "exactly one booking more than before: " + route);
                        }
                    }
                    return null;
                }));
            }
            // A reader never sees a route half booked: its legs always carry the same count.
            runs.add(pool.submit(() -> {
                start.await();
                for (int i = 0; i < threads * rounds; i++) {
                    int b = bases[i % threads];
                    List<Leg> legs = Routes.fit(Integer.MAX_VALUE, b, b + 3).orElseThrow().legs();
                    assertEquals(1, legs.stream().mapToInt(Leg::booked).distinct().count(), legs.toString());
                }
                return null;
            }));
            start.countDown();
            for (Future<?> run : runs) {
                run.get(120, TimeUnit.SECONDS);
            }
        } finally {
            pool.shutdownNow();
        }
        for (int b : bases) {
            for (ReportedFlight f : Reports.airport(b + 1)) {
                assertEquals(rounds, f.booked(), f.toString());
            }
        }
    }
}
