package palvorin.demo;

import java.io.BufferedOutputStream;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.FilterOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;

/**
 * The program's standard output and error. Standard output is buffered and written out when a
 * command ends (a command flushes it once); a write that fails throws {@link OutputFailure} out of
 * whatever printed, so that no failed output is ever reported as success (a plain PrintStream only
 * sets a flag nobody reads). Standard error is written at once and its failures are ignored:
 * there is nowhere left to report them. Either stream, when it is a terminal, shows control
 * characters escaped, so that text from the input or the data cannot move the cursor, change
 * colours or retitle the window.
 */
final class Streams {
    /** The exit status after standard output turned out to be a pipe nobody reads: as if killed by SIGPIPE. */
    static final int BROKEN_PIPE_STATUS = 128 + 13;

    private static final int BUFFER = 64 * 1024;

    private Streams() {}

    /** Standard output, buffered until flushed; {@code terminal}: escape control characters. */
    static PrintStream output(boolean terminal) {
        OutputStream s = new BufferedOutputStream(new Checked(new FileOutputStream(FileDescriptor.out)), BUFFER);
        if (terminal) s = new Escaping(s);
        return new PrintStream(s, false, StandardCharsets.UTF_8);
    }

    /** Standard error, flushed at every line. */
    static PrintStream error(boolean terminal) {
        OutputStream s = new FileOutputStream(FileDescriptor.err);
        if (terminal) s = new Escaping(new BufferedOutputStream(s, 1024));
        return new PrintStream(s, true, StandardCharsets.UTF_8);
    }

    /** A write to standard output failed: the output is lost, so the program ends. */
    static final class OutputFailure extends RuntimeException {
        private static final long serialVersionUID = 1L;

        OutputFailure(IOException cause) {
            super(cause.getMessage(), cause);
        }

        /** The reader of the pipe has gone (e.g. {@code | head -1}): nothing is wrong that needs saying. */
        boolean brokenPipe() {
            String m = getMessage();
            return m != null && m.contains("Broken pipe");
        }

        /** Says what happened (unless the pipe broke) and gives the exit status. */
        int report(PrintStream err) {
            if (brokenPipe()) return BROKEN_PIPE_STATUS;
            err.println("error: cannot write to standard output: " + (getMessage() != null ? getMessage() : getCause()));
            return 1;
        }
    }

    /** Turns the first failed write into an OutputFailure, and refuses every write after it. */
    private static final class Checked extends OutputStream {
        private final OutputStream out;
        private OutputFailure failed;

        Checked(OutputStream out) {
            this.out = out;
        }

        @Override
        public void write(int b) {
            write(new byte[] {(byte) b}, 0, 1);
        }

        @Override
        public void write(byte[] b, int off, int len) {
            if (failed != null) throw failed;
            try {
                out.write(b, off, len);
            } catch (IOException e) {
                failed = new OutputFailure(e);
                throw failed;
            }
        }

        @Override
        public void flush() {
            if (failed != null) throw failed;
        }

        @Override
        public void close() {
            // Standard output stays open for the JVM's own last words.
        }
    }

    /**
     * Shows UTF-8 text with its control characters escaped: C0 controls other than tab and line
     * feed, and DEL, as {@code \x1b}; C1 controls (U+0080 to U+009F, two bytes in UTF-8) as
     * {@code \u009b}. Every other byte passes unchanged (a control byte is never part of a longer
     * UTF-8 sequence).
     */
    private static final class Escaping extends FilterOutputStream {
        /** The first byte of a two-byte sequence that may be a C1 control, held until the next. */
        private boolean pendingC2;

        Escaping(OutputStream out) {
            super(out);
        }

        @Override
        public void write(int b) throws IOException {
            b &= 0xff;
            if (pendingC2) {
                pendingC2 = false;
                if (b >= 0x80 && b <= 0x9f) {
                    out.write(String.format("\\u%04x", b).getBytes(StandardCharsets.US_ASCII));
                    return;
                }
                out.write(0xc2);
            }
            if (b == 0xc2) {
                pendingC2 = true;
            } else if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7f) {
                out.write(String.format("\\x%02x", b).getBytes(StandardCharsets.US_ASCII));
            } else {
                out.write(b);
            }
        }

        @Override
        public void write(byte[] b, int off, int len) throws IOException {
            // Runs of plain bytes go on in one piece.
            int start = off;
            for (int i = off; i < off + len; ++i) {
                int c = b[i] & 0xff;
                boolean plain = !pendingC2 && c != 0xc2 && (c >= 0x20 || c == '\n' || c == '\t') && c != 0x7f;
                if (plain) continue;
                out.write(b, start, i - start);
                write(c);
                start = i + 1;
            }
            out.write(b, start, off + len - start);
        }
    }
}
