package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.io.IOException;
import java.lang.ref.WeakReference;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Optional;
import org.junit.jupiter.api.Test;

/**
 * Loads the library again and again, each time through the classes of tavrik.jar in a class
 * loader of its own, fills its network, drops the loader and waits until the JVM has unloaded
 * the library with it. Every load must start from an empty network, and the process's resident
 * memory must not grow by a network per cycle (system property {@code tavrik.unload.measure}).
 *
 * <p>Runs in a JVM of its own with tavrik.jar off the class path (its path comes in the system
 * property {@code tavrik.jar}), so that no class of the application class loader holds the
 * library.
 */
class UnloadTest extends JniCheckedTest {
    private static final int CYCLES = Integer.getInteger("tavrik.unload.cycles", 10);
    private static final int FLIGHTS = Integer.getInteger("tavrik.unload.flights", 50_000);
    /**
     * Off in the sanitizer build, whose allocator keeps freed memory in quarantine, so that
     * resident memory grows whatever the library frees.
     */
    private static final boolean MEASURE = Boolean.parseBoolean(System.getProperty("tavrik.unload.measure", "true"));
    private static final int AIRPORTS = 1_000;
    private static final long WAIT_MILLIS = 20_000;

    @Test
    void everyLoadStartsEmptyAndAnUnloadFreesTheNetwork() throws Exception {
        URL jar = Path.of(System.getProperty("tavrik.jar")).toUri().toURL();
        long[] rssAtLoad = new long[CYCLES];
        long networkBytes = 0;
        for (int cycle = 0; cycle < CYCLES; cycle++) {
            long[] figures = new long[2];
            WeakReference<ClassLoader> loader = fillOnce(jar, figures);
            rssAtLoad[cycle] = figures[0];
            if (cycle == 0) {
                networkBytes = figures[1] - figures[0];
            }
            awaitUnloaded(loader);
        }
        StringBuilder figures = new StringBuilder();
        for (long rss : rssAtLoad) {
            figures.append(' ').append(rss / 1024).append(" KiB");
        }
        System.out.println("one network: " + networkBytes / 1024 + " KiB; resident at each load:" + figures);
        if (!MEASURE) {
            return;
        }
        assertTrue(networkBytes > 4L << 20, "a network should take several MiB: " + networkBytes);
        // A leaked network per cycle would add (CYCLES - 2) networks between the second load and
        // the last; the first cycle warms up the JVM and the allocator.
        long growth = rssAtLoad[CYCLES - 1] - rssAtLoad[1];
        assertTrue(growth < networkBytes, "resident memory grew by " + growth / 1024 + " KiB over "
                + (CYCLES - 2) + " cycles; one network takes " + networkBytes / 1024 + " KiB");
    }

    /**
     * Loads the library through a new class loader, checks that its network is empty, fills it
     * and fits and books routes; figures gets the resident size right after the load and after
     * filling. Returns the loader, weakly held, once nothing else refers to it.
     */
    private static WeakReference<ClassLoader> fillOnce(URL jar, long[] figures) throws Exception {
        URLClassLoader loader = loadInNewLoader(jar);
        try {
            figures[0] = residentBytes();
            Class<?> editing = Class.forName("palvorin.nativ_ManegingFlight", true, loader);
            Method addAirport = editing.getMethod("addAirport", int.class, String.class);
            Method addFlight = editing.getMethod("addFlight", String.class, int.class, int.class, int.class, int.class);
            Class<?> fitting = Class.forName("palvorin.aggregateFiting", true, loader);
            Object fiting = fitting.getConstructor().newInstance();
            assertEquals(-4, fitting.getMethod("armoringTickets").invoke(fiting), "a ticket list survived the unload");
            for (int a = 1; a <= AIRPORTS; a++) {
                assertEquals(0, addAirport.invoke(null, a, "airport number " + a), "an airport survived the unload");
            }
            for (int f = 1; f <= FLIGHTS; f++) {
                int from = 1 + f % AIRPORTS;
                int to = 1 + (f / AIRPORTS + from) % AIRPORTS;
                if (to == from) {
                    to = 1 + to % AIRPORTS;
                }
                assertEquals(0, addFlight.invoke(null, "flight number " + f, f, 1 + f % 7, from, to));
            }
            assertEquals(0, fitting.getMethod("getRouteFlight", int.class, int.class, int.class)
                    .invoke(fiting, Integer.MAX_VALUE, 1, AIRPORTS / 2));
            assertEquals(0, fitting.getMethod("armoringTickets").invoke(fiting));
            Class<?> routes = Class.forName("tavrik.Routes", true, loader);
            Optional<?> route = (Optional<?>) routes.getMethod("fitAndBook", int.class, int.class, int.class)
                    .invoke(null, Integer.MAX_VALUE, 2, AIRPORTS - 1);
            assertTrue(route.isPresent());
            figures[1] = residentBytes();
        } finally {
            loader.close();
        }
        return new WeakReference<>(loader);
    }

    /**
     * A new loader of tavrik.jar's classes whose first class has loaded the library file from
     * java.library.path: the same file each cycle, not a copy of its own (which the loader would
     * take while another loader still held the library).
     */
    private static URLClassLoader loadInNewLoader(URL jar) throws Exception {
        URLClassLoader loader = new URLClassLoader(new URL[] {jar}, ClassLoader.getPlatformClassLoader());
        Object from = Class.forName("tavrik.NativeLibrary", true, loader).getMethod("loadedFrom").invoke(null);
        assertEquals("java.library.path", from, "the library was not loaded from java.library.path");
        return loader;
    }

    /**
     * Waits until the loader has been collected and the JVM has unmapped the library with it
     * (the JVM unloads a library some time after its loader is collected).
     */
    private static void awaitUnloaded(WeakReference<ClassLoader> loader) throws Exception {
        awaitCollected(loader);
        long deadline = System.currentTimeMillis() + WAIT_MILLIS;
        while (Files.readAllLines(Path.of("/proc/self/maps")).stream().anyMatch(line -> line.endsWith("/libtavrik.so"))) {
            if (System.currentTimeMillis() > deadline) {
                fail("libtavrik.so is still mapped after its class loader was collected");
            }
            System.gc();
            Thread.sleep(20);
        }
    }

    private static void awaitCollected(WeakReference<ClassLoader> loader) throws InterruptedException {
        long deadline = System.currentTimeMillis() + WAIT_MILLIS;
        while (loader.get() != null) {
            if (System.currentTimeMillis() > deadline) {
                fail("the class loader was never collected");
            }
            System.gc();
            Thread.sleep(20);
        }
    }

    private static long residentBytes() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) {
                return Long.parseLong(line.replaceAll("[^0-9]", "")) * 1024;
            }
        }
        throw new IOException("no VmRSS in /proc/self/status");
    }
}
