package palvorin.demo.map;

import java.util.List;
import java.util.Map;

/**
 * What a map shows, in pixels, in drawing order: the one description that both the SVG and the
 * PNG writer draw, so the two files cannot disagree.
 */
record Scene(int width, int height, String title, List<Item> items) {
    Scene {
        items = List.copyOf(items);
    }

    /** A colour (0xRRGGBB) and its opacity in [0, 1]. */
    record Ink(int rgb, double opacity) {
        String hex() {
            return String.format("#%06x", rgb);
        }
    }

    /** An axis-aligned rectangle: left, top, width, height. */
    record Box(double x, double y, double w, double h) {
        boolean overlaps(Box o) {
            return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
        }

        boolean inside(Box o) {
            return x >= o.x && y >= o.y && x + w <= o.x + o.w && y + h <= o.y + o.h;
        }

        double overlapArea(Box o) {
            double dx = Math.min(x + w, o.x + o.w) - Math.max(x, o.x);
            double dy = Math.min(y + h, o.y + o.h) - Math.max(y, o.y);
            return dx > 0 && dy > 0 ? dx * dy : 0.0;
        }
    }

    /** One thing to draw; {@code kind} and {@code data} name it in the SVG (class, data-*). */
    sealed interface Item permits Area, Line, Dots, Disc, Label {
        String kind();
    }

    /** A closed polygon, filled and outlined. */
    record Area(String kind, List<double[]> points, Ink fill, Ink stroke, double strokeWidth) implements Item {
    }

    /** One unbroken polyline; a leg cut at the map's edge is two of them. */
    record Line(String kind, Map<String, String> data, List<double[]> points, Ink stroke, double strokeWidth)
        implements Item {
    }

    /** Many small round dots of one style, as x, y pairs. */
    record Dots(String kind, double[] xy, double radius, Ink fill) implements Item {
    }

    /** A marker: a filled circle with a ring. */
    record Disc(String kind, Map<String, String> data, double x, double y, double radius, Ink fill, Ink stroke,
        double strokeWidth) implements Item {
    }

    /**
     * A line of text in a box; {@code fill} (the box's background) and {@code stroke} (its frame)
     * may be null for bare text. The text starts {@link #PADDING} from the box's left edge.
     */
    record Label(String kind, Map<String, String> data, Box box, String text, double fontSize, boolean bold, Ink ink,
        Ink fill, Ink stroke) implements Item {
        static final double PADDING = 4.0;

        /** Advance of one character of the monospaced face, as a share of the font size. */
        static final double ADVANCE = 0.61;

        /** The box that holds {@code text} at {@code fontSize} with a padding on each side. */
        static double width(String text, double fontSize) {
            return text.codePointCount(0, text.length()) * ADVANCE * fontSize + 2 * PADDING;
        }

        static double height(double fontSize) {
            return Math.ceil(fontSize * 1.45);
        }

        /** Baseline of the text: its x-height centred in the box. */
        double baseline() {
            return box.y() + box.h() / 2 + fontSize * 0.36;
        }
    }
}
