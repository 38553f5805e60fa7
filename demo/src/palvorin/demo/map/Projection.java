package palvorin.demo.map;

/**
 * The Natural Earth pseudo-cylindrical projection around a chosen central meridian, scaled to
 * pixels. Its two polynomials give a world of rounded outline and flat poles; every point of the
 * map (airport dots, arc points, markers) goes through {@link #x} and {@link #y}, so an arc that
 * starts at an airport's coordinates starts exactly on its marker.
 */
final class Projection {
    /** Half the projected width (at the equator) and half the height (pole to pole), unscaled. */
    static final double HALF_WIDTH = projectX(Math.PI, 0.0);
    static final double HALF_HEIGHT = projectY(Math.PI / 2);

    private final double centralMeridian;
    private final double scale;
    private final double originX;
    private final double originY;

    /**
     * @param centralMeridian longitude in degrees drawn at the map's vertical middle
     * @param scale pixels per unit of the unscaled projection
     * @param originX pixel of the central meridian
     * @param originY pixel of the equator
     */
    Projection(double centralMeridian, double scale, double originX, double originY) {
        this.centralMeridian = centralMeridian;
        this.scale = scale;
        this.originX = originX;
        this.originY = originY;
    }

    double centralMeridian() {
        return centralMeridian;
    }

    /** Longitude relative to the central meridian, in [-180, 180). */
    double relativeLongitude(double longitude) {
        return wrap(longitude - centralMeridian);
    }

    /** Pixel column of a point given by latitude and relative longitude, both in degrees. */
    double x(double latitude, double relativeLongitude) {
        return originX + scale * projectX(Math.toRadians(relativeLongitude), Math.toRadians(latitude));
    }

    /** Pixel row of a latitude in degrees (north up). */
    double y(double latitude) {
        return originY - scale * projectY(Math.toRadians(latitude));
    }

    /** Pixel position of a place. */
    double[] pixel(Place p) {
        return new double[] {x(p.latitude(), relativeLongitude(p.longitude())), y(p.latitude())};
    }

    /** Wraps a longitude difference in degrees into [-180, 180). */
    static double wrap(double degrees) {
        double d = (degrees + 180.0) % 360.0;
        if (d < 0) {
            d += 360.0;
        }
        return d - 180.0;
    }

    private static double projectX(double lambda, double phi) {
        double p2 = phi * phi;
        double p4 = p2 * p2;
        return lambda * (0.8707 - 0.131979 * p2 + p4 * (-0.013791 + p4 * p2 * (0.003971 - 0.001529 * p2)));
    }

    private static double projectY(double phi) {
        double p2 = phi * phi;
        double p4 = p2 * p2;
        return phi * (1.007226 + 0.015085 * p2 + p4 * (-0.044475 * p2 + p4 * (0.028874 - 0.005916 * p2)));
    }
}
