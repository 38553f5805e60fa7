package tavrik.packaging;

import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import palvorin.ReportedFlight;
import palvorin.aggregateFiting;
import palvorin.nativ_ManegingFlight;
import java.util.Optional;
import tavrik.Leg;
import tavrik.NativeLibrary;
import tavrik.Route;
import tavrik.Routes;

/**
 * How a user's program meets the tavrik jar: run in a fresh JVM with only the jar and this class on
 * the class path. Exits with status 1 and a line starting with "CHECK FAILED" when a check fails.
 *
 * <pre>
 * route [jar|path|DIR] [hold]  loads the library (from the jar's copy, from java.library.path, or
 *                              from a copy extracted into DIR), builds a network, fits and books a
 *                              route; "hold" then waits to be killed
 * fail WORDS...                the first use must throw UnsatisfiedLinkError naming every WORD
 * loaders JAR [hold]           three class loaders in one JVM each get a working library and a
 *                              network of their own; "hold" then prints their copies and waits
 * cycles JAR DIR N             one class loader kept, and N more loaded and unloaded one after
 *                              the other, each extracting into DIR: after each load DIR holds at
 *                              most one copy per live class loader
 * threads                      four threads fit and book routes through tavrik.Routes at once; every
 *                              booking is counted once
 * </pre>
 */
public final class PackagingCheck {
    private PackagingCheck() {}

    public static void main(String[] args) throws Exception {
        try {
            switch (args[0]) {
                case "route" -> route(args.length > 1 ? args[1] : "jar", args.length > 2 && args[2].equals("hold"));
                case "fail" -> fail(List.of(args).subList(1, args.length));
                case "loaders" -> loaders(args[1], args.length > 2 && args[2].equals("hold"));
                case "cycles" -> cycles(args[1], Path.of(args[2]), Integer.parseInt(args[3]));
                case "threads" -> threads();
                default -> throw new IllegalArgumentException("unknown mode " + args[0]);
            }
        } catch (CheckFailed e) {
            System.out.println("CHECK FAILED: " + e.getMessage());
            System.exit(1);
        }
        System.out.println("CHECK PASSED: " + String.join(" ", args));
    }

    private static final class CheckFailed extends Exception {
        private static final long serialVersionUID = 1L;

        CheckFailed(String message) {
            super(message);
        }
    }

    private static void check(boolean condition, String message) throws CheckFailed {
        if (!condition) {
            throw new CheckFailed(message);
        }
    }

    private static void route(String expectFrom, boolean hold) throws Exception {
        // Loading goes through the first use of the classes, as in any user's program.
        int added = nativ_ManegingFlight.addAirport(1, "LHR London");
        String from = NativeLibrary.loadedFrom();
        System.out.println("loaded from: " + from + " (os.arch=" + System.getProperty("os.arch") + ")");
        String arch = System.getProperty("tavrik.expect.arch");
        if (arch != null) {
            check(System.getProperty("os.arch").toLowerCase(Locale.ROOT).equals(arch), "running on " + System.getProperty("os.arch"));
        }
        switch (expectFrom) {
            case "path" -> check(from.equals("java.library.path"), "expected the library from java.library.path");
            case "jar" -> check(from.endsWith(".so") && Path.of(from).getFileName().toString().startsWith("tavrik-"),
                    "expected an extracted copy of the jar's library");
            default -> check(Path.of(from).getParent().equals(Path.of(expectFrom).toAbsolutePath().normalize()),
                    "expected a copy extracted into " + expectFrom);
        }
        String version = System.getProperty("tavrik.expect.version");
        if (version != null) {
            Package classes = nativ_ManegingFlight.class.getPackage();
            check(version.equals(classes.getImplementationVersion()) && "tavrik".equals(classes.getImplementationTitle()),
                    "the jar's manifest says " + classes.getImplementationTitle() + " " + classes.getImplementationVersion());
        }
        check(added == nativ_ManegingFlight.OK, "addAirport(1) gave " + added);
        check(nativ_ManegingFlight.addAirport(2, "JFK New York") == 0, "addAirport(2)");
        check(nativ_ManegingFlight.addAirport(3, "SYD Sydney") == 0, "addAirport(3)");
        check(nativ_ManegingFlight.addFlight("BA LHR-JFK", 100, 3, 1, 2) == 0, "addFlight(100)");
        check(nativ_ManegingFlight.addFlight("QF JFK-SYD", 200, 8, 2, 3) == 0, "addFlight(200)");
        check(nativ_ManegingFlight.addFlight("BA LHR-SYD", 300, 9, 1, 3) == 0, "addFlight(300)");

        aggregateFiting fit = new aggregateFiting();
        int code = fit.getRouteFlight(20, 1, 3);
        check(code == aggregateFiting.OK, "getRouteFlight(20, 1, 3) gave " + code);
        check(fit.armoringTickets() == aggregateFiting.OK, "armoringTickets");
        fit.setData();
        List<Integer> flights = new ArrayList<>();
        for (ReportedFlight f : fit.flights()) {
            flights.add(f.flight());
            check(f.booked() == 1, "flight entry not booked once: " + f);
        }
        check(flights.equals(List.of(300, 300)), "route 1->3 should be the direct 9-day flight: " + flights);
        check(fit.getRouteFlight(8, 1, 3) == aggregateFiting.OVER_DAY_LIMIT, "limit of 8 days");

        if (hold) {
            System.out.println("holding " + from);
            System.out.flush();
            // Until the test kills it: longer than the test may run.
            Thread.sleep(600_000);
        }
    }

    private static void fail(List<String> words) throws CheckFailed {
        Throwable error = null;
        try {
            nativ_ManegingFlight.addAirport(1, "never");
        } catch (Throwable t) {
            error = t;
        }
        check(error instanceof UnsatisfiedLinkError, "expected UnsatisfiedLinkError, got " + error);
        String message = error.getMessage();
        System.out.println("the error says: " + message);
        for (String word : words) {
            check(message.contains(word), "the error does not name \"" + word + "\"");
        }
        // The class stays unusable, and says so with an error rather than a crash.
        Throwable later = null;
        try {
            nativ_ManegingFlight.addAirport(1, "still never");
        } catch (Throwable t) {
            later = t;
        }
        check(later instanceof LinkageError, "use after a failed load: " + later);
    }

    /** The library as seen by one class loader: its three calls, through reflection. */
    private record Loaded(ClassLoader loader, Method addAirport, Method addFlight, Method loadedFrom) {
        static Loaded of(ClassLoader loader) throws Exception {
            Class<?> editing = Class.forName("palvorin.nativ_ManegingFlight", true, loader);
            Class<?> library = Class.forName("tavrik.NativeLibrary", true, loader);
            check(editing.getClassLoader() == loader, "palvorin.nativ_ManegingFlight came from another loader");
            return new Loaded(loader, editing.getMethod("addAirport", int.class, String.class),
                    editing.getMethod("addFlight", String.class, int.class, int.class, int.class, int.class),
                    library.getMethod("loadedFrom"));
        }

        int addAirport(int airport, String name) throws Exception {
            return (Integer) addAirport.invoke(null, airport, name);
        }

        int addFlight(String name, int flight, int days, int from, int to) throws Exception {
            return (Integer) addFlight.invoke(null, name, flight, days, from, to);
        }

        String from() throws Exception {
            return (String) loadedFrom.invoke(null);
        }
    }

    private static void loaders(String jar, boolean hold) throws Exception {
        URL[] urls = {Path.of(jar).toUri().toURL()};
        // The class path's copy first, then two isolated loaders at once, each from its own thread.
        Loaded main = Loaded.of(PackagingCheck.class.getClassLoader());
        check(main.addAirport(1, "main") == 0, "main loader: addAirport(1)");
        ExecutorService pool = Executors.newFixedThreadPool(2);
        List<Future<Loaded>> started = new ArrayList<>();
        for (int i = 0; i < 2; i++) {
            Callable<Loaded> start = () -> Loaded.of(new URLClassLoader(urls, ClassLoader.getPlatformClassLoader()));
            started.add(pool.submit(start));
        }
        List<Loaded> all = new ArrayList<>(List.of(main));
        for (Future<Loaded> f : started) {
            all.add(f.get());
        }
        pool.shutdown();

        List<String> froms = new ArrayList<>();
        for (int i = 0; i < all.size(); i++) {
            Loaded l = all.get(i);
            String from = l.from();
            System.out.println("loader " + i + " loaded " + from);
            check(!froms.contains(from), "two loaders share " + from);
            froms.add(from);
            // Each network is its own: airport 1 exists only in the main loader's, 2 only here.
            int expected1 = i == 0 ? nativ_ManegingFlight.REFUSED : nativ_ManegingFlight.OK;
            check(l.addAirport(1, "loader " + i) == expected1, "loader " + i + ": addAirport(1) sees another network");
            check(l.addAirport(2, "loader " + i) == 0, "loader " + i + ": addAirport(2) sees another network");
            check(l.addFlight("F", 10 + i, 1, 1, 2) == 0, "loader " + i + ": addFlight");
            check(l.addFlight("F", 10 + i, 1, 1, 2) == nativ_ManegingFlight.REFUSED,
                    "loader " + i + ": a second flight with the same number was taken");
        }
        if (hold) {
            System.out.println("holding " + String.join(" ", froms));
            System.out.flush();
            // Until the test kills it: longer than the test may run.
            Thread.sleep(600_000);
        }
    }

    private static void cycles(String jar, Path dir, int cycles) throws Exception {
        URL[] urls = {Path.of(jar).toUri().toURL()};
        Loaded kept = Loaded.of(new URLClassLoader(urls, ClassLoader.getPlatformClassLoader()));
        check(kept.addAirport(1, "kept") == 0, "the kept loader's addAirport(1)");
        for (int cycle = 0; cycle < cycles; cycle++) {
            URLClassLoader loader = new URLClassLoader(urls, ClassLoader.getPlatformClassLoader());
            Loaded loaded = Loaded.of(loader);
            check(loaded.addAirport(1, "cycle " + cycle) == 0, "cycle " + cycle + ": a network that is not empty");
            String copy = loaded.from();
            List<Path> copies = copiesIn(dir);
            check(copies.size() <= 2, "cycle " + cycle + ": " + copies.size() + " copies for 2 live class loaders: " + copies);
            check(copies.contains(Path.of(copy)), "cycle " + cycle + ": its copy " + copy + " is not in " + dir);
            loaded = null;
            loader.close();
            java.lang.ref.WeakReference<ClassLoader> gone = new java.lang.ref.WeakReference<>(loader);
            loader = null;
            awaitReleased(gone, copy);
        }
        check(kept.addAirport(1, "kept") == nativ_ManegingFlight.REFUSED, "the kept loader lost its network");
        check(copiesIn(dir).contains(Path.of(kept.from())), "the kept loader's copy was removed");
        System.out.println(cycles + " cycles; copies left in " + dir + ": " + copiesIn(dir));
    }

    private static List<Path> copiesIn(Path dir) throws java.io.IOException {
        try (var files = java.nio.file.Files.list(dir)) {
            return files.filter(f -> f.getFileName().toString().matches("tavrik-.*\\.so")).sorted().toList();
        }
    }

    /** Waits until the loader is collected, its copy unmapped and the copy's lock file closed. */
    private static void awaitReleased(java.lang.ref.WeakReference<ClassLoader> loader, String copy) throws Exception {
        String lock = Path.of(copy).toRealPath().toString().replaceAll("\\.so$", ".lock");
        String library = Path.of(copy).toRealPath().toString();
        long deadline = System.currentTimeMillis() + 30_000;
        while (true) {
            System.gc();
            boolean held = loader.get() != null;
            if (!held) {
                held = java.nio.file.Files.readAllLines(Path.of("/proc/self/maps")).stream().anyMatch(l -> l.endsWith(library));
            }
            if (!held) {
                try (var fds = java.nio.file.Files.list(Path.of("/proc/self/fd"))) {
                    held = fds.anyMatch(fd -> {
                        try {
                            return java.nio.file.Files.readSymbolicLink(fd).toString().equals(lock);
                        } catch (java.io.IOException e) {
                            return false;
                        }
                    });
                }
            }
            if (!held) {
                return;
            }
            check(System.currentTimeMillis() < deadline, "a class loader and its copy " + copy + " were never released");
            Thread.sleep(20);
        }
    }

    /**
     * Four threads each book the two-leg route 1 -> 2 -> 3 (the direct flight is over the limit)
     * and fit 1 -> 3 without booking, many times at once: each booking must raise every booked
     * count by exactly one, and every answer must be the whole route.
     */
    private static void threads() throws Exception {
        check(nativ_ManegingFlight.addAirport(1, "A") == 0, "addAirport(1)");
        check(nativ_ManegingFlight.addAirport(2, "B") == 0, "addAirport(2)");
        check(nativ_ManegingFlight.addAirport(3, "C") == 0, "addAirport(3)");
        check(nativ_ManegingFlight.addFlight("A-B", 10, 2, 1, 2) == 0, "addFlight(10)");
        check(nativ_ManegingFlight.addFlight("B-C", 20, 2, 2, 3) == 0, "addFlight(20)");
        check(nativ_ManegingFlight.addFlight("A-C", 30, 9, 1, 3) == 0, "addFlight(30)");
        int threads = 4;
        int bookingsPerThread = 50;
        ExecutorService pool = Executors.newFixedThreadPool(threads);
        List<Future<List<Integer>>> results = new ArrayList<>();
        for (int t = 0; t < threads; t++) {
            Callable<List<Integer>> work = () -> {
                List<Integer> seen = new ArrayList<>();
                for (int i = 0; i < bookingsPerThread; i++) {
                    Optional<Route> looked = Routes.fit(5, 1, 3);
                    if (looked.isEmpty() || looked.get().legs().size() != 2) {
                        throw new IllegalStateException("fit(5, 1, 3) gave " + looked);
                    }
                    Route booked = Routes.fitAndBook(5, 1, 3).orElseThrow();
                    for (Leg leg : booked.legs()) {
                        seen.add(leg.booked());
                    }
                }
                return seen;
            };
            results.add(pool.submit(work));
        }
        List<Integer> counts = new ArrayList<>();
        for (Future<List<Integer>> f : results) {
            counts.addAll(f.get());
        }
        pool.shutdown();
        int total = threads * bookingsPerThread;
        // Leg 1 -> 2 of booking k (in the order of the lock) carries count k: each of 1..total once.
        List<Integer> firstLegs = new ArrayList<>();
        for (int i = 0; i < counts.size(); i += 2) {
            firstLegs.add(counts.get(i));
            check(counts.get(i).equals(counts.get(i + 1)), "the two legs of one booking carry different counts");
        }
        firstLegs.sort(null);
        List<Integer> expected = new ArrayList<>();
        for (int k = 1; k <= total; k++) {
            expected.add(k);
        }
        check(firstLegs.equals(expected), "booked counts seen by the threads are not 1.." + total + " once each");
        Route last = Routes.fit(5, 1, 3).orElseThrow();
        for (Leg leg : last.legs()) {
            check(leg.booked() == total, "flight " + leg.flight() + " booked " + leg.booked() + " times, not " + total);
        }
    }
}
