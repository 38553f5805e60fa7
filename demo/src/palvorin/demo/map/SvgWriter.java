package palvorin.demo.map;

import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.Map;
import palvorin.demo.map.Scene.Area;
import palvorin.demo.map.Scene.Disc;
import palvorin.demo.map.Scene.Dots;
import palvorin.demo.map.Scene.Ink;
import palvorin.demo.map.Scene.Item;
import palvorin.demo.map.Scene.Label;
import palvorin.demo.map.Scene.Line;

/**
 * Writes a scene as one self-contained SVG file: plain shapes with their style in attributes, no
 * script, no style sheet, no reference to anything outside the file. Each shape carries its kind
 * as class and its data (leg, stop, code) as data-* attributes.
 */
final class SvgWriter {
    static final String FONT = "DejaVu Sans Mono, Menlo, Consolas, monospace";

    private SvgWriter() {
    }

    static String render(Scene scene) {
        StringBuilder out = new StringBuilder(1 << 18);
        out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        out.append("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"").append(scene.width())
            .append("\" height=\"").append(scene.height()).append("\" viewBox=\"0 0 ").append(scene.width())
            .append(' ').append(scene.height()).append("\">\n");
        out.append("<title>").append(escape(scene.title())).append("</title>\n");
        for (Item item : scene.items()) {
            if (item instanceof Area a) {
                out.append("<path class=\"").append(a.kind()).append("\" d=\"");
                points(out, a.points());
                out.append("Z\"");
                fill(out, a.fill());
                stroke(out, a.stroke(), a.strokeWidth());
                out.append("/>\n");
            } else if (item instanceof Line l) {
                out.append("<path class=\"").append(l.kind()).append('"');
                data(out, l.data());
                out.append(" d=\"");
                points(out, l.points());
                out.append("\" fill=\"none\"");
                stroke(out, l.stroke(), l.strokeWidth());
                out.append(" stroke-linejoin=\"round\" stroke-linecap=\"round\"/>\n");
            } else if (item instanceof Dots d) {
                // Each dot a zero-length stroke with round caps: one short element for thousands.
                out.append("<path class=\"").append(d.kind()).append("\" d=\"");
                double[] xy = d.xy();
                for (int i = 0; i < xy.length; i += 2) {
                    out.append('M').append(number(xy[i])).append(' ').append(number(xy[i + 1])).append("h0");
                }
                out.append("\" fill=\"none\" stroke-linecap=\"round\"");
                stroke(out, d.fill(), 2 * d.radius());
                out.append("/>\n");
            } else if (item instanceof Disc c) {
                out.append("<circle class=\"").append(c.kind()).append('"');
                data(out, c.data());
                out.append(" cx=\"").append(number(c.x())).append("\" cy=\"").append(number(c.y()))
                    .append("\" r=\"").append(number(c.radius())).append('"');
                fill(out, c.fill());
                stroke(out, c.stroke(), c.strokeWidth());
                out.append("/>\n");
            } else if (item instanceof Label t) {
                out.append("<g class=\"").append(t.kind()).append('"');
                data(out, t.data());
                out.append('>');
                // Bare text gets an unpainted box too: the file says where every label is.
                out.append("<rect x=\"").append(number(t.box().x())).append("\" y=\"")
                    .append(number(t.box().y())).append("\" width=\"").append(number(t.box().w()))
                    .append("\" height=\"").append(number(t.box().h())).append("\" rx=\"3\"");
                fill(out, t.fill());
                stroke(out, t.stroke(), 1.0);
                out.append("/>");
                out.append("<text x=\"").append(number(t.box().x() + Label.PADDING)).append("\" y=\"")
                    .append(number(t.baseline())).append("\" font-family=\"").append(FONT)
                    .append("\" font-size=\"").append(number(t.fontSize())).append('"');
                if (t.bold()) {
                    out.append(" font-weight=\"bold\"");
                }
                // The text may not outgrow its box whatever face the viewer has.
                out.append(" textLength=\"").append(number(t.box().w() - 2 * Label.PADDING))
                    .append("\" lengthAdjust=\"spacingAndGlyphs\"");
                fill(out, t.ink());
                out.append('>').append(escape(t.text())).append("</text></g>\n");
            }
        }
        out.append("</svg>\n");
        return out.toString();
    }

    private static void points(StringBuilder out, List<double[]> points) {
        char command = 'M';
        for (double[] p : points) {
            out.append(command).append(number(p[0])).append(' ').append(number(p[1]));
            command = 'L';
        }
    }

    private static void data(StringBuilder out, Map<String, String> data) {
        for (Map.Entry<String, String> e : data.entrySet()) {
            out.append(" data-").append(e.getKey()).append("=\"").append(escape(e.getValue())).append('"');
        }
    }

    private static void fill(StringBuilder out, Ink ink) {
        if (ink == null) {
            out.append(" fill=\"none\"");
            return;
        }
        out.append(" fill=\"").append(ink.hex()).append('"');
        if (ink.opacity() < 1.0) {
            out.append(" fill-opacity=\"").append(number(ink.opacity())).append('"');
        }
    }

    private static void stroke(StringBuilder out, Ink ink, double width) {
        if (ink == null) {
            return;
        }
        out.append(" stroke=\"").append(ink.hex()).append("\" stroke-width=\"").append(number(width)).append('"');
        if (ink.opacity() < 1.0) {
            out.append(" stroke-opacity=\"").append(number(ink.opacity())).append('"');
        }
    }

    /** A coordinate with at most two decimals, without exponent or trailing zeros. */
    static String number(double v) {
        long hundredths = Math.round(v * 100.0);
        StringBuilder s = new StringBuilder();
        if (hundredths < 0) {
            s.append('-');
            hundredths = -hundredths;
        }
        s.append(hundredths / 100);
        long rest = hundredths % 100;
        if (rest != 0) {
            s.append('.').append(rest / 10);
            if (rest % 10 != 0) {
                s.append(rest % 10);
            }
        }
        return s.toString();
    }

    /** Text safe inside XML content and attribute values; characters XML cannot hold become U+FFFD. */
    static String escape(String text) {
        StringBuilder s = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); ) {
            int c = text.codePointAt(i);
            i += Character.charCount(c);
            switch (c) {
                case '&' -> s.append("&amp;");
                case '<' -> s.append("&lt;");
                case '>' -> s.append("&gt;");
                case '"' -> s.append("&quot;");
                case '\'' -> s.append("&apos;");
                default -> {
                    boolean allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
                        || (c >= 0xE000 && c <= 0xFFFD) || c >= 0x10000;
                    s.appendCodePoint(allowed ? c : 0xFFFD);
                }
            }
        }
        return s.toString();
    }
}
