package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.function.Consumer;
import org.junit.jupiter.api.Test;
import tavrik.FitAnswer;
import tavrik.Leg;
import tavrik.NegativeLoopException;
import tavrik.Network;
import tavrik.Reached;
import tavrik.Route;
import tavrik.RouteQuery;
import tavrik.RouteQueryException;
import tavrik.UnknownAirportException;

/**
 * tavrik.RouteQuery through the library: the examples of its documentation, several airports
 * as one end, every refusal (naming its value, changing nothing), a loop of negative days, and
 * queries on a network that changes between them. The exactness of the answers is the C++
 * oracle's; this checks that they cross the boundary whole.
 */
class RouteQueryTest extends JniCheckedTest {
    /** 1 Oslo, 2 Rome, 3 Lima, 4 Cairo; 10 Oslo-Lima 9 days, 11 Oslo-Rome 2, 12 Rome-Lima 4, 13 Rome-Cairo 1, 14 Cairo-Lima 2. */
    private static Network sample() {
        Network n = new Network();
        n.load(new Network.Batch().airport(1, "Oslo").airport(2, "Rome").airport(3, "Lima").airport(4, "Cairo")
                .flight(10, "OL", 9, 1, 3).flight(11, "OR", 2, 1, 2).flight(12, "RL", 4, 2, 3)
                .flight(13, "RC", 1, 2, 4).flight(14, "CL", 2, 4, 3));
        return n;
    }

    private static List<Integer> flights(Route r) {
        return r.legs().stream().map(Leg::flight).toList();
    }

    @Test
    void documentedExamples() {
        try (Network n = sample()) {
            RouteQuery q = n.query().from(1).to(3);
            List<Route> front = q.front(20);
            assertEquals(List.of(List.of(10), List.of(11, 12), List.of(11, 13, 14)),
                    front.stream().map(RouteQueryTest::flights).toList());
            assertEquals(List.of(9L, 6L, 5L), front.stream().map(Route::totalDays).toList());
            assertEquals("RL", front.get(1).legs().get(1).name());

            List<Route> alternatives = q.alternatives(3, 20);
            assertEquals(List.of(List.of(11, 13, 14), List.of(11, 12), List.of(10)),
                    alternatives.stream().map(RouteQueryTest::flights).toList());
            // Within 6 days only two are left; the front keeps its points within the limit.
            assertEquals(2, q.alternatives(5, 6).size());
            assertEquals(2, q.front(6).size());

            FitAnswer avoided = q.avoid(4).fit(20);
            assertEquals(List.of(11, 12), flights(avoided.route().orElseThrow()));
            FitAnswer viaTwoLegs = n.query().from(1).to(3).via(2).maxLegs(2).fit(20);
            assertEquals(List.of(11, 12), flights(viaTwoLegs.route().orElseThrow()));
            FitAnswer over = n.query().from(1).to(3).maxLegs(1).fit(8);
            assertEquals(FitAnswer.Kind.OVER_LIMIT, over.kind());
            assertEquals(9L, over.fewestDays().getAsLong());

            assertEquals(List.of(new Reached(2, 2, 1), new Reached(4, 3, 2)), n.query().from(1).reach(3));

            // One seat on Rome-Cairo: two passengers go by Rome-Lima; a sale of that seat then
            // leaves none for one passenger either, and the reach loses Cairo.
            n.setSeats(2, 13, 1);
            FitAnswer two = n.query().from(1).to(3).passengers(2).fit(20);
            assertEquals(List.of(11, 12), flights(two.route().orElseThrow()));
            assertEquals(List.of(11, 13, 14), flights(n.query().from(1).to(3).passengers(1).fit(20).route().orElseThrow()));
            n.book(n.query().from(2).to(4).fit(20).route().orElseThrow(), 1);
            assertEquals(List.of(List.of(10), List.of(11, 12)),
                    n.query().from(1).to(3).passengers(1).front(20).stream().map(RouteQueryTest::flights).toList());
            assertEquals(List.of(new Reached(2, 2, 1), new Reached(3, 6, 2)), n.query().from(1).passengers(1).reach(9));
            assertEquals(3, n.query().from(1).to(3).alternatives(5, 20).size());
        }
    }

    @Test
    void severalAirportsAsOneEnd() {
        try (Network n = sample()) {
            // From Oslo or Rome to Lima or Cairo: Rome-Cairo, one day.
            Route best = n.query().from(1, 2).to(3, 4).fit(20).route().orElseThrow();
            assertEquals(2, best.from());
            assertEquals(4, best.to());
            assertEquals(List.of(13), flights(best));
            // Then two routes of 3 days and 2 legs: Rome-Cairo-Lima before Oslo-Rome-Cairo, by
            // the smaller arrival airport number; then Rome-Lima (4 days, 1 leg).
            List<Route> three = n.query().from(1, 2).to(3, 4).alternatives(4, 20);
            assertEquals(List.of(List.of(13), List.of(13, 14), List.of(11, 13), List.of(12)),
                    three.stream().map(RouteQueryTest::flights).toList());
            assertEquals(2, three.get(1).from());
            assertEquals(3, three.get(1).to());
            assertEquals(1, three.get(2).from());
        }
    }

    /** Each bad value is refused with an exception naming it, and the network is unchanged. */
    @Test
    void badInputNamesTheValue() {
        try (Network n = sample()) {
            String before = n.airports().toString() + n.airport(2);
            String range = " alternatives asked for; 1 to " + RouteQuery.MAX_ALTERNATIVES + " may be";
            expectProblem(RouteQueryException.Problem.ALTERNATIVES_COUNT, 0, "0" + range,
                    q -> q.from(1).to(3).alternatives(0, 9));
            expectProblem(RouteQueryException.Problem.ALTERNATIVES_COUNT, 21, "21" + range,
                    q -> q.from(1).to(3).alternatives(21, 9));
            String viaIsEnd = " to pass through is also a departure or arrival airport";
            expectProblem(RouteQueryException.Problem.VIA_IS_END, 3, "airport 3" + viaIsEnd,
                    q -> q.from(1).to(3).via(3).fit(9));
            expectProblem(RouteQueryException.Problem.VIA_IS_END, 1, "airport 1" + viaIsEnd,
                    q -> q.from(1).to(3).via(1).front(9));
            expectProblem(RouteQueryException.Problem.NEGATIVE_LEG_LIMIT, -1, "leg limit -1 is negative",
                    q -> q.from(1).to(3).maxLegs(-1).fit(9));
            expectProblem(RouteQueryException.Problem.NEGATIVE_REACH_DAYS, -2, "day count -2 of a reach is negative",
                    q -> q.from(1).reach(-2));
            expectProblem(RouteQueryException.Problem.AVOIDED_END, 3,
                    "airport 3 is avoided and also a departure, arrival or airport to pass through",
                    q -> q.from(1).to(3).avoid(3).fit(9));
            expectProblem(RouteQueryException.Problem.UNKNOWN_FLIGHT_NUMBER, 99, "no flight has number 99",
                    q -> q.from(1).to(3).avoidFlights(99).fit(9));
            expectProblem(RouteQueryException.Problem.NO_END_AIRPORTS, 1, "no arrival airport given",
                    q -> q.from(1).front(9));
            expectProblem(RouteQueryException.Problem.VIA_IN_REACH, 2,
                    "a reach takes no airport to pass through (airport 2 given)", q -> q.from(1).via(2).reach(9));
            expectProblem(RouteQueryException.Problem.PASSENGER_COUNT, 0, "the number of passengers 0 is below 1",
                    q -> q.from(1).to(3).passengers(0).fit(9));
            expectProblem(RouteQueryException.Problem.PASSENGER_COUNT, -4, "the number of passengers -4 is below 1",
                    q -> q.from(1).passengers(-4).reach(9));
            UnknownAirportException avoid = assertThrows(UnknownAirportException.class,
                    () -> n.query().from(1).to(3).avoid(77).fit(9));
            assertEquals(77, avoid.airport());
            assertTrue(avoid.getMessage().contains("77"), avoid.getMessage());
            UnknownAirportException via = assertThrows(UnknownAirportException.class,
                    () -> n.query().from(1).to(3).via(78).alternatives(2, 9));
            assertEquals(78, via.airport());
            assertEquals(before, n.airports().toString() + n.airport(2));
        }
    }

    /** The query is refused with this problem and value, its message ending in these words. */
    private static void expectProblem(RouteQueryException.Problem problem, long value, String words,
            Consumer<RouteQuery> call) {
        try (Network n = sample()) {
            RouteQueryException e = assertThrows(RouteQueryException.class, () -> call.accept(n.query()));
            assertEquals(problem, e.problem());
            assertEquals(value, e.value());
            assertTrue(e.getMessage().endsWith(": " + words), e.getMessage());
        }
    }

    @Test
    void negativeLoopOnTheWayIsRefusedElsewhereAnswered() {
        try (Network n = sample()) {
            n.addAirport(5, "Loop");
            n.addFlight(20, "to loop", 1, 3, 5);
            n.addFlight(21, "back", -3, 5, 3);
            // The loop Lima-Loop-Lima lies beyond the arrival Cairo: not on the way.
            assertEquals(2, n.query().from(1).to(4).front(20).size() + 1);
            NegativeLoopException e = assertThrows(NegativeLoopException.class, () -> n.query().from(1).to(5).front(20));
            assertTrue(e.airport() == 3 || e.airport() == 5, e.getMessage());
            assertThrows(NegativeLoopException.class, () -> n.query().from(1).reach(5));
        }
    }

    @Test
    void answersFollowEdits() {
        try (Network n = sample()) {
            RouteQuery q = n.query().from(1).to(3);
            assertEquals(3, q.alternatives(5, 20).size());
            n.removeFlight(2, 13);
            assertEquals(List.of(List.of(11, 12), List.of(10)),
                    q.alternatives(5, 20).stream().map(RouteQueryTest::flights).toList());
            n.addFlight(15, "OL fast", 1, 1, 3);
            assertEquals(List.of(List.of(15)), q.front(20).stream().map(RouteQueryTest::flights).toList());
            n.close();
            assertThrows(IllegalStateException.class, () -> q.front(20));
        }
    }
}
