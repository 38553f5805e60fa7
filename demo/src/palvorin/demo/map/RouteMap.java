package palvorin.demo.map;

import java.io.IOException;
import java.nio.file.Path;
import java.util.Collection;
import java.util.List;

/**
 * A world map of a route or of an airport's flights, written as SVG or PNG. Every airport of the
 * world is drawn as a faint dot; the route's legs (or the airport's spokes) as great-circle arcs.
 */
public final class RouteMap {
    private RouteMap() {
    }

    /**
     * The map of a route.
     *
     * @param world every airport, drawn as faint dots
     * @param stops the route's airports in travel order, the departure first (at least one)
     * @param daysSoFar for each stop, the total days on arrival there (0 at the departure)
     * @param legend the text block shown in a corner
     */
    public static RouteMap ofRoute(Collection<Place> world, List<Place> stops, List<Long> daysSoFar, Legend legend) {
        throw new UnsupportedOperationException("route maps are not drawn yet");
    }

    /**
     * The map of an airport's flights: one spoke from the airport to each destination.
     *
     * @param world every airport, drawn as faint dots
     * @param airport the airport at the hub of the spokes
     * @param destinations the airports its flights reach
     * @param legend the text block shown in a corner
     */
    public static RouteMap ofAirport(Collection<Place> world, Place airport, List<Place> destinations, Legend legend) {
        throw new UnsupportedOperationException("airport maps are not drawn yet");
    }

    /**
     * Writes the map; the format follows the file name's ending: ".svg" or ".png" (any case).
     *
     * @throws IllegalArgumentException when the name ends otherwise
     */
    public void write(Path file) throws IOException {
        throw new UnsupportedOperationException("maps are not written yet");
    }
}
