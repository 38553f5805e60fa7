package palvorin.demo;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;

/**
 * Command lines read from a file or a pipe, each at most {@link #LIMIT} bytes. A longer line is
 * reported as soon as it passes the limit and its rest is then read and dropped, never held: a
 * file without line ends (or {@code /dev/zero}) costs no more memory than one line of the limit.
 * Lines end at LF, CR LF or a lone CR; bytes that are not UTF-8 are replaced, never fatal.
 */
final class InputLines {
    /** The longest line read, in bytes without its end. */
    static final int LIMIT = 64 * 1024;

    /** One line: its number from 1, and its text, or null when it was longer than the limit. */
    record Line(int number, String text) {
        boolean tooLong() {
            return text == null;
        }
    }

    private final InputStream in;
    private final byte[] buffer = new byte[8192];
    private int pos;
    private int end;
    private boolean eof;
    private final byte[] line = new byte[LIMIT];
    private int number;
    /** The previous line ended with CR: an LF right after it belongs to that end. */
    private boolean afterCr;
    /** The previous line was too long: its rest is dropped before the next line starts. */
    private boolean skipping;

    InputLines(InputStream in) {
        this.in = in;
    }

    /** The next line, or null at the end of the input. */
    Line next() throws IOException {
        if (skipping) {
            skipping = false;
            if (!skipRestOfLine()) return null;
        }
        int length = 0;
        boolean any = false;
        while (true) {
            if (pos == end && !fill()) {
                if (!any) return null;
                return new Line(++number, decode(length));
            }
            byte b = buffer[pos++];
            if (afterCr) {
                afterCr = false;
                if (b == '\n') continue;
            }
            any = true;
            if (b == '\n' || b == '\r') {
                afterCr = b == '\r';
                return new Line(++number, decode(length));
            }
            if (length == LIMIT) {
                skipping = true;
                --pos; // the byte over the limit is dropped with the rest
                return new Line(++number, null);
            }
            line[length++] = b;
        }
    }

    /** Drops bytes up to and including the next line end; false when the input ended first. */
    private boolean skipRestOfLine() throws IOException {
        while (true) {
            if (pos == end && !fill()) return false;
            byte b = buffer[pos++];
            if (b == '\n' || b == '\r') {
                afterCr = b == '\r';
                return true;
            }
        }
    }

    private boolean fill() throws IOException {
        if (eof) return false;
        int n = in.read(buffer);
        if (n <= 0) {
            eof = n < 0;
            pos = end = 0;
            return !eof && fill();
        }
        pos = 0;
        end = n;
        return true;
    }

    private String decode(int length) {
        return new String(line, 0, length, StandardCharsets.UTF_8);
    }
}
