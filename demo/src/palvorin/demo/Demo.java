package palvorin.demo;

import java.io.BufferedReader;
import java.io.Console;
import java.io.FileOutputStream;
import java.io.FileDescriptor;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.io.Reader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * The tavrik host application: loads the OpenFlights world network into the library and answers
 * route, booking, airport and editing commands.
 *
 * <pre>
 * tavrik-demo                      sample session, then commands from the terminal or stdin
 * tavrik-demo --script FILE        commands from FILE, no prompt
 * tavrik-demo COMMAND ARGS...      just that one command
 * </pre>
 *
 * The data folder comes from {@code --data DIR}, else the system property {@code tavrik.data}.
 */
public final class Demo {
    /** Shown first when the program starts without a command. */
    static final List<String> SAMPLE_SESSION = List.of(
            "route LYR USH",
            "book",
            "airport LYR");

    private Demo() {}

    public static void main(String[] argv) {
        PrintStream out = new PrintStream(new FileOutputStream(FileDescriptor.out), true, StandardCharsets.UTF_8);
        System.exit(run(argv, out));
    }

    static int run(String[] argv, PrintStream out) {
        String data = System.getProperty("tavrik.data");
        Path script = null;
        List<String> command = new ArrayList<>();
        for (int i = 0; i < argv.length; ++i) {
            String a = argv[i];
            if (!command.isEmpty()) {
                command.add(a);
            } else if ((a.equals("--script") || a.equals("--data")) && i + 1 >= argv.length) {
                out.println("error: " + a + " needs a value");
                return 2;
            } else if (a.equals("--script")) {
                script = Path.of(argv[++i]);
            } else if (a.equals("--data")) {
                data = argv[++i];
            } else if (a.equals("--help") || a.equals("-h")) {
                out.println("usage: tavrik-demo [--data DIR] [--script FILE | COMMAND ARGS...]");
                out.println(Shell.HELP);
                return 0;
            } else if (a.startsWith("--")) {
                out.println("error: unknown option " + a + " (try --help)");
                return 2;
            } else {
                command.add(a);
            }
        }
        if (data == null) {
            out.println("error: no data folder: pass --data DIR or -Dtavrik.data=DIR");
            return 2;
        }
        if (script != null && !Files.isReadable(script)) {
            out.println("error: cannot read the script " + script);
            return 2;
        }

        Directory directory = new Directory();
        try {
            OpenFlightsLoader.Report r = OpenFlightsLoader.load(Path.of(data), directory);
            printLoadReport(out, r, data);
        } catch (IOException e) {
            out.println("error: cannot read the OpenFlights data in " + data + ": " + e.getMessage());
            return 2;
        }
        Shell shell = new Shell(directory, out);

        if (!command.isEmpty()) return shell.run(String.join(" ", command)) ? 0 : 1;
        if (script != null) {
            try (Reader in = Files.newBufferedReader(script, StandardCharsets.UTF_8)) {
                runEchoed(shell, new BufferedReader(in), out);
            } catch (IOException e) {
                out.println("error: reading " + script + ": " + e.getMessage());
                return 2;
            }
            return 0;
        }

        out.println("Sample session:");
        for (String line : SAMPLE_SESSION) {
            out.println();
            out.println("> " + line);
            shell.run(line);
        }
        out.println();
        Console console = System.console();
        if (console != null) {
            out.println("Your turn. Type help for the commands, quit to leave.");
            while (!shell.quitRequested()) {
                String line = console.readLine("tavrik> ");
                if (line == null) {
                    out.println();
                    break;
                }
                shell.run(line);
            }
        } else {
            runEchoed(shell, new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8)), out);
        }
        return 0;
    }

    /** Commands without a terminal: each is echoed so the output shows what produced it. */
    private static void runEchoed(Shell shell, BufferedReader in, PrintStream out) {
        try {
            for (String line; !shell.quitRequested() && (line = in.readLine()) != null; ) {
                String t = line.strip();
                if (t.isEmpty() || t.startsWith("#")) continue;
                out.println("> " + t);
                shell.run(t);
            }
        } catch (IOException e) {
            out.println("error: reading commands: " + e.getMessage());
        }
    }

    private static void printLoadReport(PrintStream out, OpenFlightsLoader.Report r, String data) {
        out.printf(Locale.ROOT, "Loaded %,d airports and %,d flights from %s in %.2f s (reading %.2f s, library %.2f s).%n",
                r.airportsLoaded, r.flightsLoaded, data, (r.readNanos + r.libraryNanos) / 1e9, r.readNanos / 1e9,
                r.libraryNanos / 1e9);
        List<String> why = new ArrayList<>();
        if (r.routesMissingId > 0) why.add(String.format(Locale.ROOT, "%,d without an airport id", r.routesMissingId));
        if (r.routesUnknownAirport > 0)
            why.add(String.format(Locale.ROOT, "%,d with an airport missing from airports.dat", r.routesUnknownAirport));
        if (r.routesSameAirport > 0)
            why.add(String.format(Locale.ROOT, "%,d starting and ending at the same airport", r.routesSameAirport));
        if (r.routesBad > 0) why.add(String.format(Locale.ROOT, "%,d unreadable", r.routesBad));
        if (r.routesRefused > 0) why.add(String.format(Locale.ROOT, "%,d refused by the library", r.routesRefused));
        if (!why.isEmpty())
            out.printf(Locale.ROOT, "Skipped %,d of %,d routes: %s.%n", r.routesSkipped(), r.routeLines, String.join(", ", why));
        if (r.airportsBad + r.airportsRefused > 0)
            out.printf(Locale.ROOT, "Skipped %,d of %,d airports (%,d unreadable, %,d refused by the library).%n",
                    r.airportsBad + r.airportsRefused, r.airportLines, r.airportsBad, r.airportsRefused);
    }
}
