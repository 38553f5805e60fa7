package palvorin.demo.check;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.Comparator;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Objects;
import java.util.PriorityQueue;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Assumptions;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;

/**
 * Runs the host application through its launcher in a JVM with -Xcheck:jni on the bundled
 * OpenFlights data and checks what it prints against figures worked out here from the data files
 * themselves: leg days from the great-circle distance, and the fewest total days by a plain
 * shortest-path search over routes.dat.
 */
class DemoEndToEndTest {
    // Airports the script uses; they are looked up in airports.dat, so only their codes are fixed.
    static final String HUB = "LHR";
    static final String HUB_PARTNER = "JFK";
    static final String REGIONAL = "GKA";
    static final String FAR_AWAY = "USH";

    record Airport(int id, String code, String name, String city, double lat, double lon) {}

    record Route(int line, int from, int to, int days) {}

    /** What a run printed: stdout, with stderr merged in unless it was kept apart in {@code err}. */
    record Output(String text, String err, int exitCode) {}

    /** One command of a script run and the lines it printed. */
    record Block(String command, List<String> lines) {}

    /** The script's command that lists the airport with quotes in its name; the seat commands follow. */
    static final int QUOTED_AIRPORT = 35;

    record Leg(int flight, String name, int days, int booked, String from, String to) {}

    record ListedFlight(int flight, int days, int booked, boolean departing, String other) {}

    static Map<Integer, Airport> airports = new HashMap<>();
    static Map<String, Integer> idOfCode = new HashMap<>();
    static Map<Integer, Route> routeByLine = new HashMap<>();
    static Map<Integer, List<Route>> departing = new HashMap<>();

    /** An airport whose quoted name holds a quote and a code to ask for it by. */
    static Airport quotedName;
    static int longTotal;
    static int hubTotal;
    static int hubDirectDays;
    static List<Block> script;
    static Output scriptRun;

    @BeforeAll
    static void runScript() throws Exception {
        Path data = Path.of(property("demo.data"));
        readData(data);
        longTotal = shortest(id(REGIONAL), id(FAR_AWAY));
        hubTotal = shortest(id(HUB), id(HUB_PARTNER));
        hubDirectDays = Integer.MAX_VALUE;
        for (Route r : departing.getOrDefault(id(HUB), List.of()))
            if (r.to() == id(HUB_PARTNER)) hubDirectDays = Math.min(hubDirectDays, r.days());
        assertTrue(hubDirectDays < Integer.MAX_VALUE, "the data has a direct " + HUB + "-" + HUB_PARTNER + " flight");
        assertTrue(longTotal > 1 && longTotal < Integer.MAX_VALUE, "the data links " + REGIONAL + " to " + FAR_AWAY);

        quotedName = airports.values().stream()
                .filter(a -> a.name().contains("\"") && !a.code().startsWith("#"))
                .min((x, y) -> Integer.compare(x.id(), y.id())).orElseThrow();

        List<String> commands = List.of(
                "route " + HUB + " " + HUB_PARTNER,
                "route " + REGIONAL.toLowerCase() + " " + FAR_AWAY + " " + (longTotal - 1),
                "book",
                "route " + REGIONAL + " " + FAR_AWAY + " " + longTotal,
                "airport " + REGIONAL,
                "airport " + FAR_AWAY,
                "book",
                "airport " + REGIONAL,
                "airport " + FAR_AWAY,
                // bad input: each gets one error line and the run goes on
                "fly " + HUB,
                "route " + HUB,
                "route " + HUB + " " + HUB_PARTNER + " soon",
                "route QQQQQ " + HUB,
                "airport",
                "remove-flight " + HUB + " first",
                "add-flight 1 " + HUB,
                // refusals from the library, in words
                "route 999999 " + HUB,
                "route " + HUB + " 999998",
                // a small network of our own, joined to the world at the hub
                "add-airport 990001 ZZA Alpha Field",
                "add-airport 990002 ZZB Bravo Field",
                "add-airport 990002 ZZC Taken Number",
                "add-flight 9900001 ZZA ZZB 3 TT ZZA-ZZB",
                "add-flight 9900002 zzb " + HUB + " 2",
                "add-flight 9900001 ZZA " + HUB + " 1",
                "route ZZA ZZB",
                "route ZZA " + HUB_PARTNER,
                "remove-flight ZZB 9900001",
                "route ZZA ZZB",
                "book",
                "add-flight 9900003 ZZA ZZB 1",
                "route ZZA ZZB",
                "remove-airport ZZB",
                "book",
                "route ZZA ZZB",
                "airport ZZB",
                "airport " + quotedName.code(),
                // seats: the first book above sold booking 1
                "route " + HUB + " " + HUB_PARTNER,
                "book 2",
                "book 100000",
                "cancel 2",
                "cancel 2",
                "cancel 99",
                "bookings",
                "help");
        Path work = Files.createDirectories(Path.of(property("demo.work")));
        Path file = work.resolve("script.txt");
        Files.write(file, commands, StandardCharsets.UTF_8);
        scriptRun = launch(List.of("--script", file.toString()), null);
        script = blocks(scriptRun.text());
        assertEquals(commands.size(), script.size(), "every command is echoed once:\n" + scriptRun.text());
        for (int i = 0; i < commands.size(); ++i) assertEquals(commands.get(i), script.get(i).command());
    }

    // ---- routes ----

    @Test
    void routesChainTheirLegsAndTakeTheFewestDays() {
        List<Leg> hub = legs(block(0));
        checkRoute(hub, HUB, HUB_PARTNER, block(0));
        int total = total(block(0));
        assertEquals(hubTotal, total);
        assertTrue(total <= hubDirectDays, "never longer than the direct flight");

        Block regional = block(3);
        List<Leg> legs = legs(regional);
        checkRoute(legs, REGIONAL, FAR_AWAY, regional);
        assertEquals(longTotal, total(regional));
        assertTrue(legs.size() > 1);
        for (Leg leg : legs) assertEquals(0, leg.booked(), "nothing booked yet");
    }

    @Test
    void aRouteOverTheLimitIsRefusedWithTheShortestTotal() {
        Block over = block(1);
        String text = String.join("\n", over.lines());
        assertTrue(legs(over).isEmpty(), text);
        assertTrue(text.contains("at most " + (longTotal - 1) + " days"), text);
        assertTrue(text.contains("shortest takes " + longTotal + " days"), text);
        // The refused route is not left behind to be booked.
        assertTrue(line(block(2)).contains("no route is fitted"), line(block(2)));
    }

    @Test
    void editsChangeTheRoutesFound() {
        assertEquals(1, block(20).lines().size());
        assertTrue(line(block(20)).contains("already taken"), line(block(20)));
        assertTrue(line(block(23)).contains("already has a flight numbered 9900001"), line(block(23)));

        List<Leg> own = legs(block(24));
        assertEquals(1, own.size());
        assertEquals(new Leg(9900001, "TT ZZA-ZZB", 3, 0, "ZZA", "ZZB"), own.get(0));
        assertEquals(3, total(block(24)));

        // Through our two flights to the hub, then the world's fewest days onwards.
        List<Leg> joined = legs(block(25));
        assertEquals("ZZA", joined.get(0).from());
        assertEquals("ZZB", joined.get(1).from());
        assertEquals(HUB, joined.get(1).to());
        assertEquals(HUB_PARTNER, joined.get(joined.size() - 1).to());
        for (int i = 1; i < joined.size(); ++i) assertEquals(joined.get(i - 1).to(), joined.get(i).from());
        assertEquals(3 + 2 + hubTotal, total(block(25)));
        for (Leg leg : joined.subList(2, joined.size())) checkAgainstData(leg);

        assertTrue(line(block(26)).startsWith("Removed flight 9900001"), line(block(26)));
        assertTrue(line(block(27)).contains("no chain of flights"), line(block(27)));
        assertTrue(line(block(28)).contains("no route is fitted"), line(block(28)));
        assertEquals(1, legs(block(30)).size());
        assertTrue(line(block(31)).contains("and its 2 flights"), line(block(31)));
        assertTrue(line(block(32)).contains("removed since it was fitted"), line(block(32)));
        assertTrue(line(block(33)).contains("arrival airport ZZB is not in the network"), line(block(33)));
        assertTrue(line(block(34)).contains("not in the network"), line(block(34)));
    }

    // ---- booking ----

    /** Seats: free seats per leg, book N with its id, cancels once, and the list of bookings. */
    @Test
    void seatsAreSoldCancelledOnceAndListed() {
        int route = QUOTED_AIRPORT + 1;
        List<Leg> legs = legs(block(route));
        assertFalse(legs.isEmpty());
        for (String l : block(route).lines()) {
            Matcher m = Pattern.compile("^\\s+\\d+\\. .*, booked (\\d+), (\\d+) of (\\d+) seats free$").matcher(l);
            if (l.matches("^\\s+\\d+\\. .*")) {
                assertTrue(m.matches(), l);
                assertEquals(Integer.parseInt(m.group(3)) - Integer.parseInt(m.group(1)), Integer.parseInt(m.group(2)), l);
            }
        }
        assertTrue(line(block(route + 1)).startsWith("Booked 2 seats on each of"), line(block(route + 1)));
        assertTrue(line(block(route + 1)).contains(": booking 2."), line(block(route + 1)));
        List<Leg> booked = legs(block(route + 1));
        for (int i = 0; i < legs.size(); ++i) assertEquals(legs.get(i).booked() + 2, booked.get(i).booked());
        assertTrue(line(block(route + 2)).matches("error: line " + (route + 3)
                + ": nothing booked: flight \\d+ from \\S+ has \\d+ seats left, not 100000\\."), line(block(route + 2)));
        assertTrue(line(block(route + 3)).startsWith("Cancelled booking 2: 2 seats back on sale"), line(block(route + 3)));
        assertTrue(line(block(route + 4)).endsWith("booking 2 was already cancelled: nothing changed."), line(block(route + 4)));
        assertTrue(line(block(route + 5)).endsWith("no booking 99: nothing cancelled."), line(block(route + 5)));
        List<String> list = block(route + 6).lines();
        assertEquals(2, list.size(), String.join("\n", list));
        assertTrue(list.get(0).startsWith("  1. 1 seat, " + REGIONAL), list.get(0));
        assertTrue(list.get(1).startsWith("  2. 2 seats, " + HUB) && list.get(1).endsWith("cancelled"), list.get(1));
    }

    @Test
    void bookingRaisesTheCountsOfExactlyTheRoutesFlights() {
        List<Leg> route = legs(block(3));
        List<Leg> booked = legs(block(6));
        assertEquals(route.size(), booked.size(), String.join("\n", block(6).lines()));
        for (int i = 0; i < route.size(); ++i) {
            assertEquals(route.get(i).flight(), booked.get(i).flight());
            assertEquals(route.get(i).booked() + 1, booked.get(i).booked());
        }
        int first = route.get(0).flight();
        int last = route.get(route.size() - 1).flight();
        checkOneRaised(listed(block(4)), listed(block(7)), first, true);
        checkOneRaised(listed(block(5)), listed(block(8)), last, false);
    }

    private static void checkOneRaised(List<ListedFlight> before, List<ListedFlight> after, int flight, boolean departs) {
        assertEquals(before.size(), after.size());
        assertFalse(before.isEmpty());
        for (int i = 0; i < before.size(); ++i) {
            ListedFlight b = before.get(i);
            ListedFlight a = after.get(i);
            assertEquals(b.flight(), a.flight());
            boolean ours = b.flight() == flight && b.departing() == departs;
            assertEquals(b.booked() + (ours ? 1 : 0), a.booked(), "flight " + b.flight());
        }
        assertTrue(after.stream().anyMatch(f -> f.flight() == flight && f.departing() == departs));
    }

    @Test
    void airportListsMatchTheData() {
        int gka = id(REGIONAL);
        List<ListedFlight> listed = listed(block(4));
        long dep = listed.stream().filter(ListedFlight::departing).count();
        assertEquals(departing.getOrDefault(gka, List.of()).size(), dep);
        long arr = routeByLine.values().stream().filter(r -> r.to() == gka).count();
        assertEquals(arr, listed.size() - dep);
        for (ListedFlight f : listed) {
            Route r = routeByLine.get(f.flight());
            assertNotNull(r, "flight " + f.flight() + " is a line of routes.dat");
            assertEquals(f.departing() ? r.from() : r.to(), gka);
            assertEquals(code(f.departing() ? r.to() : r.from()), f.other());
            assertEquals(r.days(), f.days());
        }
    }

    @Test
    void airportNamesSurviveQuotingInTheData() {
        String header = line(block(QUOTED_AIRPORT));
        assertTrue(header.startsWith("Airport " + quotedName.code() + " " + quotedName.name()), header);
        assertTrue(line(block(4)).startsWith("Airport " + REGIONAL + " " + airports.get(id(REGIONAL)).name()),
                line(block(4)));
    }

    // ---- bad input ----

    @Test
    void badInputGetsOneErrorLineInWords() {
        for (int i = 9; i <= 15; ++i) {
            Block b = block(i);
            assertEquals(1, b.lines().size(), b.command() + " -> " + b.lines());
            // The script's line number: the commands are its lines from 1 on.
            assertTrue(line(b).matches("error: line " + (i + 1) + ": [a-zA-Z].*[a-zA-Z'\\])].*"), line(b));
        }
        assertTrue(line(block(16)).contains("departure airport #999999 is not in the network"), line(block(16)));
        assertTrue(line(block(17)).contains("arrival airport #999998 is not in the network"), line(block(17)));
        // The run went on to the end, and its status says that commands failed.
        assertTrue(block(script.size() - 1).lines().size() > 3, "help printed");
        assertEquals(1, scriptRun.exitCode());
        // Days and flight numbers are explained once, however many routes were printed; no limit is no number.
        String routes = String.join("\n", script.subList(0, script.size() - 1).stream()
                .map(b -> String.join("\n", b.lines())).toList());
        assertEquals(1, routes.split("great-circle distance", -1).length - 1, routes);
        assertTrue(String.join("\n", block(script.size() - 1).lines()).contains("great-circle distance"), "help says it too");
        // (Only a message about a range may name the largest number.)
        for (Block b : script)
            for (String l : b.lines())
                if (!l.contains(" to " + Integer.MAX_VALUE))
                    assertFalse(l.contains(String.valueOf(Integer.MAX_VALUE)), b.command() + ": " + l);
    }

    @Test
    void noJniWarnings() {
        checkNoJniWarnings(scriptRun.text());
    }

    // ---- the other ways to start it ----

    @Test
    void oneCommandOnTheCommandLine() throws Exception {
        Output run = launchApart(List.of("route", HUB, HUB_PARTNER));
        checkNoJniWarnings(run.text() + run.err());
        assertEquals(0, run.exitCode(), run.text() + run.err());
        assertEquals("", run.err());
        Block b = new Block("route", Arrays.asList(run.text().split("\n")));
        checkRoute(legs(b), HUB, HUB_PARTNER, b);
        assertEquals(hubTotal, total(b));

        // Failures: nothing on stdout, one line in words on stderr, status 1 (2 when the words
        // make no command: a bad command line).
        String unknown = unknownCode();
        for (List<String> bad : List.of(List.of("route", HUB), List.of("route", unknown, HUB),
                List.of("route", HUB, HUB_PARTNER, "99999999999"), List.of("route", HUB, HUB_PARTNER, "--map", "x.txt"))) {
            Output out = launchApart(bad);
            assertEquals(bad.size() == 2 ? 2 : 1, out.exitCode(), bad + ": " + out.text() + out.err());
            assertEquals("", out.text(), bad.toString());
            assertEquals(1, out.err().lines().count(), bad + ": " + out.err());
            assertTrue(out.err().startsWith("error: "), out.err());
            if (bad.size() == 2) assertTrue(out.err().contains("missing argument"), out.err());
            if (bad.get(1).equals(unknown)) assertTrue(out.err().contains(unknown), out.err());
            // A limit out of range says the range.
            if (bad.size() == 4) assertTrue(out.err().contains("0 to " + Integer.MAX_VALUE), out.err());
        }
    }

    @Test
    void helpAndVersionAnswerWithoutTheData() throws Exception {
        List<String> missing = List.of("--data", Path.of(property("demo.work"), "no-such-folder").toString());
        Output help = launchApart(concat(missing, "--help"));
        assertEquals(0, help.exitCode(), help.err());
        assertTrue(help.text().startsWith("usage: "), help.text());
        assertTrue(help.text().contains("find TEXT"), help.text());
        Output version = launchApart(concat(missing, "--version"));
        assertEquals(0, version.exitCode(), version.err());
        assertTrue(version.text().matches("tavrik-demo \\S+\\s*"), version.text());
        // The same folder with a command does need the data, and says which file is missing.
        Output noData = launchApart(concat(missing, "route", HUB, HUB_PARTNER));
        assertEquals(2, noData.exitCode());
        assertTrue(noData.err().contains("airports.dat"), noData.err());
    }

    @Test
    void scriptAndStandardInputReadAlikeWhateverTheBytes() throws Exception {
        // The second line is not UTF-8; it fails alone and the rest runs.
        byte[] bytes = ("route " + HUB + " " + HUB_PARTNER + "\nairport \u00ff\u00fe\n" + "airport " + REGIONAL + "\n")
                .getBytes(StandardCharsets.ISO_8859_1);
        Path file = Files.createDirectories(Path.of(property("demo.work"))).resolve("malformed.txt");
        Files.write(file, bytes);
        Output fromFile = launchApart(List.of("--script", file.toString()));
        Output fromStdin = launchApart(List.of(), bytes);
        for (Output run : List.of(fromFile, fromStdin)) {
            checkNoJniWarnings(run.text() + run.err());
            assertEquals(1, run.exitCode(), run.err());
            List<Block> blocks = blocks(run.text());
            assertEquals(3, blocks.size(), run.text());
            checkRoute(legs(blocks.get(0)), HUB, HUB_PARTNER, blocks.get(0));
            assertTrue(blocks.get(1).lines().isEmpty(), "the error is not on stdout: " + blocks.get(1));
            assertEquals(listed(block(4)).size(), listed(blocks.get(2)).size(), run.text());
            assertEquals(1, run.err().lines().count(), run.err());
            assertTrue(run.err().startsWith("error: line 2: "), run.err());
            // Piped input runs no sample session: the output starts with the first command's.
            assertTrue(run.text().startsWith("> route " + HUB), run.text());
        }
        assertEquals(fromFile.text(), fromStdin.text());
        assertEquals(fromFile.err(), fromStdin.err());
    }

    // ---- airports by place ----

    @Test
    void findListsAirportsByPlaceBestFirst() throws Exception {
        // Every airport of the city is named, whatever the case typed.
        Output ush = launchApart(List.of("find", "ushuaia"));
        assertEquals(0, ush.exitCode(), ush.err());
        for (Airport a : airports.values())
            if (fold(a.city()).equals("ushuaia")) assertTrue(ush.text().contains(" " + a.code() + " "), ush.text());
        assertTrue(ush.text().contains(" " + FAR_AWAY + " "), ush.text());

        // A city written with accents is found without them.
        Airport accented = airports.values().stream()
                .filter(a -> !fold(a.city()).equals(a.city().toLowerCase(java.util.Locale.ROOT))
                        && fold(a.city()).matches("[a-z ]+") && a.code().length() == 3 && departing.containsKey(a.id()))
                .min((x, y) -> Integer.compare(x.id(), y.id())).orElseThrow();
        Output acc = launchApart(List.of("find", fold(accented.city()).toUpperCase(java.util.Locale.ROOT)));
        assertTrue(acc.text().contains(" " + accented.code() + " "), accented + "\n" + acc.text());

        // Among a city's airports, the one with the most flights comes first.
        Output london = launchApart(List.of("find", "London"));
        Airport busiest = airports.values().stream().filter(a -> a.city().equals("London"))
                .max((x, y) -> Integer.compare(flightCount(x.id()), flightCount(y.id()))).orElseThrow();
        String first = london.text().lines().skip(1).findFirst().orElse("").strip();
        assertTrue(first.startsWith(busiest.code() + " "), london.text());

        Output none = launchApart(List.of("find", "Qqqzzxv"));
        assertEquals(1, none.exitCode());
        assertEquals("", none.text());
    }

    @Test
    void routesAcceptAPlaceThatNamesOneAirport() throws Exception {
        List<Airport> inUshuaia = airports.values().stream().filter(a -> fold(a.city()).equals("ushuaia")).toList();
        assertEquals(1, inUshuaia.size(), "the data has one airport in Ushuaia");
        Output run = launchApart(List.of("route", REGIONAL, "Ushuaia"));
        assertEquals(0, run.exitCode(), run.err());
        Block b = new Block("route", Arrays.asList(run.text().split("\n")));
        checkRoute(legs(b), REGIONAL, inUshuaia.get(0).code(), b);
        assertEquals(longTotal, total(b));

        // A city of several airports is the set of them (in the country of the busiest), listed
        // in the answer, and one search from all of them.
        Output london = launchApart(List.of("route", "London", HUB_PARTNER));
        assertEquals(0, london.exitCode(), london.err());
        String listed = london.text().lines().findFirst().orElse("");
        assertTrue(listed.startsWith("From 'London': any of "), london.text());
        List<Airport> inLondon = new ArrayList<>(airports.values().stream().filter(a -> a.city().equals("London")).toList());
        assertTrue(inLondon.size() > 1);
        inLondon.sort((x, y) -> Integer.compare(flightCount(y.id()), flightCount(x.id())));
        for (Airport a : inLondon.subList(0, 3)) assertTrue((listed + " ").contains(" " + a.code() + " "), listed);
    }

    @Test
    void aMapIsWrittenForARouteAndForAnAirport() throws Exception {
        Path work = Files.createDirectories(Path.of(property("demo.work")));
        Path svg = work.resolve("route.svg");
        Path png = work.resolve("airport.png");
        Files.deleteIfExists(svg);
        Files.deleteIfExists(png);
        Output route = launchApart(List.of("route", REGIONAL, FAR_AWAY, "--map", svg.toString()));
        assertEquals(0, route.exitCode(), route.err());
        String picture = Files.readString(svg);
        assertTrue(picture.contains("<svg"), "an SVG picture");
        for (String code : List.of(REGIONAL, FAR_AWAY)) assertTrue(picture.contains(code), code + " labelled");
        Output airport = launchApart(List.of("airport", REGIONAL, "--map", png.toString()));
        assertEquals(0, airport.exitCode(), airport.err());
        byte[] head = Arrays.copyOf(Files.readAllBytes(png), 4);
        assertEquals("\u0089PNG", new String(head, StandardCharsets.ISO_8859_1));
    }

    @Test
    void withoutArgumentsASampleSessionRunsThenStandardInput() throws Exception {
        // At a terminal (a pseudo-terminal made by script(1)); typed-ahead input waits for the prompt.
        Output run = launchAtTerminal("airport " + REGIONAL + "\rquit\rroute " + HUB + " " + HUB_PARTNER + "\r");
        checkNoJniWarnings(run.text());
        assertEquals(0, run.exitCode(), run.text());
        String text = run.text().replace("\r", "");
        int turn = text.indexOf("Your turn.");
        assertTrue(turn > 0, text);
        List<Block> blocks = blocks(text.substring(0, turn));
        assertTrue(blocks.size() >= 3, run.text());
        Block sampleRoute = blocks.stream().filter(b -> b.command().startsWith("route ")).findFirst().orElseThrow();
        String[] ends = sampleRoute.command().split(" ");
        checkRoute(legs(sampleRoute), ends[1], ends[2], sampleRoute);
        assertTrue(blocks.stream().anyMatch(b -> b.command().equals("book") && line(b).startsWith("Booked")));
        // The terminal's input came after the sample and stopped at quit.
        String typed = text.substring(turn);
        assertTrue(typed.contains("Airport " + REGIONAL + " "), typed);
        assertFalse(typed.contains("Route "), typed);
    }

    // ---- hostile input ----

    /**
     * One run of the program as a careless or malicious user would start it: {@code shell} is a
     * bash command run in an empty folder of its own ($T is the launcher), {@code stdin} what it
     * reads, then the exit status, the one line on stderr (a regular expression; null: nothing on
     * stderr), and every file in the folder afterwards: a name, name=exact content, or
     * name~regular expression over the content. {@code fullDisk}: the folder has a 64 KiB tmpfs
     * mounted at full/.
     */
    record Hostile(String name, String shell, String stdin, int status, String stderr, List<String> files,
            boolean fullDisk) {
        Hostile(String name, String shell, String stdin, int status, String stderr, String... files) {
            this(name, shell, stdin, status, stderr, List.of(files), false);
        }

        Hostile onFullDisk() {
            return new Hostile(name, shell, stdin, status, stderr, files, true);
        }
    }

    static List<Hostile> hostileCases() {
        String noMatch = "no airport's code, city, name or country matches ";
        String route = "route " + REGIONAL + " " + FAR_AWAY;
        return List.of(
                // Every write checked: a failed or closed output is an error, a closed pipe stops at once.
                new Hostile("output to a full device", "\"$T\" route LHR JFK >/dev/full", null, 1,
                        "error: cannot write to standard output: No space left on device"),
                new Hostile("output closed", "\"$T\" route LHR JFK >&-", null, 1,
                        "error: cannot write to standard output: it is closed"),
                new Hostile("script into a pipe closed after one line",
                        "for i in $(seq 20000); do echo 'airport LHR'; done > big.txt;"
                                + " echo '" + route + " --map late.svg' >> big.txt;"
                                + " set -o pipefail; \"$T\" --script big.txt | head -n 1 > first.txt",
                        null, 141, null, "big.txt", "first.txt=> airport LHR\n"),
                new Hostile("input closed", "\"$T\" <&-", null, 0, null),
                // No @file expansion: the word is looked up as typed, the file is never read.
                new Hostile("@file on the command line", "echo " + HUB + " > s.txt; \"$T\" find @s.txt", null, 1,
                        Pattern.quote("error: " + noMatch + "'@s.txt'."), "s.txt"),
                new Hostile("@file in a script line", "echo " + HUB + " > s.txt; \"$T\"", "find @s.txt\n", 1,
                        Pattern.quote("error: line 1: " + noMatch + "'@s.txt'."), "s.txt"),
                new Hostile("@/dev/zero as an airport", "\"$T\" route @/dev/zero " + HUB, null, 1,
                        Pattern.quote("error: no airport has the code, city or name '@/dev/zero' (try: find @/dev/zero)")),
                // Bounded lines: refused as soon as they pass the limit, the rest dropped unread into memory.
                new Hostile("a line over 64 KiB, then a command", "\"$T\" > out.txt",
                        "x".repeat(70_000) + "\nfind Ushuaia\n", 1,
                        "error: line 1: line longer than 65536 bytes; skipped", "out.txt~(?s)> find Ushuaia\n.* USH .*"),
                new Hostile("100 MB without a line end in a small heap",
                        "head -c 100000000 /dev/zero | JAVA_OPTS=\"$JAVA_OPTS -Xmx40m\" \"$T\"", null, 1,
                        "error: line 1: line longer than 65536 bytes; skipped"),
                new Hostile("a word longer than any airport's name",
                        "\"$T\" route \"$(head -c 100000 /dev/zero | tr '\\0' x)\" " + HUB, null, 1,
                        "error: no airport has a code, city or name of 100000 characters \\(the longest has \\d+\\):"
                                + " 'x{60}\\.\\.\\. \\(100000 characters\\)'"),
                new Hostile("a line end inside a word stays one error line",
                        "\"$T\" route \"$(printf 'zq\\nqz')\" " + HUB, null, 1,
                        Pattern.quote("error: no airport has the code, city or name 'zq\\nqz' (try: find zq\\nqz)")),
                // Control characters reach a file as they are, a terminal escaped.
                new Hostile("an escape sequence to a file", "\"$T\" find \"$(printf 'a\\033[2Jb')\"", null, 1,
                        Pattern.quote("error: " + noMatch + "'a\u001b[2Jb'.")),
                new Hostile("an escape sequence to a terminal",
                        "script -qec \"\\\"$T\\\" find \\\"$(printf 'a\\033[2Jb\\302\\233c')\\\"\" /dev/null > tty.txt",
                        null, 1, null, "tty.txt~[^\u001b\u009b]*" + Pattern.quote("'a\\x1b[2Jb\\u009bc'") + "[^\u001b\u009b]*"),
                // Maps: complete or nothing, whatever was there untouched, the reason given.
                new Hostile("a PNG over an old file on a full disk",
                        "printf OLD > full/old.png; \"$T\" " + route + " --map full/old.png > /dev/null", null, 1,
                        Pattern.quote("error: no map written: cannot write full/old.png: no space left on device."),
                        "full/old.png=OLD").onFullDisk(),
                new Hostile("an SVG on a full disk", "\"$T\" " + route + " --map full/new.svg > /dev/null", null, 1,
                        Pattern.quote("error: no map written: cannot write full/new.svg: no space left on device."))
                        .onFullDisk(),
                new Hostile("a map into a missing folder", "\"$T\" " + route + " --map nowhere/m.svg > /dev/null", null, 1,
                        "error: no map written: cannot write nowhere/m\\.svg: no such folder /.*/nowhere\\."),
                new Hostile("a map over a folder", "mkdir m.svg; \"$T\" " + route + " --map m.svg > /dev/null", null, 1,
                        Pattern.quote("error: no map written: cannot write m.svg: it is a folder.")),
                new Hostile("a PNG without a temporary folder",
                        "JAVA_OPTS=\"$JAVA_OPTS -Djava.io.tmpdir=$PWD/none\" \"$T\" " + route + " --map m.png > /dev/null",
                        null, 0, null, "m.png~(?s)\u0089PNG.*"),
                // A bad command line is status 2.
                new Hostile("a command without its arguments", "\"$T\" route", null, 2,
                        Pattern.quote("error: missing argument; usage: route FROM TO [MAXDAYS] [--map FILE]"
                                + " [--alternatives K] [--front] [--avoid A,B] [--via C] [--max-legs N]"
                                + " [--passengers N]")),
                new Hostile("an unknown command", "\"$T\" fly " + HUB, null, 2,
                        Pattern.quote("error: unknown command 'fly' (type help for the list)")),
                new Hostile("a script that is a folder", "mkdir d; \"$T\" --script d", null, 2,
                        Pattern.quote("error: the script d is a folder, not a file of commands")),
                new Hostile("a launcher reached through a symbolic link", "ln -s \"$T\" t; ./t find Ushuaia > out.txt",
                        null, 0, null, "out.txt~(?s).* USH .*", "t"));
    }

    @TestFactory
    List<DynamicTest> hostileInputGetsOneErrorLineTheRightStatusAndLeavesNoFiles() {
        // The table checks the program's own handling of its streams, files and words; the
        // sanitizer builds, several times slower, check the library and skip it.
        Assumptions.assumeTrue(System.getProperty("demo.preload", "").isBlank(),
                "skipped in a sanitizer build: the hostile table runs in the normal one");
        return hostileCases().stream().map(c -> DynamicTest.dynamicTest(c.name(), () -> runHostile(c))).toList();
    }

    private static void runHostile(Hostile c) throws Exception {
        Path dir = Path.of(property("demo.work"), "hostile", c.name().replaceAll("[^a-zA-Z0-9]+", "-"));
        Path full = dir.resolve("full");
        unmount(full);
        deleteTree(dir);
        Files.createDirectories(dir);
        if (c.fullDisk()) {
            Files.createDirectories(full);
            Process mount = new ProcessBuilder("mount", "-t", "tmpfs", "-o", "size=64k", "tavrik-full", full.toString())
                    .redirectErrorStream(true).start();
            String why = new String(mount.getInputStream().readAllBytes(), StandardCharsets.UTF_8).strip();
            Assumptions.assumeTrue(mount.waitFor() == 0, "skipped: a small tmpfs cannot be mounted here (" + why + ")");
        }
        try {
            Output run = run(List.of("bash", "-c", c.shell()), c.stdin() == null ? null : c.stdin().getBytes(StandardCharsets.UTF_8),
                    true, "", dir);
            String what = c.name() + ": " + c.shell() + "\nstderr: " + run.err().substring(0, Math.min(2000,
                    run.err().length()));
            checkNoJniWarnings(run.text() + run.err());
            assertEquals(c.status(), run.exitCode(), what);
            if (c.stderr() == null) {
                assertEquals("", run.err(), what);
            } else {
                assertEquals(1, run.err().lines().count(), what);
                assertTrue(run.err().strip().matches(c.stderr()), what);
            }
            List<String> expected = new ArrayList<>();
            for (String f : c.files()) expected.add(f.split("[=~]", 2)[0]);
            Collections.sort(expected);
            assertEquals(expected, filesIn(dir), what);
            for (String f : c.files()) {
                String[] nameAndContent = f.split("(?=[=~])", 2);
                if (nameAndContent.length < 2) continue;
                String content = Files.readString(dir.resolve(nameAndContent[0]), StandardCharsets.ISO_8859_1);
                String want = nameAndContent[1].substring(1);
                if (nameAndContent[1].startsWith("=")) assertEquals(want, content, what);
                else assertTrue(Pattern.compile(want).matcher(content).matches(), what + "\n" + f + ":\n" + content);
            }
        } finally {
            unmount(full);
        }
    }

    /** Every file under {@code dir} (not the folders), by path relative to it, sorted. */
    private static List<String> filesIn(Path dir) throws IOException {
        try (var walk = Files.walk(dir)) {
            return walk.filter(p -> !Files.isDirectory(p, java.nio.file.LinkOption.NOFOLLOW_LINKS))
                    .map(p -> dir.relativize(p).toString()).sorted().toList();
        }
    }

    private static void unmount(Path dir) throws Exception {
        if (new ProcessBuilder("mountpoint", "-q", dir.toString()).start().waitFor() == 0)
            new ProcessBuilder("umount", dir.toString()).inheritIO().start().waitFor();
    }

    private static void deleteTree(Path dir) throws IOException {
        if (!Files.exists(dir, java.nio.file.LinkOption.NOFOLLOW_LINKS)) return;
        try (var walk = Files.walk(dir)) {
            for (Path p : walk.sorted(Comparator.reverseOrder()).toList()) Files.delete(p);
        }
    }

    // ---- checks on printed routes ----

    private static void checkRoute(List<Leg> legs, String from, String to, Block block) {
        String text = block.command() + "\n" + String.join("\n", block.lines());
        assertFalse(legs.isEmpty(), text);
        assertEquals(code(id(from)), legs.get(0).from(), text);
        assertEquals(code(id(to)), legs.get(legs.size() - 1).to(), text);
        int sum = 0;
        for (int i = 0; i < legs.size(); ++i) {
            if (i > 0) assertEquals(legs.get(i - 1).to(), legs.get(i).from(), "legs chain: " + text);
            checkAgainstData(legs.get(i));
            sum += legs.get(i).days();
        }
        assertEquals(sum, total(block), "the total is the sum of the legs: " + text);
        Matcher limit = Pattern.compile("^(?:route|ROUTE) \\S+ \\S+ (\\d+)$").matcher(block.command());
        if (limit.matches()) assertTrue(sum <= Integer.parseInt(limit.group(1)), text);
    }

    /** The leg is the routes.dat line its flight number names, with the days of its distance. */
    private static void checkAgainstData(Leg leg) {
        Route r = routeByLine.get(leg.flight());
        assertNotNull(r, "flight " + leg.flight() + " is a usable line of routes.dat");
        assertEquals(code(r.from()), leg.from());
        assertEquals(code(r.to()), leg.to());
        assertEquals(r.days(), leg.days(), "days of flight " + leg.flight());
        assertTrue(leg.name().endsWith(code(r.from()) + "-" + code(r.to())), leg.name());
    }

    /** The build's list of what the JVM's JNI checks, a JVM crash and the sanitizers print. */
    private static final Pattern COMPLAINTS = Pattern.compile(
            Objects.requireNonNull(System.getProperty("tavrik.jvm.complaints"), "tavrik.jvm.complaints is not set"));

    private static void checkNoJniWarnings(String text) {
        for (String l : text.split("\n"))
            if (COMPLAINTS.matcher(l).find()) fail("the JVM or a sanitizer complained: " + l);
    }

    // ---- reading the program's output ----

    private static final Pattern LEG = Pattern.compile(
            "^\\s+\\d+\\. (.+) \\(flight (\\d+)\\), (\\d+) days?, booked (\\d+).*$");
    private static final Pattern FROM = Pattern.compile("^\\s+from (\\S+)( .*)?$");
    private static final Pattern TO = Pattern.compile("^\\s+to\\s+(\\S+)( .*)?$");
    private static final Pattern TOTAL = Pattern.compile("^Total: (\\d+) flights?, (\\d+) days?\\b.*$");
    private static final Pattern LISTED = Pattern.compile(
            "^\\s+flight (\\d+)\\s.*?\\s(\\d+) days?\\s+booked (\\d+)\\s+(to|from)\\s+(\\S+).*$");

    static List<Block> blocks(String text) {
        List<Block> blocks = new ArrayList<>();
        for (String l : text.split("\n")) {
            if (l.startsWith("> ")) blocks.add(new Block(l.substring(2), new ArrayList<>()));
            else if (!blocks.isEmpty() && !l.isBlank()) blocks.get(blocks.size() - 1).lines().add(l);
        }
        return blocks;
    }

    static List<Leg> legs(Block b) {
        List<Leg> legs = new ArrayList<>();
        List<String> lines = b.lines();
        for (int i = 0; i < lines.size(); ++i) {
            Matcher m = LEG.matcher(lines.get(i));
            if (!m.matches()) continue;
            assertTrue(i + 2 < lines.size(), "a leg is followed by its two airports");
            Matcher f = FROM.matcher(lines.get(i + 1));
            Matcher t = TO.matcher(lines.get(i + 2));
            assertTrue(f.matches() && t.matches(), lines.get(i + 1) + " / " + lines.get(i + 2));
            legs.add(new Leg(Integer.parseInt(m.group(2)), m.group(1), Integer.parseInt(m.group(3)),
                    Integer.parseInt(m.group(4)), f.group(1), t.group(1)));
        }
        return legs;
    }

    static int total(Block b) {
        for (String l : b.lines()) {
            Matcher m = TOTAL.matcher(l);
            if (m.matches()) {
                assertEquals(legs(b).size(), Integer.parseInt(m.group(1)), l);
                return Integer.parseInt(m.group(2));
            }
        }
        return fail("no total in " + b);
    }

    static List<ListedFlight> listed(Block b) {
        List<ListedFlight> flights = new ArrayList<>();
        for (String l : b.lines()) {
            Matcher m = LISTED.matcher(l);
            if (m.matches())
                flights.add(new ListedFlight(Integer.parseInt(m.group(1)), Integer.parseInt(m.group(2)),
                        Integer.parseInt(m.group(3)), m.group(4).equals("to"), m.group(5)));
        }
        return flights;
    }

    static Block block(int i) {
        return script.get(i);
    }

    static String line(Block b) {
        assertFalse(b.lines().isEmpty(), b.command() + " printed nothing");
        return b.lines().get(0);
    }

    // ---- running the program ----

    static Output launch(List<String> args, String stdin) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>();
        command.add(property("demo.launcher"));
        command.addAll(args);
        return run(command, stdin == null ? null : stdin.getBytes(StandardCharsets.UTF_8), false);
    }

    /** Runs the program with stdout and stderr kept apart. */
    static Output launchApart(List<String> args) throws IOException, InterruptedException {
        return launchApart(args, null);
    }

    static Output launchApart(List<String> args, byte[] stdin) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>();
        command.add(property("demo.launcher"));
        command.addAll(args);
        return run(command, stdin, true);
    }

    /** Runs the program on a pseudo-terminal, typing {@code keys} into it. */
    static Output launchAtTerminal(String keys) throws IOException, InterruptedException {
        List<String> command = List.of("script", "-qec", "'" + property("demo.launcher") + "'", "/dev/null");
        // The prompt's history goes to the work folder, not the home of whoever runs the test.
        Path home = Files.createDirectories(Path.of(property("demo.work"), "home"));
        return run(command, keys.getBytes(StandardCharsets.UTF_8), false, "-Duser.home=" + home);
    }

    static Output run(List<String> command, byte[] stdin, boolean apart) throws IOException, InterruptedException {
        return run(command, stdin, apart, "");
    }

    static Output run(List<String> command, byte[] stdin, boolean apart, String javaOpts)
            throws IOException, InterruptedException {
        return run(command, stdin, apart, javaOpts, null);
    }

    /** Runs {@code command} in {@code dir} (null: here); $T in its environment is the launcher. */
    static Output run(List<String> command, byte[] stdin, boolean apart, String javaOpts, Path dir)
            throws IOException, InterruptedException {
        ProcessBuilder pb = new ProcessBuilder(command).redirectErrorStream(!apart);
        if (dir != null) pb.directory(dir.toFile());
        pb.environment().put("T", property("demo.launcher"));
        Path errFile = null;
        if (apart) {
            errFile = Files.createTempFile(Files.createDirectories(Path.of(property("demo.work"))), "stderr", ".txt");
            pb.redirectError(errFile.toFile());
        }
        pb.environment().put("JAVA_OPTS", ("-Xcheck:jni " + javaOpts).strip());
        String preload = System.getProperty("demo.preload", "");
        if (!preload.isBlank()) {
            // A sanitizer build: its runtimes go first, and the JVM keeps the signals it relies on.
            pb.environment().put("LD_PRELOAD", preload);
            pb.environment().put("ASAN_OPTIONS", "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:"
                    + "allow_user_segv_handler=1:detect_leaks=0:detect_stack_use_after_return=0");
            pb.environment().put("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1");
        }
        if (stdin == null) pb.redirectInput(ProcessBuilder.Redirect.from(new java.io.File("/dev/null")));
        // Output to a file, input from a thread of its own: a program that hangs, or stops
        // reading, cannot hang the test past its time limit.
        Path outFile = Files.createTempFile(Files.createDirectories(Path.of(property("demo.work"))), "stdout", ".txt");
        pb.redirectOutput(outFile.toFile());
        Process p = pb.start();
        Thread feeder = new Thread(() -> {
            try (var in = p.getOutputStream()) {
                if (stdin != null) in.write(stdin);
            } catch (IOException e) {
                // The program stopped reading before the end: what it did is checked all the same.
            }
        });
        feeder.start();
        if (!p.waitFor(120, TimeUnit.SECONDS)) {
            p.descendants().forEach(ProcessHandle::destroyForcibly);
            p.destroyForcibly();
            fail("the program did not end: " + command);
        }
        feeder.join();
        String out = new String(Files.readAllBytes(outFile), StandardCharsets.UTF_8);
        Files.delete(outFile);
        String err = "";
        if (errFile != null) {
            err = new String(Files.readAllBytes(errFile), StandardCharsets.UTF_8);
            Files.delete(errFile);
        }
        return new Output(out, err, p.exitValue());
    }

    static String property(String name) {
        String v = System.getProperty(name);
        assertNotNull(v, "system property " + name);
        return v;
    }

    // ---- the data, read independently of the program ----

    static void readData(Path data) throws IOException {
        for (String l : Files.readAllLines(data.resolve("airports.dat"), StandardCharsets.UTF_8)) {
            List<String> f = fields(l);
            int id = Integer.parseInt(f.get(0));
            String iata = f.get(4);
            String icao = f.get(5);
            String code = !iata.equals("\\N") ? iata : !icao.equals("\\N") ? icao : "#" + id;
            airports.put(id, new Airport(id, code, f.get(1), f.get(2), Double.parseDouble(f.get(6)),
                    Double.parseDouble(f.get(7))));
            for (String c : new String[] {iata, icao})
                if (!c.equals("\\N")) idOfCode.putIfAbsent(c, id);
        }
        List<String> lines = Files.readAllLines(data.resolve("routes.dat"), StandardCharsets.UTF_8);
        for (int i = 0; i < lines.size(); ++i) {
            String[] f = lines.get(i).split(",", -1);
            if (f[3].equals("\\N") || f[5].equals("\\N")) continue;
            Airport a = airports.get(Integer.parseInt(f[3]));
            Airport b = airports.get(Integer.parseInt(f[5]));
            if (a == null || b == null || a == b) continue;
            Route r = new Route(i + 1, a.id(), b.id(), 1 + (int) (kilometres(a, b) / 2000));
            routeByLine.put(r.line(), r);
            departing.computeIfAbsent(a.id(), k -> new ArrayList<>()).add(r);
        }
    }

    /** Great-circle distance (haversine, atan2 form) on a sphere of radius 6371 km. */
    static double kilometres(Airport a, Airport b) {
        double la1 = Math.toRadians(a.lat()), la2 = Math.toRadians(b.lat());
        double s1 = Math.sin((la2 - la1) / 2), s2 = Math.sin(Math.toRadians(b.lon() - a.lon()) / 2);
        double h = s1 * s1 + Math.cos(la1) * Math.cos(la2) * s2 * s2;
        return 6371.0 * 2 * Math.atan2(Math.sqrt(h), Math.sqrt(1 - h));
    }

    /** Fewest total days from one airport to another over routes.dat (Integer.MAX_VALUE if none). */
    static int shortest(int from, int to) {
        Map<Integer, Integer> best = new HashMap<>();
        PriorityQueue<int[]> queue = new PriorityQueue<>((x, y) -> Integer.compare(x[1], y[1]));
        best.put(from, 0);
        queue.add(new int[] {from, 0});
        while (!queue.isEmpty()) {
            int[] top = queue.poll();
            if (top[1] > best.get(top[0])) continue;
            if (top[0] == to) return top[1];
            for (Route r : departing.getOrDefault(top[0], List.of())) {
                int d = top[1] + r.days();
                if (d < best.getOrDefault(r.to(), Integer.MAX_VALUE)) {
                    best.put(r.to(), d);
                    queue.add(new int[] {r.to(), d});
                }
            }
        }
        return Integer.MAX_VALUE;
    }

    /** One CSV line; quoted fields may hold commas and doubled quotes. */
    static List<String> fields(String line) {
        List<String> out = new ArrayList<>();
        StringBuilder cur = new StringBuilder();
        boolean inQuotes = false;
        for (int i = 0; i < line.length(); ++i) {
            char c = line.charAt(i);
            if (inQuotes) {
                if (c == '"' && i + 1 < line.length() && line.charAt(i + 1) == '"') {
                    cur.append('"');
                    ++i;
                } else if (c == '"') {
                    inQuotes = false;
                } else {
                    cur.append(c);
                }
            } else if (c == '"') {
                inQuotes = true;
            } else if (c == ',') {
                out.add(cur.toString());
                cur.setLength(0);
            } else {
                cur.append(c);
            }
        }
        out.add(cur.toString());
        return out;
    }

    /** Departing and arriving flights of an airport in routes.dat. */
    static int flightCount(int id) {
        int n = departing.getOrDefault(id, List.of()).size();
        for (Route r : routeByLine.values()) if (r.to() == id) ++n;
        return n;
    }

    /** Lower case without accents. */
    static String fold(String text) {
        return java.text.Normalizer.normalize(text, java.text.Normalizer.Form.NFD).replaceAll("\\p{M}", "")
                .toLowerCase(java.util.Locale.ROOT);
    }

    /** Three capitals that are no code of airports.dat. */
    static String unknownCode() {
        for (char c = 'A'; c <= 'Z'; ++c) {
            String code = "XQ" + c;
            if (!idOfCode.containsKey(code)) return code;
        }
        return fail("every XQ? code is taken");
    }

    static List<String> concat(List<String> head, String... tail) {
        List<String> all = new ArrayList<>(head);
        all.addAll(List.of(tail));
        return all;
    }

    static int id(String code) {
        Integer id = idOfCode.get(code);
        assertNotNull(id, "airports.dat has " + code);
        return id;
    }

    static String code(int id) {
        return airports.get(id).code();
    }
}
