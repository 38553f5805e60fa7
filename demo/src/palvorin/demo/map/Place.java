package palvorin.demo.map;

import java.util.Objects;

/**
 * An airport as the map needs it: the code shown in labels (IATA, else ICAO), its name, and its
 * position in degrees (latitude -90..90 north positive, longitude -180..180 east positive).
 */
public record Place(String code, String name, double latitude, double longitude) {
    public Place {
        Objects.requireNonNull(code, "code");
        Objects.requireNonNull(name, "name");
        if (!(latitude >= -90.0 && latitude <= 90.0)) {
            throw new IllegalArgumentException("latitude " + latitude + " of " + code + " is outside -90..90");
        }
        if (!(longitude >= -180.0 && longitude <= 180.0)) {
            throw new IllegalArgumentException("longitude " + longitude + " of " + code + " is outside -180..180");
        }
    }
}
