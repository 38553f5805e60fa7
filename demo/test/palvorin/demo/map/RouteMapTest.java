package palvorin.demo.map;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.ByteArrayInputStream;
import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import javax.imageio.ImageIO;
import javax.xml.XMLConstants;
import javax.xml.parsers.DocumentBuilderFactory;
import org.junit.jupiter.api.Assumptions;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import palvorin.openflights.OpenFlights;
import org.w3c.dom.Document;
import org.w3c.dom.Element;
import org.w3c.dom.NamedNodeMap;
import org.w3c.dom.NodeList;

/**
 * Draws maps of routes and airports on the bundled OpenFlights airports and checks the written
 * files: the SVG by parsing it (arcs, their ends, their cuts, labels, self-containment), the PNG
 * (and the SVG when rsvg-convert is there to render it) by the colour at the airports' pixels.
 */
class RouteMapTest {
    /** Half the rounding of SVG coordinates (two decimals), plus float noise. */
    static final double EXACT = 0.006;

    static final Map<String, Place> byCode = new HashMap<>();
    static final List<Place> world = new ArrayList<>();
    static Path work;

    /** The airports behind the places, for the day rule. */
    static final Map<Place, OpenFlights.Airport> airportOf = new HashMap<>();

    @BeforeAll
    static void readAirports() throws IOException {
        Path data = Path.of(System.getProperty("demo.data", "data/openflights"));
        for (OpenFlights.Airport a : OpenFlights.read(data).airports) {
            String code = a.code() != null ? a.code() : "#" + a.id();
            Place p = new Place(code, a.name(), a.lat(), a.lon());
            world.add(p);
            airportOf.putIfAbsent(p, a);
            byCode.putIfAbsent(code, p);
        }
        work = Path.of(System.getProperty("demo.work", System.getProperty("java.io.tmpdir")), "map-check");
        Files.createDirectories(work);
    }

    static List<Place> places(String... codes) {
        List<Place> out = new ArrayList<>();
        for (String c : codes) {
            assertNotNull(byCode.get(c), c + " in airports.dat");
            out.add(byCode.get(c));
        }
        return out;
    }

    /** Total days on arrival at each stop, by the data's day rule. */
    static List<Long> days(List<Place> stops) {
        List<Long> out = new ArrayList<>();
        long total = 0;
        out.add(0L);
        for (int i = 1; i < stops.size(); i++) {
            total += OpenFlights.days(airportOf.get(stops.get(i - 1)), airportOf.get(stops.get(i)));
            out.add(total);
        }
        return out;
    }

    static RouteMap route(List<Place> stops, String title) {
        List<Long> d = days(stops);
        return RouteMap.ofRoute(world, stops, d, Legend.forRoute(title, d.get(d.size() - 1), stops.size() - 1, 2));
    }

    // ---- reading the SVG back ----

    /** A parsed map: the document and its drawn pieces by kind. */
    record Svg(Document doc, int width, int height) {
        List<Element> all(String tag, String kind) {
            List<Element> out = new ArrayList<>();
            NodeList list = doc.getElementsByTagName(tag);
            for (int i = 0; i < list.getLength(); i++) {
                Element e = (Element) list.item(i);
                if (kind == null || kind.equals(e.getAttribute("class"))) {
                    out.add(e);
                }
            }
            return out;
        }
    }

    static Svg writeAndParse(RouteMap map, String name) throws Exception {
        Path file = work.resolve(name + ".svg");
        map.write(file);
        DocumentBuilderFactory f = DocumentBuilderFactory.newInstance();
        f.setFeature(XMLConstants.FEATURE_SECURE_PROCESSING, true);
        f.setFeature("http://apache.org/xml/features/disallow-doctype-decl", true);
        Document doc = f.newDocumentBuilder().parse(new ByteArrayInputStream(Files.readAllBytes(file)));
        Element root = doc.getDocumentElement();
        assertEquals("svg", root.getTagName());
        return new Svg(doc, Integer.parseInt(root.getAttribute("width")), Integer.parseInt(root.getAttribute("height")));
    }

    /** The points of a path's d attribute ("M x y L x y ..."). */
    static List<double[]> points(Element path) {
        List<double[]> out = new ArrayList<>();
        String[] tokens = path.getAttribute("d").trim().split("(?=[MLZ])|\\s+");
        List<Double> numbers = new ArrayList<>();
        for (String t : tokens) {
            String n = t.replaceAll("^[MLZ]", "");
            if (!n.isEmpty()) {
                numbers.add(Double.parseDouble(n));
            }
        }
        for (int i = 0; i + 1 < numbers.size(); i += 2) {
            out.add(new double[] {numbers.get(i), numbers.get(i + 1)});
        }
        return out;
    }

    static double[] box(Element labelGroup) {
        Element r = (Element) labelGroup.getElementsByTagName("rect").item(0);
        return new double[] {Double.parseDouble(r.getAttribute("x")), Double.parseDouble(r.getAttribute("y")),
            Double.parseDouble(r.getAttribute("width")), Double.parseDouble(r.getAttribute("height"))};
    }

    static boolean overlap(double[] a, double[] b) {
        return a[0] < b[0] + b[2] && b[0] < a[0] + a[2] && a[1] < b[1] + b[3] && b[1] < a[1] + a[3];
    }

    static void assertNear(double[] expected, double[] actual, String what) {
        assertTrue(Math.abs(expected[0] - actual[0]) < EXACT && Math.abs(expected[1] - actual[1]) < EXACT,
            what + ": expected (" + expected[0] + ", " + expected[1] + ") but was (" + actual[0] + ", " + actual[1] + ")");
    }

    /** The legs of a route map by index, each as its drawn pieces in document order. */
    static Map<Integer, List<List<double[]>>> legs(Svg svg) {
        Map<Integer, List<List<double[]>>> out = new LinkedHashMap<>();
        for (Element p : svg.all("path", "leg")) {
            out.computeIfAbsent(Integer.parseInt(p.getAttribute("data-leg")), k -> new ArrayList<>()).add(points(p));
        }
        return out;
    }

    /** Distance from a point to a polyline. */
    static double distance(double[] p, List<double[]> line) {
        double best = Double.MAX_VALUE;
        for (int i = 1; i < line.size(); i++) {
            double[] a = line.get(i - 1);
            double[] b = line.get(i);
            double dx = b[0] - a[0];
            double dy = b[1] - a[1];
            double len = dx * dx + dy * dy;
            double t = len == 0 ? 0 : Math.max(0, Math.min(1, ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / len));
            best = Math.min(best, Math.hypot(p[0] - a[0] - t * dx, p[1] - a[1] - t * dy));
        }
        return best;
    }

    /** The point halfway along the great circle from a to b, worked out from unit vectors. */
    static Place midpoint(Place a, Place b) {
        double[] u = unit(a);
        double[] v = unit(b);
        double x = u[0] + v[0];
        double y = u[1] + v[1];
        double z = u[2] + v[2];
        return new Place("mid", "mid", Math.toDegrees(Math.atan2(z, Math.hypot(x, y))), Math.toDegrees(Math.atan2(y, x)));
    }

    static double[] unit(Place p) {
        double phi = Math.toRadians(p.latitude());
        double lambda = Math.toRadians(p.longitude());
        return new double[] {Math.cos(phi) * Math.cos(lambda), Math.cos(phi) * Math.sin(lambda), Math.sin(phi)};
    }

    /**
     * What every route map must satisfy: one unbroken arc per leg from the projected departure to
     * the projected arrival through the projected great-circle midpoint, a marker and a label per
     * stop, labels inside the canvas, apart from each other and off the markers.
     */
    static void checkRoute(RouteMap map, Svg svg, List<Place> stops, List<Long> days) {
        Projection proj = map.projection();
        Map<Integer, List<List<double[]>>> legs = legs(svg);
        assertEquals(stops.size() - 1, legs.size(), "one arc per leg");
        for (int i = 0; i + 1 < stops.size(); i++) {
            List<List<double[]>> pieces = legs.get(i);
            assertEquals(1, pieces.size(), "leg " + i + " is not cut: the map is centred on the route");
            List<double[]> arc = pieces.get(0);
            assertNear(proj.pixel(stops.get(i)), arc.get(0), "start of leg " + i);
            assertNear(proj.pixel(stops.get(i + 1)), arc.get(arc.size() - 1), "end of leg " + i);
            double off = distance(proj.pixel(midpoint(stops.get(i), stops.get(i + 1))), arc);
            assertTrue(off < 1.0, "leg " + i + " passes " + off + " px from its great-circle midpoint");
            for (int k = 1; k < arc.size(); k++) {
                double step = Math.hypot(arc.get(k)[0] - arc.get(k - 1)[0], arc.get(k)[1] - arc.get(k - 1)[1]);
                assertTrue(step < 40, "leg " + i + " jumps " + step + " px at point " + k);
            }
        }
        List<Element> markers = svg.all("circle", "stop");
        assertEquals(stops.size(), markers.size());
        List<double[]> markerBoxes = new ArrayList<>();
        for (Element m : markers) {
            int i = Integer.parseInt(m.getAttribute("data-stop"));
            double x = Double.parseDouble(m.getAttribute("cx"));
            double y = Double.parseDouble(m.getAttribute("cy"));
            double r = Double.parseDouble(m.getAttribute("r"));
            assertNear(proj.pixel(stops.get(i)), new double[] {x, y}, "marker of stop " + i);
            markerBoxes.add(new double[] {x - r, y - r, 2 * r, 2 * r});
        }
        List<Element> labels = svg.all("g", "label");
        assertEquals(stops.size(), labels.size(), "one label per stop");
        List<double[]> boxes = new ArrayList<>();
        for (Element g : labels) {
            int i = Integer.parseInt(g.getAttribute("data-stop"));
            String text = g.getElementsByTagName("text").item(0).getTextContent();
            assertTrue(text.startsWith(stops.get(i).code()) && text.contains(" " + days.get(i) + " day"),
                "label of stop " + i + ": " + text);
            double[] b = box(g);
            assertTrue(b[0] >= 0 && b[1] >= 0 && b[0] + b[2] <= svg.width() && b[1] + b[3] <= svg.height(),
                "label " + text + " inside the canvas");
            for (double[] other : boxes) {
                assertFalse(overlap(b, other), "label " + text + " overlaps another label");
            }
            for (double[] m : markerBoxes) {
                assertFalse(overlap(b, m), "label " + text + " covers a marker");
            }
            boxes.add(b);
        }
    }

    /** Nothing in the file reaches outside it: no script, no link, no external style or image. */
    static void checkSelfContained(Svg svg) {
        NodeList all = svg.doc().getElementsByTagName("*");
        for (int i = 0; i < all.getLength(); i++) {
            Element e = (Element) all.item(i);
            assertFalse(List.of("script", "image", "use", "foreignObject", "style", "a", "iframe").contains(e.getTagName()),
                "element " + e.getTagName());
            NamedNodeMap attrs = e.getAttributes();
            for (int k = 0; k < attrs.getLength(); k++) {
                String name = attrs.item(k).getNodeName();
                String value = attrs.item(k).getNodeValue();
                if (name.equals("xmlns")) {
                    continue;
                }
                assertFalse(name.startsWith("on") || name.endsWith("href") || value.contains("url(")
                    || value.contains("://"), "attribute " + name + "=" + value);
            }
        }
    }

    @Test
    void routesAreArcsBetweenTheirStopsWithLabelsApart() throws Exception {
        // Far north to far south; a transpacific route whose legs cross the 180th meridian; a
        // crowd of close stops in western Europe, where labels must make room for each other.
        Map<String, List<Place>> routes = new LinkedHashMap<>();
        routes.put("lyr-ush", places("LYR", "TOS", "OSL", "FRA", "GRU", "EZE", "USH"));
        routes.put("nrt-lax", places("NRT", "HNL", "LAX"));
        routes.put("sfo-syd", places("SFO", "NAN", "SYD"));
        routes.put("crowd", places("LHR", "LGW", "LCY", "STN", "LTN", "AMS", "RTM", "BRU", "CRL", "LIL", "CDG",
            "ORY", "BVA", "LUX", "CGN", "DUS"));
        for (Map.Entry<String, List<Place>> e : routes.entrySet()) {
            List<Place> stops = e.getValue();
            String title = "Route <" + e.getKey() + "> & \"more\" 'quoted' \u0001 \u00e9";
            RouteMap map = route(stops, title);
            Svg svg = writeAndParse(map, e.getKey());
            checkRoute(map, svg, stops, days(stops));
            checkSelfContained(svg);
            assertEquals(title.replace('\u0001', '\ufffd'),
                svg.all("g", "legend-title").get(0).getElementsByTagName("text").item(0).getTextContent(),
                "the legend's title survives escaping");
            assertEquals(world.size(), svg.all("path", "airports").get(0).getAttribute("d").chars().filter(c -> c == 'M')
                .count(), "one dot per airport");
        }
        // The transpacific route is drawn around the Pacific, not at the map's edges.
        RouteMap pacific = route(places("NRT", "HNL", "LAX"), "pacific");
        double lon = pacific.projection().centralMeridian();
        assertTrue(lon > 135 || lon < -120, "central meridian " + lon + " lies in the Pacific");
    }

    @Test
    void aRouteAroundTheWorldIsCutOnceAtTheEdge() throws Exception {
        // Three legs along the equator cover every longitude: one of them must cross the edge.
        List<Place> stops = List.of(new Place("AAA", "a", 0, 0), new Place("BBB", "b", 10, 120),
            new Place("CCC", "c", -10, -120), new Place("AAA", "a", 0, 0));
        RouteMap map = RouteMap.ofRoute(world, stops, List.of(0L, 7L, 14L, 21L), Legend.forRoute("around", 21, 3, 3));
        Svg svg = writeAndParse(map, "around");
        Map<Integer, List<List<double[]>>> legs = legs(svg);
        assertEquals(3, legs.size());
        int cut = -1;
        for (Map.Entry<Integer, List<List<double[]>>> e : legs.entrySet()) {
            if (e.getValue().size() != 1) {
                assertEquals(-1, cut, "only one leg is cut");
                assertEquals(2, e.getValue().size(), "a cut leg is two paths");
                cut = e.getKey();
            }
        }
        assertTrue(cut >= 0, "one leg crosses the edge");
        Projection proj = map.projection();
        List<double[]> before = legs.get(cut).get(0);
        List<double[]> after = legs.get(cut).get(1);
        assertNear(proj.pixel(stops.get(cut)), before.get(0), "the cut leg starts at its departure");
        assertNear(proj.pixel(stops.get(cut + 1)), after.get(after.size() - 1), "and ends at its arrival");
        double[] out = before.get(before.size() - 1);
        double[] in = after.get(0);
        assertEquals(out[1], in[1], EXACT, "both pieces meet the edge at the same latitude");
        // The edge meridians at that height, found from the latitude at which y = out[1].
        double lat = latitudeAt(proj, out[1]);
        double right = proj.x(lat, 180);
        double left = proj.x(lat, -180);
        assertTrue(Math.abs(out[0] - right) < 0.05 && Math.abs(in[0] - left) < 0.05
            || Math.abs(out[0] - left) < 0.05 && Math.abs(in[0] - right) < 0.05,
            "the pieces end on opposite edges: " + out[0] + " and " + in[0] + " vs " + left + " and " + right);
    }

    static double latitudeAt(Projection proj, double y) {
        double lo = -90;
        double hi = 90;
        for (int i = 0; i < 60; i++) {
            double mid = (lo + hi) / 2;
            if (proj.y(mid) > y) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        return (lo + hi) / 2;
    }

    @Test
    void anAirportsFlightsAreSpokesFromIt() throws Exception {
        Place hub = byCode.get("FRA");
        List<Place> destinations = places("JFK", "SYD", "GRU", "NRT", "JNB", "LAX", "JFK", "AKL", "ANC");
        RouteMap map = RouteMap.ofAirport(world, hub, destinations, Legend.forAirport("Frankfurt", 9, 8));
        Svg svg = writeAndParse(map, "fra");
        checkSelfContained(svg);
        Projection proj = map.projection();
        Map<String, List<List<double[]>>> spokes = new LinkedHashMap<>();
        for (Element p : svg.all("path", "spoke")) {
            spokes.computeIfAbsent(p.getAttribute("data-to"), k -> new ArrayList<>()).add(points(p));
        }
        assertEquals(8, spokes.size(), "one spoke per destination, repeats drawn once");
        for (Map.Entry<String, List<List<double[]>>> e : spokes.entrySet()) {
            List<List<double[]>> pieces = e.getValue();
            assertEquals(1, pieces.size(), "spoke to " + e.getKey() + " is not cut");
            List<double[]> arc = pieces.get(0);
            assertNear(proj.pixel(hub), arc.get(0), "spoke to " + e.getKey() + " starts at the hub");
            assertNear(proj.pixel(byCode.get(e.getKey())), arc.get(arc.size() - 1), "spoke ends at " + e.getKey());
        }
        List<double[]> boxes = new ArrayList<>();
        for (Element g : svg.all("g", "label")) {
            double[] b = box(g);
            assertTrue(b[0] >= 0 && b[1] >= 0 && b[0] + b[2] <= svg.width() && b[1] + b[3] <= svg.height(),
                "label inside the canvas");
            for (double[] other : boxes) {
                assertFalse(overlap(b, other), "labels of the airport map overlap");
            }
            boxes.add(b);
        }
        assertEquals(hub.code(), svg.all("g", "label").get(0).getAttribute("data-code"), "the hub is labelled first");
    }

    @Test
    void pixelsOfTheStopsHaveTheRouteColour() throws Exception {
        List<Place> stops = places("LYR", "OSL", "FRA", "GRU", "USH");
        RouteMap map = route(stops, "rendered");
        Path png = work.resolve("rendered.png");
        map.write(png);
        checkColours(ImageIO.read(png.toFile()), map, stops, "PNG");

        Path svg = work.resolve("rendered.svg");
        map.write(svg);
        Assumptions.assumeTrue(new File("/usr/bin/rsvg-convert").canExecute(), "rsvg-convert (librsvg2-bin) is not installed");
        Path fromSvg = work.resolve("rendered-svg.png");
        Process p = new ProcessBuilder("/usr/bin/rsvg-convert", "-o", fromSvg.toString(), svg.toString())
            .redirectErrorStream(true).start();
        String said = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(60, TimeUnit.SECONDS));
        assertEquals(0, p.exitValue(), said);
        checkColours(ImageIO.read(fromSvg.toFile()), map, stops, "SVG rendered by rsvg-convert");
    }

    static void checkColours(BufferedImage image, RouteMap map, List<Place> stops, String what) {
        assertEquals(map.scene().width(), image.getWidth());
        assertEquals(map.scene().height(), image.getHeight());
        int route = RouteMap.ROUTE.rgb();
        for (Place s : stops) {
            double[] xy = map.projection().pixel(s);
            int rgb = image.getRGB((int) Math.floor(xy[0]), (int) Math.floor(xy[1]));
            assertTrue(close(rgb, route), what + ": pixel of " + s.code() + " is " + Integer.toHexString(rgb & 0xffffff));
        }
        // The check can fail: the middle of the South Pacific, far from this route, is not red.
        double[] empty = {map.projection().x(-50, map.projection().relativeLongitude(-130)), map.projection().y(-50)};
        assertFalse(close(image.getRGB((int) empty[0], (int) empty[1]), route), what + ": an empty sea is not route-coloured");
    }

    static boolean close(int rgb, int expected) {
        for (int shift = 0; shift <= 16; shift += 8) {
            if (Math.abs((rgb >> shift & 0xff) - (expected >> shift & 0xff)) > 12) {
                return false;
            }
        }
        return true;
    }

    @Test
    void theFileNameChoosesTheFormat() throws Exception {
        RouteMap map = route(places("LHR", "SYD"), "formats");
        Path upper = work.resolve("UPPER.SVG");
        map.write(upper);
        assertTrue(Files.readString(upper).startsWith("<?xml"));
        Path png = work.resolve("upper.PNG");
        map.write(png);
        byte[] head = Files.readAllBytes(png);
        assertEquals((byte) 0x89, head[0]);
        assertEquals('P', head[1]);
        IllegalArgumentException e = assertThrows(IllegalArgumentException.class, () -> map.write(work.resolve("map.jpg")));
        assertTrue(e.getMessage().contains(".svg") && e.getMessage().contains(".png"), e.getMessage());
        assertFalse(Files.exists(work.resolve("map.jpg")));
    }
}
