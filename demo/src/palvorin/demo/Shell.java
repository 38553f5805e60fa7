package palvorin.demo;

import java.io.PrintStream;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.airport.AirportFrame;
import palvorin.nativ_ManegingFlight;

/**
 * Runs one command line at a time against the library and prints the result in words.
 * A bad command prints a single "error: ..." line and leaves everything as it was.
 */
final class Shell {
    static final String HELP = String.join("\n",
            "Commands (an AIRPORT is an IATA or ICAO code in any case, or an airport number):",
            "  route FROM TO [MAXDAYS]                   the route with the fewest days, at most MAXDAYS",
            "  book                                      book one seat on every flight of the last route",
            "  airport AIRPORT                           the airport's departing and arriving flights",
            "  add-airport NUMBER CODE NAME...           add an airport",
            "  add-flight NUMBER FROM TO DAYS [NAME...]  add a flight (NAME defaults to FROM-TO)",
            "  remove-flight AIRPORT FLIGHT              remove a flight of that airport",
            "  remove-airport AIRPORT                    remove an airport and all its flights",
            "  help                                      this list",
            "  quit                                      leave (so does the end of the input)");

    /** One leg of a reported route, in travel order. */
    record Leg(int flight, String name, int days, int from, int to, int bookedAtFrom, int bookedAtTo) {}

    private final Directory directory;
    private final PrintStream out;
    private final aggregateFiting fitting = new aggregateFiting();
    private boolean quit;

    Shell(Directory directory, PrintStream out) {
        this.directory = directory;
        this.out = out;
    }

    boolean quitRequested() {
        return quit;
    }

    /** Runs one line; returns false if it was refused as bad input. Blank lines and # comments do nothing. */
    boolean run(String line) {
        String trimmed = line.strip();
        if (trimmed.isEmpty() || trimmed.startsWith("#")) return true;
        String[] words = trimmed.split("\\s+");
        String command = words[0].toLowerCase(Locale.ROOT);
        String[] args = Arrays.copyOfRange(words, 1, words.length);
        try {
            switch (command) {
                case "route" -> route(args);
                case "book" -> book(args);
                case "airport" -> airport(args);
                case "add-airport" -> addAirport(args);
                case "add-flight" -> addFlight(args);
                case "remove-flight" -> removeFlight(args);
                case "remove-airport" -> removeAirport(args);
                case "help", "?" -> out.println(HELP);
                case "quit", "exit" -> quit = true;
                default -> throw new UserError("unknown command '" + words[0] + "' (type help for the list)");
            }
            return true;
        } catch (UserError e) {
            out.println("error: " + e.getMessage());
            return false;
        } catch (RuntimeException e) {
            // Whatever went wrong, the session goes on.
            out.println("error: " + command + " failed: " + e);
            return false;
        }
    }

    // ---- route and book ----

    private void route(String[] args) {
        usage(args, 2, 3, "route FROM TO [MAXDAYS]");
        int from = directory.resolve(args[0]);
        int to = directory.resolve(args[1]);
        int maxDays = Integer.MAX_VALUE;
        if (args.length == 3) maxDays = number(args[2], "MAXDAYS");
        String limit = maxDays == Integer.MAX_VALUE ? "" : " (limit " + days(maxDays) + ")";
        String fromLabel = directory.get(from).shortLabel();
        String toLabel = directory.get(to).shortLabel();

        int code = fitting.getRouteFlight(maxDays, from, to);
        switch (code) {
            case aggregateFiting.OK -> {
                List<Leg> legs = reportedRoute();
                if (legs.isEmpty()) {
                    out.println(fromLabel + " and " + toLabel + " are the same airport: no flight needed, 0 days.");
                    return;
                }
                out.println("Route " + directory.get(from).label() + "  ->  " + directory.get(to).label());
                printLegs(legs);
                out.println("Total: " + flights(legs.size()) + ", " + days(totalDays(legs)) + limit
                        + ". Type book to book it.");
            }
            case aggregateFiting.UNKNOWN_DEPARTURE -> out.println("No route: the departure airport "
                    + fromLabel + " is not in the network" + (directory.isKnown(from) ? " (it was removed)." : "."));
            case aggregateFiting.UNKNOWN_ARRIVAL -> out.println("No route: the arrival airport "
                    + toLabel + " is not in the network" + (directory.isKnown(to) ? " (it was removed)." : "."));
            case aggregateFiting.OVER_DAY_LIMIT -> out.println("No route of at most " + days(maxDays) + " from "
                    + fromLabel + " to " + toLabel + shortestNote(from, to, maxDays) + ".");
            case aggregateFiting.NO_ROUTE -> out.println("No route: no chain of flights leads from "
                    + fromLabel + " to " + toLabel + ".");
            default -> out.println("No route: the library refused the search (code " + code + ").");
        }
    }

    /**
     * Finds how long the shortest route is by asking again without a limit, then asks once more
     * with the user's limit so that the refused route is not left behind for book.
     */
    private String shortestNote(int from, int to, int maxDays) {
        String note = "";
        if (fitting.getRouteFlight(Integer.MAX_VALUE, from, to) == aggregateFiting.OK) {
            List<Leg> legs = reportedRoute();
            note = ": the shortest takes " + days(totalDays(legs)) + " (" + flights(legs.size()) + ")";
        }
        fitting.getRouteFlight(maxDays, from, to);
        return note;
    }

    private void book(String[] args) {
        usage(args, 0, 0, "book");
        int code = fitting.armoringTickets();
        switch (code) {
            case aggregateFiting.OK -> {
                List<Leg> legs = reportedRoute();
                out.println("Booked one seat on each of " + flights(legs.size()) + " of the route "
                        + directory.get(legs.get(0).from()).shortLabel() + " -> "
                        + directory.get(legs.get(legs.size() - 1).to()).shortLabel() + ". Booked counts now:");
                printLegs(legs);
            }
            case aggregateFiting.NO_TICKETS -> out.println(
                    "Nothing booked: no route is fitted. Find one first with: route FROM TO [MAXDAYS]");
            case aggregateFiting.BOOKING_REFUSED -> out.println("Nothing booked: a flight or airport of the route"
                    + " has been removed since it was fitted. Ask for the route again.");
            default -> out.println("Nothing booked: the library refused (code " + code + ").");
        }
    }

    /**
     * The current ticket list as legs in travel order. The library reports it from the arrival
     * back to the departure, the arrival airport's entry of a flight and then the departure
     * airport's; entries whose flight or airport has gone are missing, so legs are grouped by
     * flight number rather than by position.
     */
    private List<Leg> reportedRoute() {
        fitting.clear();
        fitting.setData();
        List<Leg> legs = new ArrayList<>();
        ReportedFlight previous = null;
        for (ReportedFlight f : fitting.flights()) {
            boolean sameLeg = previous != null && previous.flight() == f.flight() && previous.from() == f.from()
                    && previous.to() == f.to();
            if (sameLeg) {
                Leg leg = legs.get(legs.size() - 1);
                legs.set(legs.size() - 1, withCount(leg, f));
            } else {
                legs.add(withCount(new Leg(f.flight(), f.name(), f.days(), f.from(), f.to(), 0, 0), f));
            }
            previous = f;
        }
        fitting.clear();
        java.util.Collections.reverse(legs);
        return legs;
    }

    private static Leg withCount(Leg leg, ReportedFlight f) {
        if (f.airport() == f.from())
            return new Leg(leg.flight(), leg.name(), leg.days(), leg.from(), leg.to(), f.booked(), leg.bookedAtTo());
        return new Leg(leg.flight(), leg.name(), leg.days(), leg.from(), leg.to(), leg.bookedAtFrom(), f.booked());
    }

    private void printLegs(List<Leg> legs) {
        int i = 0;
        for (Leg leg : legs) {
            String booked = leg.bookedAtFrom() == leg.bookedAtTo() ? "booked " + leg.bookedAtFrom()
                    : "booked " + leg.bookedAtFrom() + " (" + leg.bookedAtTo() + " at arrival)";
            out.printf("  %d. %s (flight %d), %s, %s%n", ++i, leg.name(), leg.flight(), days(leg.days()), booked);
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

    private void airport(String[] args) {
        usage(args, 1, 1, "airport AIRPORT");
        int number = directory.resolve(args[0]);
        Directory.Airport a = directory.get(number);
        List<ReportedFlight> flights = flightsOf(number);
        if (flights.isEmpty() && !directory.isPresent(number)) {
            out.println(a.shortLabel() + " is not in the network" + (directory.isKnown(number) ? " (it was removed)." : "."));
            return;
        }
        List<ReportedFlight> departing = new ArrayList<>();
        List<ReportedFlight> arriving = new ArrayList<>();
        for (ReportedFlight f : flights) (f.departs() ? departing : arriving).add(f);
        out.println("Airport " + a.label() + " (number " + number + "): " + departing.size() + " departing, "
                + arriving.size() + " arriving");
        printFlights("Departing", departing, true);
        printFlights("Arriving", arriving, false);
    }

    private void printFlights(String heading, List<ReportedFlight> flights, boolean departing) {
        out.println(heading + ":" + (flights.isEmpty() ? " none" : ""));
        for (ReportedFlight f : flights) {
            Directory.Airport other = directory.get(departing ? f.to() : f.from());
            out.printf("  flight %-6d %-14s %-7s booked %-3d %s %s%n", f.flight(), f.name(), days(f.days()),
                    f.booked(), departing ? "to  " : "from", other.label());
        }
    }

    private static List<ReportedFlight> flightsOf(int number) {
        AirportFrame frame = new AirportFrame(number);
        frame.setData();
        return frame.flights();
    }

    // ---- editing ----

    private void addAirport(String[] args) {
        usage(args, 3, Integer.MAX_VALUE, "add-airport NUMBER CODE NAME...");
        int number = number(args[0], "NUMBER");
        String code = args[1].toUpperCase(Locale.ROOT);
        if (Directory.isNumber(code) || !code.matches("[A-Z0-9]{2,8}"))
            throw new UserError("CODE must be 2 to 8 letters or digits, not all digits; got '" + args[1] + "'");
        Integer holder = directory.presentHolderOf(code);
        if (holder != null && holder != number)
            throw new UserError("the code " + code + " already names airport " + directory.get(holder).label());
        String title = String.join(" ", Arrays.copyOfRange(args, 2, args.length));
        Directory.Airport airport = new Directory.Airport(number, code, title);
        int result = nativ_ManegingFlight.addAirport(number, airport.label());
        if (result == nativ_ManegingFlight.OK) {
            directory.add(airport, code);
            out.println("Added airport " + airport.label() + " as number " + number + ".");
        } else if (result == nativ_ManegingFlight.REFUSED) {
            out.println("Not added: airport number " + number + " is already taken by "
                    + directory.get(number).label() + ".");
        } else {
            out.println("Not added: the library has no network (code " + result + ").");
        }
    }

    private void addFlight(String[] args) {
        usage(args, 4, Integer.MAX_VALUE, "add-flight NUMBER FROM TO DAYS [NAME...]");
        int number = number(args[0], "NUMBER");
        int from = directory.resolve(args[1]);
        int to = directory.resolve(args[2]);
        int days = number(args[3], "DAYS");
        String name = args.length > 4 ? String.join(" ", Arrays.copyOfRange(args, 4, args.length))
                : directory.get(from).shortLabel() + "-" + directory.get(to).shortLabel();
        int result = nativ_ManegingFlight.addFlight(name, number, days, from, to);
        if (result == nativ_ManegingFlight.OK) {
            out.println("Added flight " + number + " " + name + ", " + days(days) + ", from "
                    + directory.get(from).shortLabel() + " to " + directory.get(to).shortLabel() + ".");
        } else if (result == nativ_ManegingFlight.REFUSED) {
            out.println("Not added: " + whyFlightRefused(number, from, to) + ".");
        } else {
            out.println("Not added: the library has no network (code " + result + ").");
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

    private void removeFlight(String[] args) {
        usage(args, 2, 2, "remove-flight AIRPORT FLIGHT");
        int airport = directory.resolve(args[0]);
        int flight = number(args[1], "FLIGHT");
        String name = null;
        for (ReportedFlight f : flightsOf(airport)) if (f.flight() == flight) name = f.name();
        int result = nativ_ManegingFlight.removeFlight(airport, flight);
        String label = directory.get(airport).shortLabel();
        if (result == nativ_ManegingFlight.OK) {
            out.println("Removed flight " + flight + (name != null ? " " + name : "") + " from both its airports.");
        } else if (result == nativ_ManegingFlight.REFUSED) {
            out.println("Nothing removed: " + label + (directory.isPresent(airport) ? " has no flight numbered " + flight
                    : " is not in the network") + ".");
        } else {
            out.println("Nothing removed: the library has no network (code " + result + ").");
        }
    }

    private void removeAirport(String[] args) {
        usage(args, 1, 1, "remove-airport AIRPORT");
        int airport = directory.resolve(args[0]);
        int flights = flightsOf(airport).size();
        boolean present = directory.isPresent(airport);
        int result = nativ_ManegingFlight.removeAirport(airport);
        String label = directory.get(airport).label();
        if (result != nativ_ManegingFlight.OK) {
            out.println("Nothing removed: the library refused (code " + result + ").");
        } else if (present) {
            directory.markRemoved(airport);
            out.println("Removed airport " + label + " and its " + flights(flights) + ".");
        } else {
            out.println("Nothing removed: " + label + " is not in the network.");
        }
    }

    // ---- argument helpers ----

    private static void usage(String[] args, int min, int max, String usage) {
        if (args.length < min) throw new UserError("missing argument; usage: " + usage);
        if (args.length > max) throw new UserError("too many arguments; usage: " + usage);
    }

    private static int number(String text, String what) {
        if (!Directory.isNumber(text)) throw new UserError(what + " must be a whole number of 0 or more, not '" + text + "'");
        try {
            return Integer.parseInt(text);
        } catch (NumberFormatException e) {
            throw new UserError(what + " is too large: " + text);
        }
    }

    static String days(long n) {
        return n == 1 ? "1 day" : n + " days";
    }

    static String flights(long n) {
        return n == 1 ? "1 flight" : n + " flights";
    }
}
