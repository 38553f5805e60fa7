package palvorin.demo.check;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * The host application's route choices through its launcher, against figures worked out here
 * from the data files (DemoEndToEndTest's reader and plain shortest-path search): the front's
 * last row and the first alternative are the fewest days, routes avoid or pass what they are told
 * to, reach counts what one day's flights reach, places name sets of airports, maps are drawn from
 * another directory, and bad options give one error line and exit status 2.
 */
class ChoicesEndToEndTest {
    static final Pattern FRONT_ROW = Pattern.compile("^\\s+(\\d+)\\s+(\\d+)\\s+([A-Z0-9-]+)$");
    static final Pattern ALTERNATIVE = Pattern.compile("^(\\d+)\\. (\\d+) flights?, (\\d+) days?: ([A-Z0-9-]+)$");

    /** A leg line under a route: name, flight, days, free seats (or no limit, or removed), ends. */
    static final Pattern LEG = Pattern.compile("^     .+ \\(flight (\\d+)\\), \\d+ days?,"
            + " (?:(\\d+) of (\\d+) seats free|no seat limit|removed): (\\S+) -> (\\S+)$");
    /** A plain route's leg line, whose seat words the choices repeat. */
    static final Pattern PLAIN_LEG = Pattern.compile("^\\s+\\d+\\. .+ \\(flight (\\d+)\\), .*, (\\d+ of \\d+ seats free)$");
    /** Seats sold between the plain route and the choices asked after it. */
    static final int SOLD = 3;

    static Path dir;
    static List<DemoEndToEndTest.Block> blocks;
    /** The one flight from GKA to this airport, a day long: every route choice between them is it. */
    static String soldTo;

    /** One script of choice queries, run from a directory of its own, where its maps land. */
    @BeforeAll
    static void runScript() throws Exception {
        DemoEndToEndTest.readData(Path.of(DemoEndToEndTest.property("demo.data")));
        dir = Files.createDirectories(Path.of(DemoEndToEndTest.property("demo.work"), "choices-elsewhere"));
        Map<Integer, Integer> flightsTo = new TreeMap<>();
        for (DemoEndToEndTest.Route r : DemoEndToEndTest.departing.get(DemoEndToEndTest.id("GKA")))
            flightsTo.merge(r.days() == 1 ? r.to() : -1, 1, Integer::sum);
        soldTo = flightsTo.entrySet().stream().filter(e -> e.getKey() >= 0 && e.getValue() == 1)
                .map(e -> DemoEndToEndTest.code(e.getKey())).filter(c -> c.matches("[A-Z]{3}")).findFirst().orElseThrow();
        String sold = "route GKA " + soldTo;
        Files.write(dir.resolve("choices.txt"), List.of(
                "route GKA USH --front",
                "route LHR SYD --alternatives 4",
                "route LHR SYD --avoid NRT",
                "route LHR SYD --via LAX",
                "route LHR JFK --max-legs 1",
                "route London Sydney",
                "reach LHR 1 --map reach.svg",
                "route JFK SYD --alternatives 3 --map alternatives.png",
                "route LHR SYD --passengers 2 --alternatives 2",
                sold,
                "book " + SOLD,
                sold + " --max-legs 1",
                sold + " --alternatives 2",
                sold + " --front"));
        DemoEndToEndTest.Output out = DemoEndToEndTest.run(List.of(DemoEndToEndTest.property("demo.launcher"),
                "--script", "choices.txt"), null, true, "", dir);
        assertEquals(0, out.exitCode(), out.text() + out.err());
        blocks = DemoEndToEndTest.blocks(out.text());
        assertEquals(14, blocks.size(), out.text());
    }

    static int fewest(String from, String to) {
        return DemoEndToEndTest.shortest(DemoEndToEndTest.id(from), DemoEndToEndTest.id(to));
    }

    static DemoEndToEndTest.Output run(String... args) throws Exception {
        return DemoEndToEndTest.launchApart(List.of(args));
    }

    @Test
    void frontAndAlternatives() {
        List<int[]> rows = new ArrayList<>();
        for (String line : blocks.get(0).lines()) {
            Matcher m = FRONT_ROW.matcher(line);
            if (m.matches()) rows.add(new int[] {Integer.parseInt(m.group(1)), Integer.parseInt(m.group(2))});
        }
        assertFalse(rows.isEmpty(), blocks.get(0).toString());
        for (int i = 1; i < rows.size(); i++) {
            assertTrue(rows.get(i)[0] > rows.get(i - 1)[0] && rows.get(i)[1] < rows.get(i - 1)[1], blocks.get(0).toString());
        }
        assertEquals(fewest("GKA", "USH"), rows.get(rows.size() - 1)[1], blocks.get(0).toString());

        List<Integer> days = new ArrayList<>();
        for (String line : blocks.get(1).lines()) {
            Matcher m = ALTERNATIVE.matcher(line);
            if (m.matches()) days.add(Integer.parseInt(m.group(3)));
        }
        assertEquals(4, days.size(), blocks.get(1).toString());
        assertEquals(fewest("LHR", "SYD"), days.get(0));
        for (int i = 1; i < days.size(); i++) assertTrue(days.get(i) >= days.get(i - 1), blocks.get(1).toString());
    }

    @Test
    void avoidViaAndLegLimit() {
        assertFalse(List.of(firstRoute(blocks.get(2)).split("-")).contains("NRT"), blocks.get(2).toString());
        assertTrue(List.of(firstRoute(blocks.get(3)).split("-")).contains("LAX"), blocks.get(3).toString());
        assertEquals("LHR-JFK", firstRoute(blocks.get(4)));
        // For two passengers: routes over the flights with two free seats, none shorter than
        // the fewest days over all flights.
        List<Integer> days = new ArrayList<>();
        for (String line : blocks.get(8).lines()) {
            Matcher m = ALTERNATIVE.matcher(line);
            if (m.matches()) days.add(Integer.parseInt(m.group(3)));
        }
        assertEquals(2, days.size(), blocks.get(8).toString());
        assertTrue(days.get(0) >= fewest("LHR", "SYD"), blocks.get(8).toString());
    }

    static String firstRoute(DemoEndToEndTest.Block block) {
        for (String line : block.lines()) {
            Matcher m = ALTERNATIVE.matcher(line);
            if (m.matches()) return m.group(4);
        }
        throw new AssertionError("no route in: " + block);
    }

    /**
     * Under every route of every choice, one line a leg: the legs chain from the route's first
     * airport to its last, and each says its flight's free seats.
     */
    @Test
    void everyLegOfEveryChoiceSaysItsFreeSeats() {
        int routes = 0;
        for (DemoEndToEndTest.Block b : blocks) {
            List<String> lines = b.lines();
            for (int i = 0; i < lines.size(); ++i) {
                Matcher a = ALTERNATIVE.matcher(lines.get(i));
                Matcher f = FRONT_ROW.matcher(lines.get(i));
                boolean alternative = a.matches();
                if (!alternative && !f.matches()) continue;
                ++routes;
                String[] stops = (alternative ? a.group(4) : f.group(3)).split("-");
                int count = Integer.parseInt(alternative ? a.group(2) : f.group(1));
                assertEquals(stops.length - 1, count, b.toString());
                for (int leg = 0; leg < count; ++leg) {
                    assertTrue(i + 1 + leg < lines.size(), b.toString());
                    Matcher m = LEG.matcher(lines.get(i + 1 + leg));
                    assertTrue(m.matches(), lines.get(i + 1 + leg));
                    assertEquals(stops[leg], m.group(4), lines.get(i + 1 + leg));
                    assertEquals(stops[leg + 1], m.group(5), lines.get(i + 1 + leg));
                    if (m.group(2) != null)
                        assertTrue(Integer.parseInt(m.group(2)) <= Integer.parseInt(m.group(3)), lines.get(i + 1 + leg));
                }
            }
        }
        assertTrue(routes >= 18, "routes printed: " + routes);
    }

    /** Seats sold after a plain route show as fewer free seats on that flight in every choice after. */
    @Test
    void aSaleLowersTheFreeSeatsTheChoicesShow() {
        String before = null;
        int flight = -1;
        for (String line : blocks.get(9).lines()) {
            Matcher m = PLAIN_LEG.matcher(line);
            if (m.matches()) {
                assertEquals(null, before, "one leg: " + blocks.get(9));
                flight = Integer.parseInt(m.group(1));
                before = m.group(2);
            }
        }
        assertTrue(before != null, blocks.get(9).toString());
        assertTrue(blocks.get(10).lines().get(0).startsWith("Booked " + SOLD + " seats"), blocks.get(10).toString());
        String[] free = before.split(" ");
        String after = (Integer.parseInt(free[0]) - SOLD) + " of " + free[2] + " seats free";
        for (DemoEndToEndTest.Block b : blocks.subList(11, 14)) {
            int shown = 0;
            for (String line : b.lines()) {
                Matcher m = LEG.matcher(line);
                if (m.matches() && Integer.parseInt(m.group(1)) == flight) {
                    assertTrue(line.contains(", " + after + ": "), before + " less " + SOLD + ": " + line);
                    ++shown;
                }
            }
            assertEquals(1, shown, b.toString());
        }
    }

    /**
     * After a list of routes, book books the one it is told of: without a place it refuses, a place
     * past the list is an error, and a query that listed one route books it as a plain route does.
     */
    @Test
    void bookTakesTheListedRouteItIsTold() throws Exception {
        Files.write(dir.resolve("book-choice.txt"), List.of("route LHR SYD --alternatives 2", "book",
                "book 1 --choice 2", "book 1 --choice 3", "route LHR JFK --max-legs 1", "book"));
        DemoEndToEndTest.Output out = DemoEndToEndTest.run(List.of(DemoEndToEndTest.property("demo.launcher"),
                "--script", "book-choice.txt"), null, true, "", dir);
        List<DemoEndToEndTest.Block> b = DemoEndToEndTest.blocks(out.text());
        assertEquals(6, b.size(), out.text());
        List<Integer> second = new ArrayList<>();
        int at = 0;
        for (String line : b.get(0).lines()) {
            if (ALTERNATIVE.matcher(line).matches()) ++at;
            Matcher m = LEG.matcher(line);
            if (m.matches() && at == 2) second.add(Integer.parseInt(m.group(1)));
        }
        assertFalse(second.isEmpty(), b.get(0).toString());
        assertTrue(out.err().contains("line 2: nothing booked: the last route command listed 2 routes"), out.err());
        assertTrue(b.get(2).lines().get(0).startsWith("Booked 1 seat on each of " + second.size() + " flight"),
                b.get(2).toString());
        assertEquals(second, bookedFlights(b.get(2)), b.get(2).toString());
        assertTrue(out.err().contains("line 4: --choice 3 is not a route listed"), out.err());
        assertTrue(b.get(5).lines().get(0).startsWith("Booked 1 seat on each of 1 flight of the route LHR"),
                b.get(5).toString());
        assertTrue(out.exitCode() != 0, "a failed line fails the script");
    }

    private static List<Integer> bookedFlights(DemoEndToEndTest.Block b) {
        List<Integer> flights = new ArrayList<>();
        for (String line : b.lines()) {
            Matcher m = PLAIN_LEG.matcher(line);
            if (m.matches()) flights.add(Integer.parseInt(m.group(1)));
        }
        return flights;
    }

    @Test
    void placesAsSetsAndReachWithMaps() throws Exception {
        assertTrue(blocks.get(5).lines().get(0).matches("From 'London': any of \\d+ airports: .*LHR.*"),
                blocks.get(5).toString());
        // Airports one day from LHR, by the data: destinations of its one-day flights.
        Set<Integer> oneDay = new HashSet<>();
        for (DemoEndToEndTest.Route r : DemoEndToEndTest.departing.get(DemoEndToEndTest.id("LHR")))
            if (r.days() == 1) oneDay.add(r.to());
        assertEquals(oneDay.size() + " airports within 1 day of LHR:", blocks.get(6).lines().get(0));
        String svg = Files.readString(dir.resolve("reach.svg"));
        assertEquals(oneDay.size(), svg.split("class=\"reached\"", -1).length - 1);
        assertTrue(svg.contains("1 day: " + oneDay.size() + " airports"), "legend");
        assertTrue(Files.size(dir.resolve("alternatives.png")) > 10_000);
    }

    @Test
    void badOptionsGiveOneErrorLineAndStatusTwo() throws Exception {
        String[][] bad = {
            {"route", "LHR", "SYD", "--alternatives", "0"},
            {"route", "LHR", "SYD", "--via", "SYD"},
            {"reach", "LHR", "-2"},
            {"route", "LHR", "SYD", "--passengers", "0"},
            {"route", "LHR", "SYD", "--passengers", "two"},
        };
        for (String[] args : bad) {
            DemoEndToEndTest.Output out = run(args);
            String what = String.join(" ", args);
            assertEquals(2, out.exitCode(), what);
            assertEquals("", out.text(), what);
            assertEquals(1, out.err().strip().split("\n").length, what + ": " + out.err());
            assertTrue(out.err().startsWith("error: "), what + ": " + out.err());
        }
    }
}
