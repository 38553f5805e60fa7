package palvorin.demo;

import java.text.Normalizer;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.regex.Pattern;
import palvorin.openflights.OpenFlights;

/**
 * What the program knows about airports beyond their numbers: the code a user types, the title
 * shown next to it, the place (city, country, position) that {@code find} and the map use, and which
 * airports are currently in the library's network.
 */
final class Directory {
    /**
     * One airport: its number, its display code (may be null), its name and city as one title, and
     * its place. Airports added by hand have empty place fields and NaN coordinates.
     */
    record Airport(int number, String code, String title, String name, String city, String country, String iata,
            String icao, double lat, double lon) {
        /** An airport known only by number and title, e.g. one added by hand. */
        Airport(int number, String code, String title) {
            this(number, code, title, title, "", "", code, null, Double.NaN, Double.NaN);
        }

        /** The code, or the number when the airport has no code. */
        String shortLabel() {
            return code != null ? code : "#" + number;
        }

        /** Code and title, e.g. "LHR London Heathrow Airport, London". */
        String label() {
            return title.isEmpty() ? shortLabel() : shortLabel() + " " + title;
        }

        /** Code, title and country, as {@code find} lists it. */
        String longLabel() {
            return country.isEmpty() ? label() : label() + ", " + country;
        }

        boolean hasPosition() {
            return !Double.isNaN(lat) && !Double.isNaN(lon);
        }
    }

    private final Map<Integer, Airport> byNumber = new HashMap<>();
    private final Map<String, Integer> byCode = new HashMap<>();
    private final Set<Integer> present = new HashSet<>();
    /** The routes loaded from the data, counted per airport on the first search by place. */
    private List<OpenFlights.Route> loadedRoutes = List.of();
    /** Flights each airport had when the data was loaded: bigger airports come first among equal matches. */
    private Map<Integer, Integer> loadedFlights;
    /** Folded name, city and country of each airport, made on the first search by place. */
    private Map<Integer, String[]> folded;
    /** The length of the longest text in {@link #folded} or of any code. */
    private int longestField;

    /** Records an airport that the network now holds; its codes then find it. */
    void add(Airport airport, String... codes) {
        byNumber.put(airport.number(), airport);
        present.add(airport.number());
        if (folded != null) folded.put(airport.number(), foldedFields(airport));
        for (String code : codes) {
            if (code == null || code.isEmpty()) continue;
            // The first airport to claim a code keeps it, unless that one has left the network.
            Integer holder = byCode.get(key(code));
            if (holder == null || !present.contains(holder) || holder == airport.number())
                byCode.put(key(code), airport.number());
        }
    }

    /** The routes the library took at loading; counted only when a search by place needs them. */
    void setLoadedRoutes(List<OpenFlights.Route> routes) {
        loadedRoutes = routes;
    }

    void markRemoved(int number) {
        present.remove(number);
    }

    boolean isPresent(int number) {
        return present.contains(number);
    }

    /** Known since loading or since add-airport, present or removed. */
    boolean isKnown(int number) {
        return byNumber.containsKey(number);
    }

    /** The airports in the network now. */
    List<Airport> presentAirports() {
        List<Airport> list = new ArrayList<>(present.size());
        for (int n : present) list.add(byNumber.get(n));
        return list;
    }

    /** Every code that names an airport in the network now, for completion. */
    Set<String> presentCodes() {
        Set<String> codes = new TreeSet<>();
        for (Map.Entry<String, Integer> e : byCode.entrySet())
            if (present.contains(e.getValue())) codes.add(e.getKey());
        return codes;
    }

    /** The airport holding {@code code} now, or null. */
    Integer presentHolderOf(String code) {
        Integer n = byCode.get(key(code));
        return n != null && present.contains(n) ? n : null;
    }

    /** An airport by number for display; unknown numbers get a bare "#number" label. */
    Airport get(int number) {
        Airport a = byNumber.get(number);
        return a != null ? a : new Airport(number, null, "");
    }

    /**
     * Turns what the user typed into an airport number: digits are a number (known or not, so the
     * library can answer for it), then an IATA or ICAO code in any case, then a city or airport name
     * that names one airport.
     *
     * @throws UserError if the text names no airport, or several (they are listed)
     */
    int resolve(String text) {
        if (isNumber(text)) {
            try {
                return Integer.parseInt(text);
            } catch (NumberFormatException e) {
                throw new UserError("airport number " + UserError.quote(text) + " is too large: numbers go from 0 to "
                        + Integer.MAX_VALUE);
            }
        }
        Integer n = byCode.get(key(text));
        if (n != null) return n;
        int length = fold(text).length();
        if (length > longestField())
            throw new UserError("no airport has a code, city or name of " + length + " characters (the longest has "
                    + longestField() + "): " + UserError.quote(text));
        List<Match> matches = find(text);
        if (matches.isEmpty())
            throw new UserError("no airport has the code, city or name " + UserError.quote(text) + " (try: find "
                    + UserError.brief(text) + ")");
        // Exact city or name matches outrank the rest; one of them is the answer, several are a choice.
        int best = matches.get(0).score();
        List<Match> top = best >= EXACT_PLACE ? matches.stream().filter(m -> m.score() >= EXACT_PLACE).toList()
                : matches;
        if (top.size() == 1) return top.get(0).airport().number();
        StringBuilder list = new StringBuilder();
        int shown = Math.min(top.size(), 6);
        for (int i = 0; i < shown; ++i) {
            Airport a = top.get(i).airport();
            list.append(i == 0 ? "" : "; ").append(a.longLabel());
        }
        if (top.size() > shown) list.append("; and ").append(top.size() - shown).append(" more");
        throw new UserError(UserError.quote(text) + " could be any of " + top.size() + " airports: " + list
                + " (name one by its code; find " + UserError.brief(text) + " lists them all)");
    }

    /** An airport that {@code find} matched and how well: higher is better. */
    record Match(Airport airport, int score) {}

    static final int EXACT_CODE = 100;
    static final int EXACT_PLACE = 80;

    /**
     * The airports in the network whose code, city, name or country matches {@code text}, ignoring
     * case and accents, best first: an exact code, then an exact city, an exact name, a city or name
     * that starts with the text, a word of either that does, the country, and last the text anywhere
     * in city or name. Among equals, airports with more flights come first.
     */
    List<Match> find(String text) {
        String q = fold(text);
        if (q.isEmpty()) return List.of();
        prepare();
        // Nothing is longer than the longest field: such a text matches nothing, and no airport
        // is looked at. Below that bound, each airport costs a few comparisons of short texts.
        if (q.length() > longestField) return List.of();
        Query query = new Query(q, q.toUpperCase(Locale.ROOT), " " + q);
        List<Match> matches = new ArrayList<>();
        for (int n : present) {
            Airport a = byNumber.get(n);
            int score = score(a, folded.get(n), query);
            if (score > 0) matches.add(new Match(a, score));
        }
        matches.sort(Comparator.comparingInt((Match m) -> -m.score())
                .thenComparingInt(m -> -loadedFlights.getOrDefault(m.airport().number(), 0))
                .thenComparing(m -> m.airport().shortLabel()));
        return matches;
    }

    /** The longest folded name, city or country and the longest code of any airport known. */
    int longestField() {
        prepare();
        return longestField;
    }

    /** Folds every airport's texts once, on the first search by place: a one-shot command by code never pays for it. */
    private void prepare() {
        if (folded != null) return;
        folded = new HashMap<>();
        for (Airport a : byNumber.values()) folded.put(a.number(), foldedFields(a));
        loadedFlights = new HashMap<>();
        for (OpenFlights.Route r : loadedRoutes) {
            loadedFlights.merge(r.from(), 1, Integer::sum);
            loadedFlights.merge(r.to(), 1, Integer::sum);
        }
    }

    /** The searched text folded, in capitals for codes, and after a blank for word starts: made once a search. */
    private record Query(String folded, String upper, String wordStart) {}

    private static int score(Airport a, String[] f, Query query) {
        String name = f[0];
        String city = f[1];
        String country = f[2];
        String q = query.folded();
        if (query.upper().equals(a.iata()) || query.upper().equals(a.icao())) return EXACT_CODE;
        if (city.equals(q)) return 90;
        if (name.equals(q)) return EXACT_PLACE;
        if (city.startsWith(q)) return 60;
        if (name.startsWith(q)) return 55;
        if (city.contains(query.wordStart()) || name.contains(query.wordStart())) return 45;
        if (country.equals(q)) return 30;
        if (city.contains(q) || name.contains(q)) return 20;
        return 0;
    }

    private String[] foldedFields(Airport a) {
        String[] f = {fold(a.name()), fold(a.city()), fold(a.country())};
        for (String field : f) longestField = Math.max(longestField, field.length());
        for (String code : new String[] {a.code(), a.iata(), a.icao()})
            if (code != null) longestField = Math.max(longestField, code.length());
        return f;
    }

    private static final Pattern MARKS = Pattern.compile("\\p{M}+");
    private static final Pattern SPACES = Pattern.compile("[\\s\\-]+");

    /** Lower case without accents, one space between words: "São  Paulo" and "sao paulo" fold alike. */
    static String fold(String text) {
        if (text == null) return "";
        boolean ascii = true;
        for (int i = 0; i < text.length() && ascii; ++i) ascii = text.charAt(i) < 128;
        // Most names are plain ASCII: they need no decomposition, which is the costly part.
        String plain = ascii ? text : MARKS.matcher(Normalizer.normalize(text, Normalizer.Form.NFD)).replaceAll("");
        return SPACES.matcher(plain.toLowerCase(Locale.ROOT)).replaceAll(" ").strip();
    }

    static boolean isNumber(String token) {
        if (token.isEmpty()) return false;
        for (int i = 0; i < token.length(); ++i)
            if (!Character.isDigit(token.charAt(i))) return false;
        return true;
    }

    private static String key(String code) {
        return code.toUpperCase(Locale.ROOT);
    }
}
