package palvorin.demo;

import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import palvorin.aggregateFiting;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/**
 * The tavrik host application: loads the OpenFlights world network into the library and answers
 * route, booking, airport, find and editing commands.
 *
 * <pre>
 * tavrik-demo                      at a terminal: a sample session, then a prompt with line editing
 * tavrik-demo --script FILE        commands from FILE, one a line
 * tavrik-demo COMMAND ARGS...      just that one command
 * tavrik-demo &lt; FILE               commands from standard input, as with --script
 * </pre>
 *
 * Results go to standard output, buffered and flushed once per command; a failed command prints
 * one line to standard error and makes the exit status 1 (2 for a bad command line, script or
 * data). Output that cannot be written ends the program: status 1 with one line on standard error,
 * or 141 without a word when the output was a pipe that its reader closed. The data folder comes from
 * {@code --data DIR}, else the system property {@code tavrik.data}.
 */
public final class Demo {
    /** Shown first when the program starts at a terminal without a command. */
    static final List<String> SAMPLE_SESSION = List.of(
            "route LYR USH",
            "book",
            "airport LYR");

    static final String USAGE = String.join("\n",
            "usage: tavrik-demo [--data DIR] [--script FILE | COMMAND ARGS...]",
            "       tavrik-demo --help | --version",
            "Without a command it reads commands from the terminal (a sample session first) or from",
            "standard input. Results go to standard output, errors to standard error; the exit status",
            "is 1 when a command failed (for --script: any command, named by its line) or the output",
            "could not be written, 2 when the command line, the script or the data could not be used,",
            "141 when the output was a pipe that its reader closed. Lines over " + InputLines.LIMIT
                    + " bytes are refused.");

    @Command(name = "tavrik-demo")
    static final class Options {
        @Option(names = "--data", paramLabel = "DIR") String data;
        @Option(names = "--script", paramLabel = "FILE") Path script;
        @Option(names = {"-h", "--help"}) boolean help;
        @Option(names = {"-V", "-v", "--version"}) boolean version;
        @Parameters(paramLabel = "COMMAND") List<String> command = new ArrayList<>();
    }

    private Demo() {}

    public static void main(String[] argv) {
        PrintStream out = Streams.output(isTerminal("stdout"));
        PrintStream err = Streams.error(isTerminal("stderr"));
        int status;
        try {
            status = run(argv, out, err, System.in);
            out.flush();
        } catch (Streams.OutputFailure e) {
            // Standard output is gone: nothing more is run, and the status says so.
            status = e.report(err);
        }
        System.exit(status);
    }

    /** The version in the tavrik jar's manifest. */
    static String version() {
        String v = aggregateFiting.class.getPackage().getImplementationVersion();
        return v != null ? v : "unknown";
    }

    static int run(String[] argv, PrintStream out, PrintStream err, InputStream stdin) {
        Options options = new Options();
        CommandLine cli = new CommandLine(options);
        // Options after the command word belong to the command, e.g. route A B --map x.svg.
        cli.setStopAtPositional(true);
        // An argument that begins with @ is an ordinary word, never a file to read arguments from.
        cli.setExpandAtFiles(false);
        try {
            cli.parseArgs(argv);
        } catch (CommandLine.ParameterException e) {
            String problem = e.getMessage() == null ? "" : e.getMessage().lines().findFirst().orElse("");
            err.println("error: " + UserError.brief(problem.isEmpty() ? "bad command line" : problem) + " (try --help)");
            return 2;
        }
        if (options.help) {
            out.println(USAGE);
            out.println();
            out.println(Shell.HELP);
            return 0;
        }
        if (options.version) {
            out.println("tavrik-demo " + version());
            return 0;
        }
        String data = options.data != null ? options.data : System.getProperty("tavrik.data");
        if (data == null) {
            err.println("error: no data folder: pass --data DIR or -Dtavrik.data=DIR");
            return 2;
        }
        Path script = options.script;
        if (script != null && !options.command.isEmpty()) {
            err.println("error: give either --script FILE or a command, not both (try --help)");
            return 2;
        }
        if (script != null && Files.isDirectory(script)) {
            err.println("error: the script " + script + " is a folder, not a file of commands");
            return 2;
        }
        if (script != null && !Files.isReadable(script)) {
            err.println("error: cannot read the script " + script
                    + (Files.exists(script) ? " (permission denied)" : " (no such file)"));
            return 2;
        }
        boolean interactive = script == null && options.command.isEmpty() && isTerminal("stdin");
        boolean chatty = interactive && isTerminal("stdout");

        Directory directory = new Directory();
        try {
            OpenFlightsLoader.Report r = OpenFlightsLoader.load(Path.of(data), directory);
            // The load report is for a person at a terminal; one-shot answers and scripts start with their data.
            if (chatty) printLoadReport(out, r, data);
        } catch (NoSuchFileException e) {
            err.println("error: the data folder " + data + " has no " + Path.of(e.getFile()).getFileName()
                    + " (OpenFlights airports.dat and routes.dat are needed)");
            return 2;
        } catch (IOException e) {
            err.println("error: cannot read the OpenFlights data in " + data + ": " + e.getMessage());
            return 2;
        }
        Shell shell = new Shell(directory, out, err);

        if (!options.command.isEmpty()) return shell.runOnce(options.command.toArray(new String[0]));
        if (script != null) {
            try (InputStream in = Files.newInputStream(script)) {
                return runEchoed(shell, in, out, script.toString());
            } catch (IOException e) {
                err.println("error: cannot read the script " + script + ": " + e.getMessage());
                return 2;
            }
        }
        if (!interactive) return runEchoed(shell, stdin, out, "standard input");

        if (chatty) {
            out.println("Sample session:");
            for (String line : SAMPLE_SESSION) {
                out.println();
                out.println("> " + line);
                shell.run(line);
            }
            out.println();
            out.println("Your turn. Type help for the commands, quit to leave; Tab completes, arrows recall.");
            return Interactive.run(shell, directory, out, err) ? 0 : 1;
        }
        // Typing at a terminal with the output going elsewhere: the terminal shows what is typed,
        // so nothing is echoed and no prompt is mixed into the output.
        return runLines(shell, stdin, out, false, "standard input");
    }

    /** Whether the launcher found that stream to be a terminal (it passes -Dtavrik.stdin.terminal etc.). */
    private static boolean isTerminal(String stream) {
        String v = System.getProperty("tavrik." + stream + ".terminal");
        if (v != null) return v.equals("true");
        return System.console() != null;
    }

    /**
     * Commands from a file or a pipe: each is echoed so the output shows what produced it, and a
     * failed one is named by its line number. Bytes that are not UTF-8 are replaced, never fatal.
     * Returns the exit status: 0 when every command ran, 1 when one failed, 2 when the input
     * could not be read.
     */
    static int runEchoed(Shell shell, InputStream in, PrintStream out, String source) {
        return runLines(shell, in, out, true, source);
    }

    /**
     * Reads commands line by line until the input ends or a command asks to quit; {@code echoed}
     * as for {@link #runEchoed}, else each line runs as typed (a terminal shows it already). A line
     * longer than {@link InputLines#LIMIT} bytes is refused as soon as it passes the limit.
     */
    private static int runLines(Shell shell, InputStream in, PrintStream out, boolean echoed, String source) {
        boolean allRan = true;
        InputLines lines = new InputLines(in);
        try {
            for (InputLines.Line line; !shell.quitRequested() && (line = lines.next()) != null; ) {
                String prefix = "error: line " + line.number() + ": ";
                if (line.tooLong()) {
                    shell.setErrorPrefix(prefix);
                    shell.fail("line longer than " + InputLines.LIMIT + " bytes; skipped");
                    allRan = false;
                    continue;
                }
                if (!echoed) {
                    allRan &= shell.run(line.text());
                    continue;
                }
                String t = line.text().strip();
                if (t.isEmpty() || t.startsWith("#")) continue;
                out.println("> " + t);
                shell.setErrorPrefix(prefix);
                allRan &= shell.run(t);
            }
        } catch (IOException e) {
            shell.setErrorPrefix("error: ");
            shell.fail("cannot read the commands from " + source + ": " + e.getMessage());
            return 2;
        }
        return allRan ? 0 : 1;
    }

    private static void printLoadReport(PrintStream out, OpenFlightsLoader.Report r, String data) {
        out.printf(Locale.ROOT, "Loaded %,d airports and %,d flights from %s in %.2f s (reading %.2f s, library %.2f s).%n",
                r.airportsLoaded, r.flightsLoaded, data, (r.readNanos + r.libraryNanos) / 1e9, r.readNanos / 1e9,
                r.libraryNanos / 1e9);
        List<String> why = new ArrayList<>();
        var n = r.read;
        if (n.routesMissingId > 0) why.add(String.format(Locale.ROOT, "%,d without an airport id", n.routesMissingId));
        if (n.routesUnknownAirport > 0)
            why.add(String.format(Locale.ROOT, "%,d with an airport missing from airports.dat", n.routesUnknownAirport));
        if (n.routesSameAirport > 0)
            why.add(String.format(Locale.ROOT, "%,d starting and ending at the same airport", n.routesSameAirport));
        if (n.routesBad > 0) why.add(String.format(Locale.ROOT, "%,d unreadable", n.routesBad));
        if (r.routesRefused > 0) why.add(String.format(Locale.ROOT, "%,d refused by the library", r.routesRefused));
        if (!why.isEmpty())
            out.printf(Locale.ROOT, "Skipped %,d of %,d routes: %s.%n", r.routesSkipped(), n.routeLines, String.join(", ", why));
        if (n.airportsBad + r.airportsRefused > 0)
            out.printf(Locale.ROOT, "Skipped %,d of %,d airports (%,d unreadable, %,d refused by the library).%n",
                    n.airportsBad + r.airportsRefused, n.airportLines, n.airportsBad, r.airportsRefused);
    }
}
