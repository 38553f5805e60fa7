package palvorin.demo.map;

import java.util.ArrayList;
import java.util.List;

/** Points along the shorter great-circle arc between two places, and where to cut the world. */
final class GreatCircle {
    /** Largest angle in degrees between two neighbouring points of an arc. */
    static final double STEP_DEGREES = 1.0;

    private GreatCircle() {
    }

    /**
     * Points (latitude, longitude in degrees) from {@code a} to {@code b} along the shorter great
     * circle, at most {@link #STEP_DEGREES} apart. The first and last points are the places' own
     * coordinates, not recomputed ones, so the arc ends exactly where the places are drawn.
     */
    static List<double[]> arc(Place a, Place b) {
        double[] u = unit(a.latitude(), a.longitude());
        double[] v = unit(b.latitude(), b.longitude());
        double dot = Math.max(-1.0, Math.min(1.0, u[0] * v[0] + u[1] * v[1] + u[2] * v[2]));
        double angle = Math.acos(dot);
        int steps = Math.max(1, (int) Math.ceil(Math.toDegrees(angle) / STEP_DEGREES));
        List<double[]> points = new ArrayList<>(steps + 1);
        points.add(new double[] {a.latitude(), a.longitude()});
        if (Math.sin(angle) > 1e-9) {
            // Spherical linear interpolation between the two unit vectors.
            for (int i = 1; i < steps; i++) {
                double t = (double) i / steps;
                double s = Math.sin((1 - t) * angle) / Math.sin(angle);
                double r = Math.sin(t * angle) / Math.sin(angle);
                points.add(toLatLon(s * u[0] + r * v[0], s * u[1] + r * v[1], s * u[2] + r * v[2]));
            }
        } else if (dot < 0) {
            // Antipodes: every great circle through both is as short; take the one over the
            // pole nearer to the first place.
            double[] pole = unit(a.latitude() >= 0 ? 90.0 : -90.0, 0.0);
            double[] w = cross(cross(u, pole), u);
            double norm = Math.sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
            if (norm < 1e-12) {
                w = unit(0.0, a.longitude());
                norm = 1.0;
            }
            for (int i = 1; i < steps; i++) {
                double t = Math.PI * i / steps;
                points.add(toLatLon(Math.cos(t) * u[0] + Math.sin(t) * w[0] / norm,
                    Math.cos(t) * u[1] + Math.sin(t) * w[1] / norm,
                    Math.cos(t) * u[2] + Math.sin(t) * w[2] / norm));
            }
        }
        points.add(new double[] {b.latitude(), b.longitude()});
        return points;
    }

    /**
     * The central meridian that cuts the fewest of the given arcs: the world is cut (at the
     * central meridian + 180) in the middle of the widest band of longitudes crossed by the fewest
     * arc segments and holding no place. The usual map, centred on Greenwich, is kept when its cut
     * lies well inside such a band.
     */
    static double centralMeridian(List<List<double[]>> arcs, List<Place> places) {
        int[] crossings = new int[360];
        for (List<double[]> arc : arcs) {
            for (int i = 1; i < arc.size(); i++) {
                markInterval(crossings, arc.get(i - 1)[1], arc.get(i)[1]);
            }
        }
        for (Place p : places) {
            markInterval(crossings, p.longitude(), p.longitude());
        }
        int least = Integer.MAX_VALUE;
        for (int c : crossings) {
            least = Math.min(least, c);
        }
        // Bin k covers longitudes [k - 180, k - 179). Keep Greenwich when the 20 degrees around
        // the antimeridian are as free as anything.
        boolean antimeridianFree = true;
        for (int k = 350; k < 370; k++) {
            antimeridianFree &= crossings[k % 360] == least;
        }
        if (antimeridianFree) {
            return 0.0;
        }
        // The longest circular run of least-crossed bins.
        int bestStart = 0;
        int bestLength = 0;
        for (int start = 0; start < 360; start++) {
            if (crossings[start] != least || crossings[(start + 359) % 360] == least) {
                continue;
            }
            int length = 0;
            while (length < 360 && crossings[(start + length) % 360] == least) {
                length++;
            }
            if (length > bestLength) {
                bestLength = length;
                bestStart = start;
            }
        }
        if (bestLength == 0) {
            // Every bin holds the least count: a full circle; keep Greenwich.
            return 0.0;
        }
        double cut = bestStart - 180 + bestLength / 2.0;
        // A round central meridian when rounding keeps the cut inside the run.
        double rounded = Math.round(cut / 5.0) * 5.0;
        if (rounded >= bestStart - 180 + 1 && rounded <= bestStart - 180 + bestLength - 1) {
            cut = rounded;
        }
        return Projection.wrap(cut + 180.0);
    }

    /** Adds one to every one-degree bin that the shorter longitude interval [a, b] touches. */
    private static void markInterval(int[] bins, double a, double b) {
        double delta = Projection.wrap(b - a);
        double from = delta >= 0 ? a : a + delta;
        double span = Math.abs(delta);
        int first = (int) Math.floor(from + 180.0);
        int last = (int) Math.floor(from + span + 180.0);
        for (int k = first; k <= last; k++) {
            bins[Math.floorMod(k, 360)]++;
        }
    }

    private static double[] unit(double latitude, double longitude) {
        double phi = Math.toRadians(latitude);
        double lambda = Math.toRadians(longitude);
        return new double[] {Math.cos(phi) * Math.cos(lambda), Math.cos(phi) * Math.sin(lambda), Math.sin(phi)};
    }

    private static double[] cross(double[] a, double[] b) {
        return new double[] {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    }

    private static double[] toLatLon(double x, double y, double z) {
        double norm = Math.sqrt(x * x + y * y + z * z);
        return new double[] {Math.toDegrees(Math.asin(Math.max(-1.0, Math.min(1.0, z / norm)))),
            Math.toDegrees(Math.atan2(y, x))};
    }
}
