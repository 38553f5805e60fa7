package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static palvorin.nativ_ManegingFlight.OK;
import static palvorin.nativ_ManegingFlight.addAirport;
import static palvorin.nativ_ManegingFlight.addFlight;
import static tavrik.jnitest.Reports.airport;

import java.util.List;
import org.junit.jupiter.api.Test;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;

/** Names go in as Java strings and must come back through the reports exactly as given. */
class NameTest extends JniCheckedTest {
    @Test
    void nullAirportNameThrowsAndAddsNothing() {
        assertThrows(NullPointerException.class, () -> addAirport(100, null));
        assertThrows(NullPointerException.class, () -> addAirport(100, null));
        // The airport was not added: the number is still free.
        assertEquals(OK, addAirport(100, "now with a name"));
        assertEquals(OK, addAirport(101, "other"));
        assertEquals(OK, addFlight("proof", 1, 1, 100, 101));
    }

    @Test
    void nullFlightNameThrowsAndAddsNothing() {
        assertEquals(OK, addAirport(200, "a"));
        assertEquals(OK, addAirport(201, "b"));
        assertThrows(NullPointerException.class, () -> addFlight(null, 1, 1, 200, 201));
        // Also when the flight would be refused anyway.
        assertThrows(NullPointerException.class, () -> addFlight(null, 1, 1, 200, 299));
        assertTrue(airport(200).isEmpty());
        assertTrue(airport(201).isEmpty());
        assertEquals(OK, addFlight("named", 1, 1, 200, 201));
        assertEquals(1, airport(200).size());
    }

    @Test
    void namesComeBackExactlyAsGiven() {
        StringBuilder longName = new StringBuilder();
        for (int i = 0; i < 5_000; i++) longName.append((char) ('a' + i % 26)).append('é');
        List<String> names = List.of(
                "",
                "plain ASCII 123",
                "Zürich – Genève, São Paulo, Øresund",
                "東京羽田 → 北京首都",
                "Ελληνικά и русский",
                "\uD83D\uDE00\u2708\uFE0F\uD83C\uDF0D", // emoji: supplementary characters
                "\uD800\uDC00\uDBFF\uDFFF", // first and last supplementary code points
                "lone \uD83D high and \uDE00 low surrogate",
                "a\u0000b",
                "\u0000",
                "\u0000\u0000 trailing nul\u0000",
                "\u007F\u0080\u07FF\u0800\uFFFF",
                "tab\tnewline\nreturn\r",
                longName.toString());

        int from = 300;
        assertEquals(OK, addAirport(from, "Zürich Flughafen ✈"));
        for (int i = 0; i < names.size(); i++) {
            String name = names.get(i);
            int to = 301 + i;
            assertEquals(OK, addAirport(to, name));
            assertEquals(OK, addFlight(name, i, i + 1, from, to));

            for (int reporting : new int[] {from, to}) {
                List<ReportedFlight> flights = airport(reporting);
                ReportedFlight f = flights.stream().filter(r -> r.to() == to).findFirst().orElseThrow();
                assertSameText(name, f.name());
            }

            aggregateFiting fiting = new aggregateFiting();
            assertEquals(OK, fiting.getRouteFlight(Integer.MAX_VALUE, from, to));
            fiting.setData();
            assertEquals(2, fiting.flights().size());
            for (ReportedFlight f : fiting.flights()) assertSameText(name, f.name());
        }
    }

    private static void assertSameText(String expected, String actual) {
        assertArrayEquals(expected.toCharArray(), actual.toCharArray(),
                () -> "expected " + escaped(expected) + " got " + escaped(actual));
    }

    private static String escaped(String s) {
        if (s.length() > 80) s = s.substring(0, 80) + "...";
        StringBuilder out = new StringBuilder("\"");
        for (char c : s.toCharArray()) {
            if (c >= 0x20 && c < 0x7F) out.append(c);
            else out.append(String.format("\\u%04X", (int) c));
        }
        return out.append('"').toString();
    }
}
