package palvorin.demo.map;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collection;
import java.util.LinkedHashMap;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Objects;
import palvorin.demo.map.Scene.Box;
import palvorin.demo.map.Scene.Disc;
import palvorin.demo.map.Scene.Ink;
import palvorin.demo.map.Scene.Item;
import palvorin.demo.map.Scene.Label;
import palvorin.demo.map.Scene.Line;

/**
 * A world map of a route or of an airport's flights, written as SVG or PNG. Every airport of the
 * world is drawn as a faint dot; the route's legs (or the airport's spokes) as great-circle arcs.
 * The map is centred on a meridian chosen so that the arcs are not cut at its edge; an arc that
 * must cross the edge anyway is drawn as two lines, one ending on each side.
 */
public final class RouteMap {
    static final int WIDTH = 1600;
    static final double MARGIN = 14.0;

    static final Ink BACKGROUND = new Ink(0xffffff, 1.0);
    static final Ink OCEAN = new Ink(0xeef3f8, 1.0);
    static final Ink OUTLINE = new Ink(0xb4c0cc, 1.0);
    static final Ink GRATICULE = new Ink(0xd3dce6, 1.0);
    static final Ink AIRPORT = new Ink(0x4f5b68, 0.5);
    /** The colour of the route: legs, spokes and stop markers. */
    static final Ink ROUTE = new Ink(0xd62d20, 1.0);
    static final Ink SPOKE = new Ink(0xd62d20, 0.5);
    static final Ink RING = new Ink(0xffffff, 1.0);
    static final Ink TEXT = new Ink(0x1b1f24, 1.0);
    static final Ink QUIET_TEXT = new Ink(0x56606b, 1.0);
    static final Ink LABEL_FILL = new Ink(0xffffff, 0.88);
    static final Ink LEADER = new Ink(0x1b1f24, 0.7);

    static final double STOP_RADIUS = 5.0;
    static final double DESTINATION_RADIUS = 2.6;
    static final double LABEL_FONT = 13.0;
    static final double SMALL_FONT = 11.0;
    static final double TITLE_FONT = 16.0;

    private final Scene scene;
    private final Projection projection;

    private RouteMap(Scene scene, Projection projection) {
        this.scene = scene;
        this.projection = projection;
    }

    /**
     * The map of a route.
     *
     * @param world every airport, drawn as faint dots
     * @param stops the route's airports in travel order, the departure first (at least one)
     * @param daysSoFar for each stop, the total days on arrival there (0 at the departure)
     * @param legend the text block shown under the map
     */
    public static RouteMap ofRoute(Collection<Place> world, List<Place> stops, List<Long> daysSoFar, Legend legend) {
        Objects.requireNonNull(world, "world");
        Objects.requireNonNull(legend, "legend");
        if (stops.isEmpty()) {
            throw new IllegalArgumentException("a route map needs at least one stop");
        }
        if (daysSoFar.size() != stops.size()) {
            throw new IllegalArgumentException("a route of " + stops.size() + " stops needs " + stops.size()
                + " day counts, not " + daysSoFar.size());
        }
        List<List<double[]>> arcs = new ArrayList<>();
        for (int i = 1; i < stops.size(); i++) {
            arcs.add(GreatCircle.arc(stops.get(i - 1), stops.get(i)));
        }
        Builder b = new Builder(world, GreatCircle.centralMeridian(arcs, stops), legend);
        List<List<double[]>> drawnLegs = new ArrayList<>();
        for (int i = 0; i < arcs.size(); i++) {
            Map<String, String> data = new LinkedHashMap<>();
            data.put("leg", Integer.toString(i));
            data.put("from", stops.get(i).code());
            data.put("to", stops.get(i + 1).code());
            for (List<double[]> piece : b.pieces(arcs.get(i))) {
                b.items.add(new Line("leg", data, piece, ROUTE, 2.2));
                drawnLegs.add(piece);
            }
        }
        List<double[]> points = new ArrayList<>();
        for (int i = 0; i < stops.size(); i++) {
            Place p = stops.get(i);
            double[] xy = b.projection.pixel(p);
            points.add(xy);
            Map<String, String> data = new LinkedHashMap<>();
            data.put("stop", Integer.toString(i));
            data.put("code", p.code());
            b.items.add(new Disc("stop", data, xy[0], xy[1], STOP_RADIUS, ROUTE, RING, 1.5));
        }
        LabelPlacer placer = b.placer();
        for (double[] xy : points) {
            placer.block(markerBox(xy, STOP_RADIUS));
        }
        for (List<double[]> piece : drawnLegs) {
            placer.avoid(piece);
        }
        List<Item> labels = new ArrayList<>();
        List<Item> leaders = new ArrayList<>();
        for (int i = 0; i < stops.size(); i++) {
            long days = daysSoFar.get(i);
            String text = stops.get(i).code() + " \u00b7 " + days + (days == 1 ? " day" : " days");
            Map<String, String> data = new LinkedHashMap<>();
            data.put("stop", Integer.toString(i));
            data.put("code", stops.get(i).code());
            b.label(placer, labels, leaders, data, points.get(i), STOP_RADIUS, text, LABEL_FONT, true);
        }
        b.items.addAll(leaders);
        b.items.addAll(labels);
        return b.finish("Route " + stops.get(0).code() + " to " + stops.get(stops.size() - 1).code());
    }

    /**
     * The map of an airport's flights: one spoke from the airport to each destination.
     *
     * @param world every airport, drawn as faint dots
     * @param airport the airport at the hub of the spokes
     * @param destinations the airports its flights reach (repeats are drawn once)
     * @param legend the text block shown under the map
     */
    public static RouteMap ofAirport(Collection<Place> world, Place airport, List<Place> destinations, Legend legend) {
        Objects.requireNonNull(world, "world");
        Objects.requireNonNull(airport, "airport");
        Objects.requireNonNull(legend, "legend");
        List<Place> targets = new ArrayList<>(new LinkedHashSet<>(destinations));
        targets.remove(airport);
        // Far destinations first: their labels have the most room.
        targets.sort((p, q) -> Double.compare(angle(airport, q), angle(airport, p)));
        List<List<double[]>> arcs = new ArrayList<>();
        for (Place p : targets) {
            arcs.add(GreatCircle.arc(airport, p));
        }
        List<Place> all = new ArrayList<>(targets);
        all.add(airport);
        Builder b = new Builder(world, GreatCircle.centralMeridian(arcs, all), legend);
        for (int i = 0; i < arcs.size(); i++) {
            Map<String, String> data = new LinkedHashMap<>();
            data.put("from", airport.code());
            data.put("to", targets.get(i).code());
            for (List<double[]> piece : b.pieces(arcs.get(i))) {
                b.items.add(new Line("spoke", data, piece, SPOKE, 1.1));
            }
        }
        LabelPlacer placer = b.placer();
        List<double[]> points = new ArrayList<>();
        for (Place p : targets) {
            double[] xy = b.projection.pixel(p);
            points.add(xy);
            b.items.add(new Disc("destination", Map.of("code", p.code()), xy[0], xy[1], DESTINATION_RADIUS, ROUTE,
                RING, 0.8));
            placer.block(markerBox(xy, DESTINATION_RADIUS));
        }
        double[] hub = b.projection.pixel(airport);
        b.items.add(new Disc("stop", Map.of("code", airport.code()), hub[0], hub[1], STOP_RADIUS + 1, ROUTE, RING,
            1.5));
        placer.block(markerBox(hub, STOP_RADIUS + 1));
        List<Item> labels = new ArrayList<>();
        List<Item> leaders = new ArrayList<>();
        b.label(placer, labels, leaders, Map.of("code", airport.code()), hub, STOP_RADIUS + 1, airport.code(),
            LABEL_FONT, true);
        for (int i = 0; i < targets.size(); i++) {
            b.label(placer, labels, leaders, Map.of("code", targets.get(i).code()), points.get(i),
                DESTINATION_RADIUS, targets.get(i).code(), SMALL_FONT, false);
        }
        b.items.addAll(leaders);
        b.items.addAll(labels);
        return b.finish("Flights of " + airport.code());
    }

    /**
     * Writes the map; the format follows the file name's ending: ".svg" or ".png" (any case). The
     * file appears complete or not at all: what was there before stays untouched when writing
     * fails (see {@link MapFile#replace}).
     *
     * @throws IllegalArgumentException when the name ends otherwise
     * @throws IOException with a message that names the file and says why it could not be written
     */
    public void write(Path file) throws IOException {
        String format = formatOf(file);
        byte[] bytes;
        if ("svg".equals(format)) {
            bytes = SvgWriter.render(scene).getBytes(StandardCharsets.UTF_8);
        } else if ("png".equals(format)) {
            bytes = PngWriter.encode(scene);
        } else {
            throw new IllegalArgumentException("the map file '" + file + "' must end in .svg or .png");
        }
        MapFile.replace(file, bytes);
    }

    /**
     * The format a map file's name asks for.
     *
     * @return "svg" or "png" for a name ending so (any case), else null
     */
    public static String formatOf(Path file) {
        Path name = file.getFileName();
        String lower = name == null ? "" : name.toString().toLowerCase(Locale.ROOT);
        if (lower.endsWith(".svg")) return "svg";
        if (lower.endsWith(".png")) return "png";
        return null;
    }

    Scene scene() {
        return scene;
    }

    Projection projection() {
        return projection;
    }

    private static Box markerBox(double[] xy, double radius) {
        return new Box(xy[0] - radius, xy[1] - radius, 2 * radius, 2 * radius);
    }

    /** Central angle between two places, for ordering by distance. */
    private static double angle(Place a, Place b) {
        double p1 = Math.toRadians(a.latitude());
        double p2 = Math.toRadians(b.latitude());
        double dl = Math.toRadians(b.longitude() - a.longitude());
        double c = Math.sin(p1) * Math.sin(p2) + Math.cos(p1) * Math.cos(p2) * Math.cos(dl);
        return Math.acos(Math.max(-1.0, Math.min(1.0, c)));
    }

    /** The parts every map shares: canvas, projection, background, airports and legend. */
    private static final class Builder {
        final Projection projection;
        final List<Item> items = new ArrayList<>();
        final Legend legend;
        final double mapBottom;
        final double legendTop;
        final int height;
        final int airportCount;

        Builder(Collection<Place> world, double centralMeridian, Legend legend) {
            this.legend = legend;
            double scale = (WIDTH - 2 * MARGIN) / (2 * Projection.HALF_WIDTH);
            double mapHeight = 2 * Projection.HALF_HEIGHT * scale;
            projection = new Projection(centralMeridian, scale, WIDTH / 2.0, MARGIN + mapHeight / 2);
            mapBottom = MARGIN + mapHeight;
            legendTop = mapBottom + MARGIN;
            double legendHeight = 8 + Label.height(TITLE_FONT) + legend.lines().size() * Label.height(LABEL_FONT) + 8;
            height = (int) Math.ceil(legendTop + legendHeight);
            items.add(new Scene.Area("background", List.of(new double[] {0, 0}, new double[] {WIDTH, 0},
                new double[] {WIDTH, height}, new double[] {0, height}), BACKGROUND, null, 0));
            items.add(new Scene.Area("ocean", outline(), OCEAN, OUTLINE, 1.0));
            graticule();
            double[] xy = new double[2 * world.size()];
            int n = 0;
            for (Place p : world) {
                double[] q = projection.pixel(p);
                xy[n++] = q[0];
                xy[n++] = q[1];
            }
            airportCount = world.size();
            items.add(new Scene.Dots("airports", xy, 1.1, AIRPORT));
        }

        /** Where labels may go: the map and its margins, above the legend. */
        LabelPlacer placer() {
            return new LabelPlacer(new Box(2, 2, WIDTH - 4, legendTop - 4));
        }

        /** An arc in pixels, cut into pieces where it crosses the map's edge meridian. */
        List<List<double[]>> pieces(List<double[]> arc) {
            List<List<double[]>> pieces = new ArrayList<>();
            List<double[]> current = new ArrayList<>();
            double[] first = arc.get(0);
            double previous = projection.relativeLongitude(first[1]);
            double previousLat = first[0];
            current.add(new double[] {projection.x(first[0], previous), projection.y(first[0])});
            for (int i = 1; i < arc.size(); i++) {
                double lat = arc.get(i)[0];
                double lon = projection.relativeLongitude(arc.get(i)[1]);
                if (Math.abs(lon - previous) > 180.0) {
                    // Crossing the edge: end on one side, start again on the other at the same
                    // latitude, interpolated where the unwrapped longitude reaches the edge.
                    double edge = previous > 0 ? 180.0 : -180.0;
                    double unwrapped = lon + (previous > 0 ? 360.0 : -360.0);
                    double t = (edge - previous) / (unwrapped - previous);
                    double crossLat = previousLat + t * (lat - previousLat);
                    current.add(new double[] {projection.x(crossLat, edge), projection.y(crossLat)});
                    pieces.add(current);
                    current = new ArrayList<>();
                    current.add(new double[] {projection.x(crossLat, -edge), projection.y(crossLat)});
                }
                current.add(new double[] {projection.x(lat, lon), projection.y(lat)});
                previous = lon;
                previousLat = lat;
            }
            pieces.add(current);
            return pieces;
        }

        /** Places a label for a point and adds it (and its leader line when detached). */
        void label(LabelPlacer placer, List<Item> labels, List<Item> leaders, Map<String, String> data, double[] xy,
            double gap, String text, double font, boolean required) {
            double w = Label.width(text, font);
            double h = Label.height(font);
            Box box = placer.place(xy[0], xy[1], gap, w, h, required);
            if (box == null) {
                return;
            }
            if (LabelPlacer.detached(box, xy[0], xy[1], gap)) {
                double nx = Math.max(box.x(), Math.min(xy[0], box.x() + box.w()));
                double ny = Math.max(box.y(), Math.min(xy[1], box.y() + box.h()));
                leaders.add(new Line("leader", data, List.of(xy, new double[] {nx, ny}), LEADER, 0.8));
            }
            labels.add(new Label("label", data, box, text, font, required, TEXT, required ? LABEL_FILL : null,
                required ? ROUTE : null));
        }

        RouteMap finish(String title) {
            double y = legendTop + 8;
            double th = Label.height(TITLE_FONT);
            items.add(new Label("legend-title", Map.of(), new Box(MARGIN, y, Label.width(legend.title(), TITLE_FONT), th),
                legend.title(), TITLE_FONT, true, TEXT, null, null));
            String key = String.format(Locale.ROOT, "grey dots: the %,d airports of the data", airportCount)
                + " \u00b7 red: great-circle arcs";
            double kw = Label.width(key, SMALL_FONT);
            items.add(new Label("legend-key", Map.of(), new Box(WIDTH - MARGIN - kw, y, kw, th), key, SMALL_FONT,
                false, QUIET_TEXT, null, null));
            y += th;
            double lh = Label.height(LABEL_FONT);
            for (String line : legend.lines()) {
                items.add(new Label("legend", Map.of(), new Box(MARGIN, y, Label.width(line, LABEL_FONT), lh), line,
                    LABEL_FONT, false, TEXT, null, null));
                y += lh;
            }
            return new RouteMap(new Scene(WIDTH, height, title, items), projection);
        }

        /** The world's outline: the edge meridians from pole to pole. */
        private List<double[]> outline() {
            List<double[]> points = new ArrayList<>();
            for (int lat = -90; lat <= 90; lat++) {
                points.add(new double[] {projection.x(lat, 180.0), projection.y(lat)});
            }
            for (int lat = 90; lat >= -90; lat--) {
                points.add(new double[] {projection.x(lat, -180.0), projection.y(lat)});
            }
            return points;
        }

        /** Parallels every 30 degrees and the meridians at multiples of 30 degrees of longitude. */
        private void graticule() {
            for (int lat = -60; lat <= 60; lat += 30) {
                List<double[]> line = new ArrayList<>();
                for (int lon = -180; lon <= 180; lon += 2) {
                    line.add(new double[] {projection.x(lat, lon), projection.y(lat)});
                }
                items.add(new Line("graticule", Map.of(), line, GRATICULE, 0.7));
            }
            for (int meridian = -180; meridian < 180; meridian += 30) {
                double rel = projection.relativeLongitude(meridian);
                if (Math.abs(Math.abs(rel) - 180.0) < 1e-9) {
                    continue;
                }
                List<double[]> line = new ArrayList<>();
                for (int lat = -90; lat <= 90; lat += 2) {
                    line.add(new double[] {projection.x(lat, rel), projection.y(lat)});
                }
                items.add(new Line("graticule", Map.of(), line, GRATICULE, 0.7));
            }
        }
    }
}
