package palvorin.demo.check;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
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

    static Path dir;
    static List<DemoEndToEndTest.Block> blocks;

    /** One script of choice queries, run from a directory of its own, where its maps land. */
    @BeforeAll
    static void runScript() throws Exception {
        DemoEndToEndTest.readData(Path.of(DemoEndToEndTest.property("demo.data")));
        dir = Files.createDirectories(Path.of(DemoEndToEndTest.property("demo.work"), "choices-elsewhere"));
        Files.write(dir.resolve("choices.txt"), List.of(
                "route GKA USH --front",
                "route LHR SYD --alternatives 4",
                "route LHR SYD --avoid NRT",
                "route LHR SYD --via LAX",
                "route LHR JFK --max-legs 1",
                "route London Sydney",
                "reach LHR 1 --map reach.svg",
                "route JFK SYD --alternatives 3 --map alternatives.png",
                "route LHR SYD --passengers 2 --alternatives 2"));
        DemoEndToEndTest.Output out = DemoEndToEndTest.run(List.of(DemoEndToEndTest.property("demo.launcher"),
                "--script", "choices.txt"), null, true, "", dir);
        assertEquals(0, out.exitCode(), out.text() + out.err());
        blocks = DemoEndToEndTest.blocks(out.text());
        assertEquals(9, blocks.size(), out.text());
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
