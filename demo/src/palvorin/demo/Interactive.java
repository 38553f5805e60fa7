package palvorin.demo;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.List;
import java.util.Set;
import org.jline.reader.Candidate;
import org.jline.reader.EndOfFileException;
import org.jline.reader.LineReader;
import org.jline.reader.LineReaderBuilder;
import org.jline.reader.UserInterruptException;
import org.jline.terminal.Size;
import org.jline.terminal.Terminal;
import org.jline.terminal.TerminalBuilder;

/**
 * The prompt at a terminal: line editing, a history kept in ~/.tavrik_history between sessions,
 * and Tab completion of command names (first word) and airport codes (later words). Loaded only
 * when a person is typing, so one-shot commands and scripts do not pay for the terminal library.
 */
final class Interactive {
    private Interactive() {}

    /** Reads commands until quit or end of input; false if any of them failed. */
    static boolean run(Shell shell, Directory directory, PrintStream out, PrintStream err) {
        boolean allRan = true;
        try (Terminal terminal = TerminalBuilder.builder().system(true).build()) {
            // A terminal that reports no size (a bare pseudo-terminal) would break the line
            // display and the completion lists.
            if (terminal.getWidth() <= 0 || terminal.getHeight() <= 0) terminal.setSize(new Size(80, 24));
            Set<String> codes = directory.presentCodes();
            LineReader reader = LineReaderBuilder.builder()
                    .terminal(terminal)
                    .appName("tavrik-demo")
                    .variable(LineReader.HISTORY_FILE, Path.of(System.getProperty("user.home"), ".tavrik_history"))
                    .completer((r, line, candidates) -> complete(line.wordIndex(), codes, candidates))
                    .build();
            while (!shell.quitRequested()) {
                // The prompt is written by the line editor: what the last command printed goes first.
                out.flush();
                String line;
                try {
                    line = reader.readLine("tavrik> ");
                } catch (UserInterruptException e) {
                    continue; // Ctrl-C drops the line being typed
                } catch (EndOfFileException e) {
                    out.println();
                    break;
                } catch (RuntimeException e) {
                    // The line editor failed on this line; the session goes on with the next.
                    err.println("error: the line could not be read: " + e);
                    continue;
                }
                if (line.getBytes(StandardCharsets.UTF_8).length > InputLines.LIMIT) {
                    err.println("error: line longer than " + InputLines.LIMIT + " bytes; skipped");
                    allRan = false;
                    continue;
                }
                allRan &= shell.run(line);
            }
            try {
                reader.getHistory().save();
            } catch (IOException e) {
                // A history that cannot be written only costs the next session its recall.
            }
        } catch (IOException e) {
            err.println("error: no terminal: " + e.getMessage());
            return false;
        }
        return allRan;
    }

    private static void complete(int wordIndex, Set<String> codes, List<Candidate> candidates) {
        if (wordIndex == 0) {
            for (String c : Shell.COMMANDS) candidates.add(new Candidate(c));
        } else {
            for (String c : codes) candidates.add(new Candidate(c));
        }
    }
}
