package palvorin.demo.map;

import java.awt.AlphaComposite;
import java.awt.BasicStroke;
import java.awt.Color;
import java.awt.Font;
import java.awt.FontMetrics;
import java.awt.Graphics2D;
import java.awt.RenderingHints;
import java.awt.geom.Ellipse2D;
import java.awt.geom.Path2D;
import java.awt.geom.RoundRectangle2D;
import java.awt.image.BufferedImage;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.util.List;
import javax.imageio.ImageIO;
import palvorin.demo.map.Scene.Area;
import palvorin.demo.map.Scene.Disc;
import palvorin.demo.map.Scene.Dots;
import palvorin.demo.map.Scene.Ink;
import palvorin.demo.map.Scene.Item;
import palvorin.demo.map.Scene.Label;
import palvorin.demo.map.Scene.Line;

/** Draws a scene with Java2D into an antialiased image, without a display, and writes it as PNG. */
final class PngWriter {
    private PngWriter() {
    }

    /** The scene as the bytes of a PNG file, encoded in memory. */
    static byte[] encode(Scene scene) throws IOException {
        BufferedImage image = render(scene);
        // The image writer's cache lives in memory, not in java.io.tmpdir: a full or missing
        // temporary folder cannot fail a map, and no cache file is left to close at exit.
        ImageIO.setUseCache(false);
        ByteArrayOutputStream out = new ByteArrayOutputStream(1 << 20);
        if (!ImageIO.write(image, "png", out)) {
            throw new IOException("this Java runtime cannot write PNG files");
        }
        return out.toByteArray();
    }

    static BufferedImage render(Scene scene) {
        // Drawing into an image needs no display; say so before the first AWT class loads.
        if (System.getProperty("java.awt.headless") == null) {
            System.setProperty("java.awt.headless", "true");
        }
        BufferedImage image = new BufferedImage(scene.width(), scene.height(), BufferedImage.TYPE_INT_RGB);
        Graphics2D g = image.createGraphics();
        try {
            g.setRenderingHint(RenderingHints.KEY_ANTIALIASING, RenderingHints.VALUE_ANTIALIAS_ON);
            g.setRenderingHint(RenderingHints.KEY_TEXT_ANTIALIASING, RenderingHints.VALUE_TEXT_ANTIALIAS_ON);
            g.setRenderingHint(RenderingHints.KEY_STROKE_CONTROL, RenderingHints.VALUE_STROKE_PURE);
            g.setRenderingHint(RenderingHints.KEY_FRACTIONALMETRICS, RenderingHints.VALUE_FRACTIONALMETRICS_ON);
            g.setRenderingHint(RenderingHints.KEY_RENDERING, RenderingHints.VALUE_RENDER_QUALITY);
            for (Item item : scene.items()) {
                draw(g, item);
            }
        } finally {
            g.dispose();
        }
        return image;
    }

    private static void draw(Graphics2D g, Item item) {
        if (item instanceof Area a) {
            Path2D path = path(a.points());
            path.closePath();
            if (a.fill() != null) {
                paint(g, a.fill());
                g.fill(path);
            }
            if (a.stroke() != null) {
                paint(g, a.stroke());
                g.setStroke(new BasicStroke((float) a.strokeWidth(), BasicStroke.CAP_ROUND, BasicStroke.JOIN_ROUND));
                g.draw(path);
            }
        } else if (item instanceof Line l) {
            paint(g, l.stroke());
            g.setStroke(new BasicStroke((float) l.strokeWidth(), BasicStroke.CAP_ROUND, BasicStroke.JOIN_ROUND));
            g.draw(path(l.points()));
        } else if (item instanceof Dots d) {
            paint(g, d.fill());
            double r = d.radius();
            double[] xy = d.xy();
            // One shape for all dots: one fill call is several times faster than thousands.
            Path2D.Double all = new Path2D.Double(Path2D.WIND_NON_ZERO, 5 * xy.length);
            Ellipse2D.Double dot = new Ellipse2D.Double();
            for (int i = 0; i < xy.length; i += 2) {
                dot.setFrame(xy[i] - r, xy[i + 1] - r, 2 * r, 2 * r);
                all.append(dot, false);
            }
            g.fill(all);
        } else if (item instanceof Disc c) {
            Ellipse2D.Double disc = new Ellipse2D.Double(c.x() - c.radius(), c.y() - c.radius(), 2 * c.radius(),
                2 * c.radius());
            paint(g, c.fill());
            g.fill(disc);
            if (c.stroke() != null) {
                paint(g, c.stroke());
                g.setStroke(new BasicStroke((float) c.strokeWidth()));
                g.draw(disc);
            }
        } else if (item instanceof Label t) {
            RoundRectangle2D box = new RoundRectangle2D.Double(t.box().x(), t.box().y(), t.box().w(), t.box().h(), 6, 6);
            if (t.fill() != null) {
                paint(g, t.fill());
                g.fill(box);
            }
            if (t.stroke() != null) {
                paint(g, t.stroke());
                g.setStroke(new BasicStroke(1.0f));
                g.draw(box);
            }
            Font font = new Font(Font.MONOSPACED, t.bold() ? Font.BOLD : Font.PLAIN, 1).deriveFont((float) t.fontSize());
            FontMetrics metrics = g.getFontMetrics(font);
            double room = t.box().w() - 2 * Label.PADDING;
            double wide = metrics.getStringBounds(t.text(), g).getWidth();
            if (wide > room) {
                // Keep the text inside its box when the face is wider than the layout assumed.
                font = font.deriveFont((float) (t.fontSize() * room / wide));
            }
            paint(g, t.ink());
            g.setFont(font);
            g.drawString(t.text(), (float) (t.box().x() + Label.PADDING), (float) t.baseline());
        }
    }

    private static Path2D path(List<double[]> points) {
        Path2D.Double path = new Path2D.Double(Path2D.WIND_NON_ZERO, points.size());
        boolean first = true;
        for (double[] p : points) {
            if (first) {
                path.moveTo(p[0], p[1]);
                first = false;
            } else {
                path.lineTo(p[0], p[1]);
            }
        }
        return path;
    }

    private static void paint(Graphics2D g, Ink ink) {
        g.setComposite(AlphaComposite.getInstance(AlphaComposite.SRC_OVER, (float) ink.opacity()));
        g.setColor(new Color(ink.rgb()));
    }
}
