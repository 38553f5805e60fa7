package palvorin.demo;

import java.io.PrintStream;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import palvorin.demo.map.Legend;
import palvorin.demo.map.Place;
import palvorin.demo.map.RouteMap;
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
 * The route choices of the host application: {@code route} with several airports at an end,
 * alternatives, the trade-off front, airports to avoid or pass and a leg limit, and {@code
 * reach}. They ask the library's shared network (the one the host classes fill) through {@link
 * RouteQuery}. A bad option value is a usage error (exit status 2 for a one-shot command).
 */
final class RouteChoices {
    /** A leg's line starts under its route's codes: in the front's table, in its route column. */
    private static final String ALTERNATIVE_LEG = " ".repeat(5);
    private static final String FRONT_LEG = " ".repeat(20);

    private final Shell shell;
    private final Directory directory;
    private final PrintStream out;

    RouteChoices(Shell shell, Directory directory, PrintStream out) {
        this.shell = shell;
        this.directory = directory;
        this.out = out;
    }

    void route(String fromText, String toText, String maxDaysText, Path map, String alternatives, boolean front,
            String avoid, String via, String maxLegs, String passengers) {
        if (front && alternatives != null)
            throw new Shell.UsageError("--front and --alternatives exclude each other");
        int maxDays = maxDaysText == null ? Integer.MAX_VALUE
                : Shell.number(maxDaysText, "MAXDAYS", " (leave it out for no limit)");
        int k = alternatives == null ? 0 : option(alternatives, "--alternatives");
        List<Integer> from = directory.resolveSet(fromText);
        List<Integer> to = directory.resolveSet(toText);
        RouteQuery q = Network.shared().query().from(ints(from)).to(ints(to));
        if (avoid != null) q.avoid(ints(avoided(avoid)));
        if (via != null) q.via(asOption(() -> directory.resolve(via), "--via"));
        if (maxLegs != null) q.maxLegs(option(maxLegs, "--max-legs"));
        if (passengers != null) q.passengers(option(passengers, "--passengers", 1));
        Shell.checkMapName(map);
        listSet("From", fromText, from);
        listSet("To", toText, to);
        List<Route> routes;
        try {
            if (front) {
                routes = q.front(maxDays);
                printFront(routes);
            } else if (alternatives != null) {
                routes = q.alternatives(k, maxDays);
                printAlternatives(routes);
            } else {
                FitAnswer answer = q.fit(maxDays);
                switch (answer.kind()) {
                    case ROUTE -> routes = List.of(answer.route().orElseThrow());
                    case OVER_LIMIT -> throw new Shell.Refusal("no route of at most " + Shell.days(maxDays)
                            + answer.fewestDays().stream().mapToObj(d -> ": the first takes " + Shell.days(d))
                                    .findFirst().orElse("") + ".");
                    default -> throw new Shell.Refusal("no route: no chain of flights allowed leads there.");
                }
                printAlternatives(routes);
            }
        } catch (RouteQueryException e) {
            throw new Shell.UsageError(inWords(e));
        } catch (UnknownAirportException | NegativeLoopException e) {
            throw new Shell.Refusal(e.getMessage());
        }
        if (routes.isEmpty()) throw new Shell.Refusal("no route within " + Shell.days(maxDays) + ".");
        shell.listed(routes);
        if (map != null) drawRoutes(map, routes);
    }

    void reach(String airportText, String daysText, Path map) {
        int days = option(daysText, "DAYS");
        List<Integer> from = directory.resolveSet(airportText);
        Shell.checkMapName(map);
        listSet("From", airportText, from);
        List<Reached> reached;
        try {
            reached = Network.shared().query().from(ints(from)).reach(days);
        } catch (RouteQueryException e) {
            throw new Shell.UsageError(e.getMessage());
        } catch (UnknownAirportException | NegativeLoopException e) {
            throw new Shell.Refusal(e.getMessage());
        }
        Map<Long, List<Reached>> byDays = new TreeMap<>();
        for (Reached r : reached) byDays.computeIfAbsent(r.days(), d -> new ArrayList<>()).add(r);
        out.println(reached.size() + " airports within " + Shell.days(days) + " of " + codes(from) + ":");
        for (Map.Entry<Long, List<Reached>> e : byDays.entrySet()) {
            StringBuilder line = new StringBuilder(String.format("  %-8s %4d:", Shell.days(e.getKey()),
                    e.getValue().size()));
            int width = line.length();
            for (Reached r : e.getValue()) {
                String code = directory.get(r.airport()).shortLabel();
                if (width + code.length() + 1 > 100) {
                    out.println(line);
                    line = new StringBuilder(" ".repeat(15));
                    width = line.length();
                }
                line.append(' ').append(code);
                width += code.length() + 1;
            }
            out.println(line);
        }
        if (map != null) {
            List<Place> places = new ArrayList<>();
            List<Long> dayCounts = new ArrayList<>();
            for (Reached r : reached) {
                Directory.Airport a = directory.get(r.airport());
                if (!a.hasPosition()) continue;
                places.add(shell.place(a));
                dayCounts.add(r.days());
            }
            List<Place> origins = new ArrayList<>();
            for (int n : from) origins.add(shell.place(directory.get(n)));
            String title = "Within " + Shell.days(days) + " of " + codes(from);
            shell.write(map, RouteMap.ofReach(shell.world(), origins, places, dayCounts, title));
        }
    }

    private void printFront(List<Route> routes) {
        if (routes.isEmpty()) return;
        out.println("Days against flights (each beats the ones below it on days, the ones above on flights):");
        out.println("  flights   days  route");
        for (Route r : routes) {
            out.printf("  %7d %6d  %s%n", r.legs().size(), r.totalDays(), inCodes(r));
            printLegs(r, FRONT_LEG);
        }
    }

    private void printAlternatives(List<Route> routes) {
        int i = 0;
        for (Route r : routes) {
            out.printf("%d. %s, %s: %s%n", ++i, Shell.flights(r.legs().size()), Shell.days(r.totalDays()), inCodes(r));
            printLegs(r, ALTERNATIVE_LEG);
        }
    }

    /** One line a leg, under its route: the flight, its days, its free seats now, and its ends. */
    private void printLegs(Route r, String indent) {
        for (Leg leg : r.legs())
            out.printf("%s%s (flight %d), %s, %s: %s -> %s%n", indent, leg.name(), leg.flight(), Shell.days(leg.days()),
                    shell.freeSeats(leg.from(), leg.flight()), directory.get(leg.from()).shortLabel(),
                    directory.get(leg.to()).shortLabel());
    }

    private String inCodes(Route r) {
        StringBuilder b = new StringBuilder(directory.get(r.from()).shortLabel());
        for (Leg leg : r.legs()) b.append('-').append(directory.get(leg.to()).shortLabel());
        return b.toString();
    }

    private void drawRoutes(Path file, List<Route> routes) {
        List<List<Place>> drawn = new ArrayList<>();
        List<String> names = new ArrayList<>();
        int i = 0;
        for (Route r : routes) {
            List<Place> stops = new ArrayList<>();
            stops.add(shell.place(directory.get(r.from())));
            for (Leg leg : r.legs()) stops.add(shell.place(directory.get(leg.to())));
            drawn.add(stops);
            names.add(++i + ". " + inCodes(r) + ": " + Shell.days(r.totalDays()) + ", flights "
                    + String.join(" + ", r.legs().stream().map(l -> Integer.toString(l.flight())).toList()));
        }
        Route first = routes.get(0);
        String title = directory.get(first.from()).shortLabel() + " to " + directory.get(first.to()).shortLabel()
                + (routes.size() > 1 ? ": " + routes.size() + " routes" : "");
        shell.write(file, RouteMap.ofRoutes(shell.world(), drawn, names, title));
    }

    /** Says which airports a place stands for when it stands for several. */
    private void listSet(String end, String text, List<Integer> set) {
        if (set.size() > 1)
            out.println(end + " " + UserError.quote(text) + ": any of " + set.size() + " airports: " + codes(set));
    }

    private String codes(List<Integer> set) {
        StringBuilder b = new StringBuilder();
        for (int n : set) b.append(b.length() == 0 ? "" : " ").append(directory.get(n).shortLabel());
        return b.toString();
    }

    /** The airports of --avoid: comma-separated, each a code, number, city or country. */
    private List<Integer> avoided(String list) {
        List<Integer> all = new ArrayList<>();
        for (String part : list.split(",", -1)) {
            if (part.isBlank()) throw new Shell.UsageError("--avoid needs airports separated by commas, not "
                    + UserError.quote(list));
            all.addAll(asOption(() -> directory.resolveSet(part.strip()), "--avoid"));
        }
        return all;
    }

    private static <T> T asOption(java.util.function.Supplier<T> resolve, String option) {
        try {
            return resolve.get();
        } catch (Shell.UsageError e) {
            throw e;
        } catch (UserError e) {
            throw new Shell.UsageError(option + ": " + e.getMessage());
        }
    }

    private static int option(String text, String option) {
        return option(text, option, 0);
    }

    private static int option(String text, String option, int lowest) {
        try {
            return Shell.number(text, option, lowest, "");
        } catch (UserError e) {
            throw new Shell.UsageError(e.getMessage());
        }
    }

    /** A refused query's message with airports by code. */
    private String inWords(RouteQueryException e) {
        return switch (e.problem()) {
            case VIA_IS_END -> "--via " + airportOf(e) + " is also the departure or the arrival";
            case AVOIDED_END -> "--avoid " + airportOf(e) + " is also the departure, the arrival or --via";
            case ALTERNATIVES_COUNT -> "--alternatives must be 1 to " + RouteQuery.MAX_ALTERNATIVES + ", not "
                    + e.value();
            case PASSENGER_COUNT -> "--passengers must be at least 1, not " + e.value();
            default -> e.getMessage();
        };
    }

    private String airportOf(RouteQueryException e) {
        return directory.get((int) e.value()).shortLabel();
    }

    private static int[] ints(List<Integer> list) {
        return list.stream().mapToInt(Integer::intValue).toArray();
    }
}
