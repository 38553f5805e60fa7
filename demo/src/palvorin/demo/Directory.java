package palvorin.demo;

import java.util.HashMap;
import java.util.HashSet;
import java.util.Locale;
import java.util.Map;
import java.util.Set;

/**
 * What the program knows about airports beyond their numbers: the code a user types and the
 * title shown next to it, and which airports are currently in the library's network.
 */
final class Directory {
    /** One airport: its number, its display code (may be null) and its name and city. */
    record Airport(int number, String code, String title) {
        /** The code, or the number when the airport has no code. */
        String shortLabel() {
            return code != null ? code : "#" + number;
        }

        /** Code and title, e.g. "LHR London Heathrow Airport, London". */
        String label() {
            return title.isEmpty() ? shortLabel() : shortLabel() + " " + title;
        }
    }

    private final Map<Integer, Airport> byNumber = new HashMap<>();
    private final Map<String, Integer> byCode = new HashMap<>();
    private final Set<Integer> present = new HashSet<>();

    /** Records an airport that the network now holds; its codes then find it. */
    void add(Airport airport, String... codes) {
        byNumber.put(airport.number(), airport);
        present.add(airport.number());
        for (String code : codes) {
            if (code == null || code.isEmpty()) continue;
            // The first airport to claim a code keeps it, unless that one has left the network.
            Integer holder = byCode.get(key(code));
            if (holder == null || !present.contains(holder) || holder == airport.number())
                byCode.put(key(code), airport.number());
        }
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

    int presentCount() {
        return present.size();
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
     * library can answer for it), anything else an IATA or ICAO code in any case.
     *
     * @throws UserError if the code names no airport
     */
    int resolve(String token) {
        if (isNumber(token)) {
            try {
                return Integer.parseInt(token);
            } catch (NumberFormatException e) {
                throw new UserError("airport number '" + token + "' is too large");
            }
        }
        Integer n = byCode.get(key(token));
        if (n == null) throw new UserError("no airport has the code '" + token + "'");
        return n;
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
