package palvorin.demo;

import java.util.ArrayList;
import java.util.List;

/**
 * Splits one line of an OpenFlights CSV file into fields. Quoted fields may hold commas and
 * doubled quotes; an unquoted {@code \N} marks a missing value and comes back as null.
 */
final class Csv {
    private Csv() {}

    static List<String> split(String line) {
        List<String> fields = new ArrayList<>();
        StringBuilder field = new StringBuilder();
        int i = 0;
        final int n = line.length();
        while (true) {
            field.setLength(0);
            boolean quoted = false;
            if (i < n && line.charAt(i) == '"') {
                quoted = true;
                ++i;
                while (i < n) {
                    char c = line.charAt(i++);
                    if (c == '"') {
                        if (i < n && line.charAt(i) == '"') {
                            field.append('"');
                            ++i;
                        } else {
                            break;
                        }
                    } else {
                        field.append(c);
                    }
                }
                // Anything between the closing quote and the next comma is kept as written.
                while (i < n && line.charAt(i) != ',') field.append(line.charAt(i++));
            } else {
                while (i < n && line.charAt(i) != ',') field.append(line.charAt(i++));
            }
            String value = field.toString();
            fields.add(!quoted && value.equals("\\N") ? null : value);
            if (i >= n) break;
            ++i; // the comma
        }
        return fields;
    }
}
