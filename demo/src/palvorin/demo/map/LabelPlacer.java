package palvorin.demo.map;

import java.util.ArrayList;
import java.util.List;
import palvorin.demo.map.Scene.Box;

/**
 * Puts labels next to their points so that no two overlap, none covers a marker and all stay
 * in the allowed area. Candidate positions are tried on rings of growing distance around the
 * point; on a ring the one crossing the fewest drawn lines wins. A label that finds no free place
 * at all goes where it overlaps least.
 */
final class LabelPlacer {
    /** Directions of the first ring, in order of preference: right, left, the diagonals, above, below. */
    private static final double[] NEAR_ANGLES = {0, 180, -35, 35, -145, 145, -90, 90};
    private static final int FAR_ANGLES = 24;
    private static final double RING_STEP = 14.0;

    private final Box area;
    private final List<Box> taken = new ArrayList<>();
    private final List<double[]> segments = new ArrayList<>();

    LabelPlacer(Box area) {
        this.area = area;
    }

    /** Something no label may cover (a marker, a placed label). */
    void block(Box box) {
        taken.add(box);
    }

    /** A drawn line that labels should rather not cover. */
    void avoid(List<double[]> polyline) {
        for (int i = 1; i < polyline.size(); i++) {
            double[] a = polyline.get(i - 1);
            double[] b = polyline.get(i);
            segments.add(new double[] {a[0], a[1], b[0], b[1]});
        }
    }

    /**
     * Places a w x h label for the point (px, py) whose marker has radius {@code gap}, and blocks
     * its box for later labels.
     *
     * @param far whether the label may move away from the point (then it needs a leader line);
     *     when false and no near place is free, null is returned
     */
    Box place(double px, double py, double gap, double w, double h, boolean far) {
        Box best = null;
        double bestScore = Double.MAX_VALUE;
        int bestRing = -1;
        int maxRing = far ? (int) Math.ceil(Math.hypot(area.w(), area.h()) / RING_STEP) : 0;
        for (int ring = 0; ring <= maxRing; ring++) {
            if (bestRing >= 0 && ring > bestRing + 1) {
                break;
            }
            double radius = gap + 3 + ring * RING_STEP;
            int count = ring == 0 ? NEAR_ANGLES.length : FAR_ANGLES;
            for (int i = 0; i < count; i++) {
                double angle = Math.toRadians(ring == 0 ? NEAR_ANGLES[i] : 360.0 * i / FAR_ANGLES);
                Box box = around(px, py, radius, angle, w, h);
                if (!box.inside(area) || collides(box)) {
                    continue;
                }
                double score = ring + 1.5 * crossings(box) + 0.01 * i;
                if (score < bestScore) {
                    bestScore = score;
                    best = box;
                    bestRing = ring;
                }
            }
        }
        if (best == null && far) {
            best = leastOverlapping(px, py, gap, w, h);
        }
        if (best != null) {
            taken.add(best);
        }
        return best;
    }

    /** Whether a label at this box needs a line back to its point. */
    static boolean detached(Box box, double px, double py, double gap) {
        double dx = Math.max(Math.max(box.x() - px, px - (box.x() + box.w())), 0);
        double dy = Math.max(Math.max(box.y() - py, py - (box.y() + box.h())), 0);
        return Math.hypot(dx, dy) > gap + 3 + RING_STEP / 2;
    }

    /** The box whose nearest edge lies {@code radius} from the point in the given direction. */
    private static Box around(double px, double py, double radius, double angle, double w, double h) {
        double dx = Math.cos(angle);
        double dy = Math.sin(angle);
        double cx = px + dx * radius + dx * w / 2;
        double cy = py + dy * radius + dy * h / 2;
        return new Box(cx - w / 2, cy - h / 2, w, h);
    }

    private boolean collides(Box box) {
        for (Box t : taken) {
            if (t.overlaps(box)) {
                return true;
            }
        }
        return false;
    }

    private Box leastOverlapping(double px, double py, double gap, double w, double h) {
        Box best = null;
        double least = Double.MAX_VALUE;
        int maxRing = (int) Math.ceil(Math.hypot(area.w(), area.h()) / RING_STEP);
        for (int ring = 0; ring <= maxRing; ring++) {
            for (int i = 0; i < FAR_ANGLES; i++) {
                Box box = around(px, py, gap + 3 + ring * RING_STEP, 2 * Math.PI * i / FAR_ANGLES, w, h);
                if (!box.inside(area)) {
                    continue;
                }
                double overlap = 0;
                for (Box t : taken) {
                    overlap += t.overlapArea(box);
                }
                if (overlap < least) {
                    least = overlap;
                    best = box;
                }
            }
        }
        if (best == null) {
            // Larger than the whole area: pin it to the top left corner.
            best = new Box(area.x(), area.y(), w, h);
        }
        return best;
    }

    private int crossings(Box box) {
        int n = 0;
        double left = box.x();
        double right = box.x() + box.w();
        double top = box.y();
        double bottom = box.y() + box.h();
        for (double[] s : segments) {
            // Most segments lie wholly to one side of the box: four comparisons rule them out.
            if (Math.max(s[0], s[2]) < left || Math.min(s[0], s[2]) > right || Math.max(s[1], s[3]) < top
                || Math.min(s[1], s[3]) > bottom) {
                continue;
            }
            if (segmentMeetsBox(s[0], s[1], s[2], s[3], box)) {
                n++;
            }
        }
        return n;
    }

    /** Liang-Barsky clipping: whether any part of the segment lies in the box. */
    static boolean segmentMeetsBox(double x0, double y0, double x1, double y1, Box b) {
        double t0 = 0;
        double t1 = 1;
        double dx = x1 - x0;
        double dy = y1 - y0;
        double[] p = {-dx, dx, -dy, dy};
        double[] q = {x0 - b.x(), b.x() + b.w() - x0, y0 - b.y(), b.y() + b.h() - y0};
        for (int i = 0; i < 4; i++) {
            if (p[i] == 0) {
                if (q[i] < 0) {
                    return false;
                }
            } else {
                double t = q[i] / p[i];
                if (p[i] < 0) {
                    t0 = Math.max(t0, t);
                } else {
                    t1 = Math.min(t1, t);
                }
                if (t0 > t1) {
                    return false;
                }
            }
        }
        return true;
    }
}
