package palvorin.demo;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.function.Supplier;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;
import palvorin.demo.map.Legend;
import palvorin.demo.map.Place;
import palvorin.demo.map.RouteMap;
import palvorin.nativ_ManegingFlight;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;
import tavrik.BookedLeg;
import tavrik.BookedOutException;
import tavrik.Booking;
import tavrik.FitAnswer;
import tavrik.Flight;
import tavrik.Network;
import tavrik.NoFreeSeatsException;
import tavrik.Route;
import tavrik.Routes;
import tavrik.Seats;
import tavrik.UnknownAirportException;
import tavrik.UnknownBookingException;
import tavrik.UnknownFlightException;

/**
 * Runs one command line at a time against the library: results go to {@code out}, and a command
 * that cannot run as typed, or that the library refuses, prints one line in words to {@code err}
 * and reports failure. The words of a line are parsed by picocli, one subcommand per command.
 */
final class Shell {
    /** What a day and a flight number are, said once in help and once after the first route. */
    static final String DAYS_AND_NUMBERS = "Days: 1 per started 2,000 km of a flight's great-circle distance.\n"
            + "Flight numbers: the flight's line in routes.dat (or the number given to add-flight).";

    static final String HELP = String.join("\n",
            "Commands (an AIRPORT is an IATA or ICAO code in any case, an airport number, or a city or",
            "airport name that names one airport; quote words that belong together: \"New York\"):",
            "  route FROM TO [MAXDAYS] [--map FILE]      the route with the fewest days, at most MAXDAYS",
            "                                            (0 to 2147483647; left out: no limit)",
            "      [--alternatives K] [--front]          the K best routes (1 to 20), or the trade-off of",
            "                                            days against flights (one route per point)",
            "      [--avoid A,B] [--via C] [--max-legs N] airports to avoid, one to pass, most flights",
            "      [--passengers N]                      only flights with N free seats or more",
            "  reach AIRPORT DAYS [--map FILE]           every airport within DAYS days, by days",
            "  book [N] [--choice K]                     book N seats (default 1) on every flight of the last",
            "                                            route, or of the K-th route listed last (the",
            "                                            alternatives' numbers, the front's rows from the",
            "                                            top); prints the booking's id",
            "  cancel ID                                 cancel a booking: its seats go back on sale",
            "  bookings                                  every booking of this session",
            "  airport AIRPORT [--map FILE]              the airport's departing and arriving flights",
            "  find TEXT...                              airports whose code, city, name or country match",
            "  add-airport NUMBER CODE NAME...           add an airport (NUMBER 0 to 2147483647)",
            "  add-flight NUMBER FROM TO DAYS [NAME...]  add a flight (NUMBER and DAYS 0 to 2147483647;",
            "                                            NAME defaults to FROM-TO)",
            "  remove-flight AIRPORT FLIGHT              remove a flight of that airport",
            "  remove-airport AIRPORT                    remove an airport and all its flights",
            "  help                                      this list",
            "  quit                                      leave (so does the end of the input)",
            "--map FILE draws the route or the airport's flights on a world map; FILE ends in .svg or .png.",
            "A city or country that names several airports (London, Iceland) stands for all of them.",
            DAYS_AND_NUMBERS);

    /** The command names, in the order help gives them, for completion. */
    static final List<String> COMMANDS = List.of("route", "reach", "book", "cancel", "bookings", "airport", "find",
            "add-airport", "add-flight", "remove-flight", "remove-airport", "help", "quit");

    /** One leg of a reported route, in travel order. */
    record Leg(int flight, String name, int days, int from, int to, int bookedAtFrom, int bookedAtTo) {}

    private final Directory directory;
    private final PrintStream out;
    private final PrintStream err;
    /** The network the host classes load, where routes are fitted and seats sold. */
    private final Network network = Network.shared();
    /**
     * The routes the last route command listed, in the order shown, which book books from (the
     * only one, or the one --choice names); empty after a refused route.
     */
    private List<Route> lastRoutes = List.of();
    private final RouteChoices choices;
    /** Each command's maker and usage by name and alias; its parser is made on first use. */
    private final Map<String, Supplier<Runnable>> makers = new HashMap<>();
    private final Map<String, String> usages = new HashMap<>();
    private final Map<String, CommandLine> parsers = new HashMap<>();
    private boolean quit;
    private boolean explained;
    /** The last command failed because its words did not make a command. */
    private boolean lastFailureWasUsage;
    /** Where the message of a failed command starts, e.g. "error: line 4: " in a script. */
    private String errorPrefix = "error: ";
    /** Said after a fitted route; a one-shot command has no next command to book with. */
    private String bookHint = " Type book to book it.";

    Shell(Directory directory, PrintStream out, PrintStream err) {
        this.directory = directory;
        this.out = out;
        this.err = err;
        this.choices = new RouteChoices(this, directory, out);
        // A one-shot command builds one parser: picocli's reading of the annotations is most of
        // its start-up cost.
        add(RouteCommand::new, "route FROM TO [MAXDAYS] [--map FILE] [--alternatives K] [--front] [--avoid A,B]"
                + " [--via C] [--max-legs N] [--passengers N]", "route");
        add(ReachCommand::new, "reach AIRPORT DAYS [--map FILE]", "reach");
        add(BookCommand::new, "book [N] [--choice K]", "book");
        add(CancelCommand::new, "cancel ID", "cancel");
        add(BookingsCommand::new, "bookings", "bookings");
        add(AirportCommand::new, "airport AIRPORT [--map FILE]", "airport");
        add(FindCommand::new, "find TEXT...", "find");
        add(AddAirportCommand::new, "add-airport NUMBER CODE NAME...", "add-airport");
        add(AddFlightCommand::new, "add-flight NUMBER FROM TO DAYS [NAME...]", "add-flight");
        add(RemoveFlightCommand::new, "remove-flight AIRPORT FLIGHT", "remove-flight");
        add(RemoveAirportCommand::new, "remove-airport AIRPORT", "remove-airport");
        add(HelpCommand::new, "help", "help", "?");
        add(QuitCommand::new, "quit", "quit", "exit");
    }

    /**
     * Runs one command given on the program's command line, with no session after it: the exit
     * status, 0 when it ran, 1 when it failed, 2 when its words do not make a command (unknown
     * command, missing or extra arguments, unknown option).
     */
    int runOnce(String... words) {
        bookHint = "";
        if (run(words)) return 0;
        return lastFailureWasUsage ? 2 : 1;
    }

    private void add(Supplier<Runnable> maker, String usage, String... names) {
        for (String name : names) {
            makers.put(name, maker);
            usages.put(name, usage);
        }
    }

    private CommandLine parser(String name) {
        return parsers.computeIfAbsent(name, n -> {
            CommandLine parser = new CommandLine(makers.get(n).get());
            // A word that begins with @ is an ordinary word, never a file to read arguments from.
            parser.setExpandAtFiles(false);
            return parser;
        });
    }

    boolean quitRequested() {
        return quit;
    }

    /** Prefixes the messages of failed commands, e.g. with the script's line number. */
    void setErrorPrefix(String prefix) {
        errorPrefix = prefix;
    }

    /** Runs one line; returns false if it failed. Blank lines and # comments do nothing. */
    boolean run(String line) {
        String trimmed = line.strip();
        if (trimmed.isEmpty() || trimmed.startsWith("#")) return true;
        return run(words(trimmed));
    }

    /** Splits a line at blanks; double quotes keep blanks inside a word: route "New York" Sydney. */
    static String[] words(String line) {
        List<String> words = new ArrayList<>();
        StringBuilder word = new StringBuilder();
        boolean quoted = false;
        boolean any = false;
        for (int i = 0; i < line.length(); ++i) {
            char c = line.charAt(i);
            if (c == '"') {
                quoted = !quoted;
                any = true;
            } else if (!quoted && Character.isWhitespace(c)) {
                if (any) words.add(word.toString());
                word.setLength(0);
                any = false;
            } else {
                word.append(c);
                any = true;
            }
        }
        if (any) words.add(word.toString());
        return words.toArray(new String[0]);
    }

    /**
     * Runs one command given as words, e.g. from the program's own command line; returns false if
     * it failed. What it printed is flushed once, when it ends.
     *
     * @throws Streams.OutputFailure when standard output cannot be written: the program ends
     */
    boolean run(String[] words) {
        boolean ran = execute(words);
        out.flush();
        return ran;
    }

    private boolean execute(String[] words) {
        lastFailureWasUsage = false;
        String command = words[0].toLowerCase(Locale.ROOT);
        try {
            if (!makers.containsKey(command))
                throw new UsageError("unknown command " + UserError.quote(words[0]) + " (type help for the list)");
            CommandLine parser = parser(command);
            try {
                parser.parseArgs(Arrays.copyOfRange(words, 1, words.length));
            } catch (CommandLine.ParameterException e) {
                throw new UsageError(parseProblem(e) + "; usage: " + usages.get(command));
            }
            ((Runnable) parser.getCommand()).run();
            return true;
        } catch (Streams.OutputFailure e) {
            throw e;
        } catch (UserError | Refusal e) {
            lastFailureWasUsage = e instanceof UsageError;
            fail(e.getMessage());
            return false;
        } catch (RuntimeException e) {
            // Whatever went wrong, the session goes on.
            fail(command + " failed: " + e);
            return false;
        }
    }

    /**
     * Reports a failed command as one line on standard error, after what the command printed
     * (so the two stay in order where they are merged). Line ends in the message are shown
     * escaped: one failure, one line.
     */
    void fail(String message) {
        out.flush();
        err.println(errorPrefix + message.replace("\n", "\\n").replace("\r", "\\r"));
    }

    private static String parseProblem(CommandLine.ParameterException e) {
        if (e instanceof CommandLine.MissingParameterException) return "missing argument";
        if (e instanceof CommandLine.UnmatchedArgumentException u) {
            List<String> extra = u.getUnmatched();
            boolean option = !extra.isEmpty() && extra.get(0).startsWith("-");
            return option ? "unknown option " + UserError.quote(extra.get(0)) : "too many arguments";
        }
        String message = e.getMessage();
        return message == null ? "bad arguments" : UserError.brief(message.lines().findFirst().orElse("bad arguments"));
    }

    /** A command line whose words do not make a command: for a one-shot command, a bad command line. */
    static final class UsageError extends UserError {
        private static final long serialVersionUID = 1L;

        UsageError(String message) {
            super(message);
        }
    }

    /** A command the library refused or could not carry out: its message says why. */
    static final class Refusal extends RuntimeException {
        private static final long serialVersionUID = 1L;

        Refusal(String message) {
            super(message);
        }
    }

    // ---- route and book ----

    @Command(name = "route")
    final class RouteCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "FROM") String from;
        @Parameters(index = "1", paramLabel = "TO") String to;
        @Parameters(index = "2", paramLabel = "MAXDAYS", arity = "0..1") String maxDays;
        @Option(names = "--map", paramLabel = "FILE") Path map;
        @Option(names = "--alternatives", paramLabel = "K") String alternatives;
        @Option(names = "--front") boolean front;
        @Option(names = "--avoid", paramLabel = "A,B") String avoid;
        @Option(names = "--via", paramLabel = "C") String via;
        @Option(names = "--max-legs", paramLabel = "N") String maxLegs;
        @Option(names = "--passengers", paramLabel = "N") String passengers;

        @Override
        public void run() {
            lastRoutes = List.of();
            if (alternatives == null && !front && avoid == null && via == null && maxLegs == null
                    && passengers == null
                    && directory.resolveSet(from).size() == 1 && directory.resolveSet(to).size() == 1) {
                route(from, to, maxDays, map);
            } else {
                choices.route(from, to, maxDays, map, alternatives, front, avoid, via, maxLegs, passengers);
            }
        }
    }

    @Command(name = "reach")
    final class ReachCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "AIRPORT") String airport;
        @Parameters(index = "1", paramLabel = "DAYS") String days;
        @Option(names = "--map", paramLabel = "FILE") Path map;

        @Override
        public void run() {
            choices.reach(airport, days, map);
        }
    }

    private void route(String fromText, String toText, String maxDaysText, Path map) {
        int from = directory.resolve(fromText);
        int to = directory.resolve(toText);
        int maxDays = Integer.MAX_VALUE;
        if (maxDaysText != null) maxDays = number(maxDaysText, "MAXDAYS", " (leave it out for no limit)");
        checkMapName(map);
        String limit = maxDays == Integer.MAX_VALUE ? "" : " (limit " + days(maxDays) + ")";
        String fromLabel = directory.get(from).shortLabel();
        String toLabel = directory.get(to).shortLabel();

        FitAnswer answer;
        try {
            answer = network.fit(maxDays, from, to);
        } catch (UnknownAirportException e) {
            boolean departure = e.airport() == from;
            int missing = departure ? from : to;
            throw new Refusal("no route: the " + (departure ? "departure" : "arrival") + " airport "
                    + (departure ? fromLabel : toLabel) + " is not in the network"
                    + (directory.isKnown(missing) ? " (it was removed)." : "."));
        }
        switch (answer.kind()) {
            case ROUTE -> {
                Route route = answer.route().orElseThrow();
                if (route.legs().isEmpty()) {
                    out.println(fromLabel + " and " + toLabel + " are the same airport: no flight needed, 0 days.");
                    return;
                }
                lastRoutes = List.of(route);
                List<Leg> legs = legsOf(route);
                out.println("Route " + directory.get(from).label() + "  ->  " + directory.get(to).label());
                printLegs(legs);
                out.println("Total: " + flights(legs.size()) + ", " + days(totalDays(legs)) + limit
                        + "." + bookHint);
                explainOnce();
                if (map != null) drawRoute(map, legs);
            }
            case OVER_LIMIT -> throw new Refusal(answer.fewestDays().isEmpty()
                    ? "no route from " + fromLabel + " to " + toLabel + " is short enough to count: every one takes"
                            + " more than " + Integer.MAX_VALUE + " days."
                    : "no route of at most " + days(maxDays) + " from " + fromLabel + " to " + toLabel
                            + shortestNote(from, to, maxDays) + ".");
            default -> throw new Refusal("no route: no chain of flights leads from "
                    + fromLabel + " to " + toLabel + ".");
        }
    }

    private void explainOnce() {
        if (explained) return;
        explained = true;
        out.println(DAYS_AND_NUMBERS);
    }

    /**
     * How long the shortest route is, found without a limit and without touching the ticket list
     * that book uses (it stays as the refused query left it).
     */
    private String shortestNote(int from, int to, int maxDays) {
        return Routes.fit(Integer.MAX_VALUE, from, to)
                .map(r -> ": the shortest takes " + days(r.totalDays()) + " (" + flights(r.legs().size()) + ")")
                .orElse("");
    }

    @Command(name = "book")
    final class BookCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "N", arity = "0..1") String passengers;
        @Option(names = "--choice", paramLabel = "K") String choice;

        @Override
        public void run() {
            int n = passengers == null ? 1 : number(passengers, "N", 1, "");
            int k = choice == null ? 0 : number(choice, "--choice", 1, " (a route's place in the last list)");
            if (choice != null && k == 0) throw new UserError("--choice must be at least 1 (the first route listed)");
            book(n, k);
        }
    }

    /** Records the routes a route command listed, for book. */
    void listed(List<Route> routes) {
        lastRoutes = List.copyOf(routes);
    }

    /** Books the only route listed last, or its {@code choice}-th (from 1; 0: none named). */
    private void book(int passengers, int choice) {
        if (lastRoutes.isEmpty()) throw new Refusal(
                "nothing booked: no route is fitted. Find one first with: route FROM TO [MAXDAYS]");
        if (passengers == 0) throw new UserError("N must be at least 1 (the seats to book on every flight)");
        if (choice > lastRoutes.size())
            throw new UserError("--choice " + choice + " is not a route listed: the last list has "
                    + lastRoutes.size() + (lastRoutes.size() == 1 ? " route" : " routes"));
        if (choice == 0 && lastRoutes.size() > 1) throw new Refusal("nothing booked: the last route command listed "
                + lastRoutes.size() + " routes. Name one with: book [N] --choice K (1 to " + lastRoutes.size() + ")");
        Route chosen = lastRoutes.get(choice == 0 ? 0 : choice - 1);
        Booking booking;
        try {
            booking = network.book(chosen, passengers);
        } catch (UnknownFlightException | UnknownAirportException e) {
            throw new Refusal("nothing booked: a flight or airport of the route has been removed since it was"
                    + " fitted. Ask for the route again.");
        } catch (NoFreeSeatsException e) {
            throw new Refusal("nothing booked: flight " + e.flight() + " from " + directory.get(e.airport()).shortLabel()
                    + " has " + seats(e.freeSeats()) + " left, not " + passengers + ".");
        } catch (BookedOutException e) {
            throw new Refusal("nothing booked: flight " + e.flight() + " is booked as often as a count can hold.");
        }
        List<Leg> legs = legsOf(booking);
        out.println("Booked " + seats(passengers) + " on each of " + flights(legs.size()) + " of the route "
                + directory.get(legs.get(0).from()).shortLabel() + " -> "
                + directory.get(legs.get(legs.size() - 1).to()).shortLabel() + ": booking " + booking.id()
                + ". Booked counts now:");
        printLegs(legs);
    }

    @Command(name = "cancel")
    final class CancelCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "ID") String id;

        @Override
        public void run() {
            cancel(number(id, "ID", ""));
        }
    }

    private void cancel(int id) {
        boolean now;
        try {
            now = network.cancel(id);
        } catch (UnknownBookingException e) {
            throw new Refusal("no booking " + id + ": nothing cancelled.");
        }
        if (!now) throw new Refusal("booking " + id + " was already cancelled: nothing changed.");
        Booking b = network.booking(id);
        long gone = b.legs().stream().filter(BookedLeg::gone).count();
        out.println("Cancelled booking " + id + ": " + seats(b.passengers()) + " back on sale on each of "
                + flights((int) (b.legs().size() - gone)) + (gone == 0 ? "" : " (" + flights((int) gone)
                + " removed since, with their seats)") + ".");
    }

    @Command(name = "bookings")
    final class BookingsCommand implements Runnable {
        @Override
        public void run() {
            bookings();
        }
    }

    private void bookings() {
        int listed = 0;
        for (long id = 1; ; ++id) {
            Booking b;
            try {
                b = network.booking(id);
            } catch (UnknownBookingException e) {
                break;
            }
            ++listed;
            StringBuilder line = new StringBuilder();
            line.append("  ").append(id).append(". ").append(seats(b.passengers())).append(", ");
            BookedLeg first = b.legs().get(0);
            line.append(directory.get(first.from()).shortLabel());
            for (BookedLeg leg : b.legs()) {
                line.append(" -").append(leg.flight()).append(leg.gone() ? " (removed)" : "").append("-> ")
                        .append(directory.get(leg.to()).shortLabel());
            }
            if (b.cancelled()) line.append("  cancelled");
            out.println(line);
        }
        if (listed == 0) out.println("No bookings yet: fit a route, then book [N].");
    }

    /** A route's legs with each flight's booked count, as the library reports them. */
    private static List<Leg> legsOf(Route route) {
        List<Leg> legs = new ArrayList<>();
        for (tavrik.Leg leg : route.legs())
            legs.add(new Leg(leg.flight(), leg.name(), leg.days(), leg.from(), leg.to(), leg.booked(), leg.booked()));
        return legs;
    }

    /** A booking's legs as they are now, each flight read back from the network. */
    private List<Leg> legsOf(Booking booking) {
        List<Leg> legs = new ArrayList<>();
        for (BookedLeg leg : booking.legs()) {
            Flight f = network.flight(leg.from(), leg.flight()).orElseThrow();
            legs.add(new Leg(leg.flight(), f.name(), f.days(), leg.from(), leg.to(), f.booked(), f.booked()));
        }
        return legs;
    }

    private static String seats(int n) {
        return n == 1 ? "1 seat" : n + " seats";
    }

    /**
     * What is left for sale on the flight {@code flight} departing {@code from}, read from the
     * network now: every printed route's legs say it in these words.
     */
    String freeSeats(int from, int flight) {
        try {
            Seats s = network.seats(from, flight);
            return s.limited() ? s.free() + " of " + s.capacity() + " seats free" : "no seat limit";
        } catch (UnknownFlightException | UnknownAirportException e) {
            return "removed";
        }
    }

    private void printLegs(List<Leg> legs) {
        int i = 0;
        for (Leg leg : legs) {
            String booked = leg.bookedAtFrom() == leg.bookedAtTo() ? "booked " + leg.bookedAtFrom()
                    : "booked " + leg.bookedAtFrom() + " (" + leg.bookedAtTo() + " at arrival)";
            out.printf("  %d. %s (flight %d), %s, %s, %s%n", ++i, leg.name(), leg.flight(), days(leg.days()), booked,
                    freeSeats(leg.from(), leg.flight()));
            out.println("       from " + directory.get(leg.from()).label());
            out.println("       to   " + directory.get(leg.to()).label());
        }
    }

    private static long totalDays(List<Leg> legs) {
        long total = 0;
        for (Leg leg : legs) total += leg.days();
        return total;
    }

    // ---- one airport's flights ----

    @Command(name = "airport")
    final class AirportCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "AIRPORT") String airport;
        @Option(names = "--map", paramLabel = "FILE") Path map;

        @Override
        public void run() {
            airport(airport, map);
        }
    }

    private void airport(String text, Path map) {
        int number = directory.resolve(text);
        checkMapName(map);
        Directory.Airport a = directory.get(number);
        List<ReportedFlight> flights = flightsOf(number);
        if (flights.isEmpty() && !directory.isPresent(number))
            throw new Refusal(a.shortLabel() + " is not in the network" + (directory.isKnown(number) ? " (it was removed)." : "."));
        List<ReportedFlight> departing = new ArrayList<>();
        List<ReportedFlight> arriving = new ArrayList<>();
        for (ReportedFlight f : flights) (f.departs() ? departing : arriving).add(f);
        out.println("Airport " + a.label() + " (number " + number + "): " + departing.size() + " departing, "
                + arriving.size() + " arriving");
        printFlights("Departing", departing, true);
        printFlights("Arriving", arriving, false);
        if (map != null) drawAirport(map, a, departing);
    }

    private void printFlights(String heading, List<ReportedFlight> flights, boolean departing) {
        out.println(heading + ":" + (flights.isEmpty() ? " none" : ""));
        // A hub lists a thousand flights: the columns are padded by hand, as printf would, at a
        // fraction of its cost.
        StringBuilder line = new StringBuilder(160);
        for (ReportedFlight f : flights) {
            Directory.Airport other = directory.get(departing ? f.to() : f.from());
            line.setLength(0);
            line.append("  flight ");
            padded(line, Integer.toString(f.flight()), 6).append(' ');
            padded(line, f.name(), 14).append(' ');
            padded(line, days(f.days()), 7).append(" booked ");
            padded(line, Integer.toString(f.booked()), 3).append(' ');
            line.append(departing ? "to  " : "from").append(' ').append(other.label());
            out.println(line);
        }
    }

    /** Appends {@code text} and blanks up to {@code width} characters in all, like %-Ns. */
    private static StringBuilder padded(StringBuilder line, String text, int width) {
        line.append(text);
        for (int i = text.length(); i < width; ++i) line.append(' ');
        return line;
    }

    private static List<ReportedFlight> flightsOf(int number) {
        AirportFrame frame = new AirportFrame(number);
        frame.setData();
        return frame.flights();
    }

    // ---- finding airports by place ----

    @Command(name = "find")
    final class FindCommand implements Runnable {
        @Parameters(arity = "1..*", paramLabel = "TEXT") List<String> words;

        @Override
        public void run() {
            find(String.join(" ", words));
        }
    }

    private static final int FIND_SHOWN = 20;

    private void find(String text) {
        List<Directory.Match> matches = directory.find(text);
        if (matches.isEmpty()) throw new Refusal("no airport's code, city, name or country matches " + UserError.quote(text) + ".");
        out.println(matches.size() == 1 ? "1 airport matches " + UserError.quote(text) + ":"
                : matches.size() + " airports match " + UserError.quote(text) + ", best first:");
        for (Directory.Match m : matches.subList(0, Math.min(FIND_SHOWN, matches.size()))) {
            Directory.Airport a = m.airport();
            int count = flightsOf(a.number()).size();
            out.printf("  %-5s %s (%s)%n", a.shortLabel(), a.title() + (a.country().isEmpty() ? "" : ", " + a.country()),
                    flights(count));
        }
        if (matches.size() > FIND_SHOWN) out.println("  ... and " + (matches.size() - FIND_SHOWN) + " more.");
    }

    // ---- maps ----

    static void checkMapName(Path map) {
        if (map != null && RouteMap.formatOf(map) == null)
            throw new UserError("the map's FILE must end in .svg or .png, not " + UserError.quote(map.toString()));
    }

    /** Every airport in the network with a position: the map's faint dots. */
    List<Place> world() {
        List<Place> world = new ArrayList<>();
        for (Directory.Airport a : directory.presentAirports())
            if (a.hasPosition()) world.add(place(a));
        return world;
    }

    Place place(Directory.Airport a) {
        if (!a.hasPosition())
            throw new Refusal("no map drawn: " + a.shortLabel() + " has no position (it was added by hand).");
        return new Place(a.shortLabel(), a.title(), a.lat(), a.lon());
    }

    private void drawRoute(Path file, List<Leg> legs) {
        List<Place> stops = new ArrayList<>();
        List<Long> daysSoFar = new ArrayList<>();
        stops.add(place(directory.get(legs.get(0).from())));
        daysSoFar.add(0L);
        long days = 0;
        long booked = 0;
        for (Leg leg : legs) {
            days += leg.days();
            booked += leg.bookedAtFrom();
            stops.add(place(directory.get(leg.to())));
            daysSoFar.add(days);
        }
        String title = stops.get(0).code() + " to " + stops.get(stops.size() - 1).code();
        write(file, RouteMap.ofRoute(world(), stops, daysSoFar, Legend.forRoute(title, days, legs.size(), booked)));
    }

    private void drawAirport(Path file, Directory.Airport airport, List<ReportedFlight> departing) {
        Set<Integer> seen = new LinkedHashSet<>();
        List<Place> destinations = new ArrayList<>();
        for (ReportedFlight f : departing)
            if (seen.add(f.to()) && directory.get(f.to()).hasPosition()) destinations.add(place(directory.get(f.to())));
        Legend legend = Legend.forAirport(airport.shortLabel() + " " + airport.title(), departing.size(), seen.size());
        write(file, RouteMap.ofAirport(world(), place(airport), destinations, legend));
    }

    void write(Path file, RouteMap map) {
        try {
            map.write(file);
        } catch (IOException e) {
            // The message names the file and the reason; whatever was there before is untouched.
            throw new Refusal("no map written: " + e.getMessage() + ".");
        }
        out.println("Map written to " + file + ".");
    }

    // ---- editing ----

    @Command(name = "add-airport")
    final class AddAirportCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "NUMBER") String number;
        @Parameters(index = "1", paramLabel = "CODE") String code;
        @Parameters(index = "2..*", arity = "1..*", paramLabel = "NAME") List<String> name;

        @Override
        public void run() {
            addAirport(number, code, String.join(" ", name));
        }
    }

    private void addAirport(String numberText, String codeText, String title) {
        int number = number(numberText, "NUMBER", "");
        String code = codeText.toUpperCase(Locale.ROOT);
        if (Directory.isNumber(code) || !code.matches("[A-Z0-9]{2,8}"))
            throw new UserError("CODE must be 2 to 8 letters or digits, not all digits; got " + UserError.quote(codeText));
        Integer holder = directory.presentHolderOf(code);
        if (holder != null && holder != number)
            throw new Refusal("not added: the code " + code + " already names airport " + directory.get(holder).label() + ".");
        Directory.Airport airport = new Directory.Airport(number, code, title);
        int result = nativ_ManegingFlight.addAirport(number, airport.label());
        if (result == nativ_ManegingFlight.OK) {
            directory.add(airport, code);
            out.println("Added airport " + airport.label() + " as number " + number + ".");
        } else if (result == nativ_ManegingFlight.REFUSED) {
            throw new Refusal("not added: airport number " + number + " is already taken by "
                    + directory.get(number).label() + ".");
        } else {
            throw new Refusal("not added: the library has no network (code " + result + ").");
        }
    }

    @Command(name = "add-flight")
    final class AddFlightCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "NUMBER") String number;
        @Parameters(index = "1", paramLabel = "FROM") String from;
        @Parameters(index = "2", paramLabel = "TO") String to;
        @Parameters(index = "3", paramLabel = "DAYS") String days;
        @Parameters(index = "4..*", arity = "0..*", paramLabel = "NAME") List<String> name;

        @Override
        public void run() {
            addFlight(number, from, to, days, name == null || name.isEmpty() ? null : String.join(" ", name));
        }
    }

    private void addFlight(String numberText, String fromText, String toText, String daysText, String givenName) {
        int number = number(numberText, "NUMBER", "");
        int from = directory.resolve(fromText);
        int to = directory.resolve(toText);
        int days = number(daysText, "DAYS", "");
        String name = givenName != null ? givenName
                : directory.get(from).shortLabel() + "-" + directory.get(to).shortLabel();
        int result = nativ_ManegingFlight.addFlight(name, number, days, from, to);
        if (result == nativ_ManegingFlight.OK) {
            out.println("Added flight " + number + " " + name + ", " + days(days) + ", from "
                    + directory.get(from).shortLabel() + " to " + directory.get(to).shortLabel() + ".");
        } else if (result == nativ_ManegingFlight.REFUSED) {
            throw new Refusal("not added: " + whyFlightRefused(number, from, to) + ".");
        } else {
            throw new Refusal("not added: the library has no network (code " + result + ").");
        }
    }

    /** The library only says no; find out which of its reasons applies. */
    private String whyFlightRefused(int number, int from, int to) {
        String fromLabel = directory.get(from).shortLabel();
        String toLabel = directory.get(to).shortLabel();
        if (from == to) return "a flight cannot start and end at the same airport " + fromLabel;
        List<ReportedFlight> atFrom = flightsOf(from);
        if (atFrom.isEmpty() && !directory.isPresent(from)) return "the departure airport " + fromLabel + " is not in the network";
        List<ReportedFlight> atTo = flightsOf(to);
        if (atTo.isEmpty() && !directory.isPresent(to)) return "the arrival airport " + toLabel + " is not in the network";
        for (ReportedFlight f : atFrom)
            if (f.flight() == number) return fromLabel + " already has a flight numbered " + number + " (" + f.name() + ")";
        for (ReportedFlight f : atTo)
            if (f.flight() == number) return toLabel + " already has a flight numbered " + number + " (" + f.name() + ")";
        return "the network refused it";
    }

    @Command(name = "remove-flight")
    final class RemoveFlightCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "AIRPORT") String airport;
        @Parameters(index = "1", paramLabel = "FLIGHT") String flight;

        @Override
        public void run() {
            removeFlight(airport, flight);
        }
    }

    private void removeFlight(String airportText, String flightText) {
        int airport = directory.resolve(airportText);
        int flight = number(flightText, "FLIGHT", "");
        String name = null;
        for (ReportedFlight f : flightsOf(airport)) if (f.flight() == flight) name = f.name();
        int result = nativ_ManegingFlight.removeFlight(airport, flight);
        String label = directory.get(airport).shortLabel();
        if (result == nativ_ManegingFlight.OK) {
            out.println("Removed flight " + flight + (name != null ? " " + name : "") + " from both its airports.");
        } else if (result == nativ_ManegingFlight.REFUSED) {
            throw new Refusal("nothing removed: " + label + (directory.isPresent(airport)
                    ? " has no flight numbered " + flight : " is not in the network") + ".");
        } else {
            throw new Refusal("nothing removed: the library has no network (code " + result + ").");
        }
    }

    @Command(name = "remove-airport")
    final class RemoveAirportCommand implements Runnable {
        @Parameters(index = "0", paramLabel = "AIRPORT") String airport;

        @Override
        public void run() {
            removeAirport(airport);
        }
    }

    private void removeAirport(String airportText) {
        int airport = directory.resolve(airportText);
        int flights = flightsOf(airport).size();
        boolean present = directory.isPresent(airport);
        int result = nativ_ManegingFlight.removeAirport(airport);
        String label = directory.get(airport).label();
        if (result != nativ_ManegingFlight.OK) {
            throw new Refusal("nothing removed: the library refused (code " + result + ").");
        } else if (present) {
            directory.markRemoved(airport);
            out.println("Removed airport " + label + " and its " + flights(flights) + ".");
        } else {
            throw new Refusal("nothing removed: " + label + " is not in the network.");
        }
    }

    @Command(name = "help")
    final class HelpCommand implements Runnable {
        @Override
        public void run() {
            out.println(HELP);
        }
    }

    @Command(name = "quit")
    final class QuitCommand implements Runnable {
        @Override
        public void run() {
            quit = true;
        }
    }

    // ---- argument helpers ----

    /** A whole number from 0 to the largest int; the message says that range. */
    static int number(String text, String what, String note) {
        return number(text, what, 0, note);
    }

    /**
     * A whole number to the largest int, parsed from 0 up; the message names {@code lowest} as the
     * start of the range (a number below it is refused by the caller, with its own message).
     */
    static int number(String text, String what, int lowest, String note) {
        String range = what + " must be a whole number from " + lowest + " to " + Integer.MAX_VALUE + note;
        if (!Directory.isNumber(text)) throw new UserError(range + ", not " + UserError.quote(text));
        try {
            return Integer.parseInt(text);
        } catch (NumberFormatException e) {
            throw new UserError(range + "; " + UserError.brief(text) + " is too large");
        }
    }

    static String days(long n) {
        return n == 1 ? "1 day" : n + " days";
    }

    static String flights(long n) {
        return n == 1 ? "1 flight" : n + " flights";
    }
}
