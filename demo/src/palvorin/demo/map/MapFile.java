package palvorin.demo.map;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.concurrent.ThreadLocalRandom;

/**
 * Puts a finished file in place in one step: the bytes go to a hidden temporary file in the
 * destination's own folder, reach the disk, and the temporary file is then renamed over the
 * destination. A reader sees the old file or the new one, never a part; when anything fails
 * (no such folder, permission, a full disk) the temporary file is removed and the destination is
 * as it was.
 */
final class MapFile {
    private MapFile() {}

    /**
     * Writes {@code bytes} as {@code file}, replacing it if it exists.
     *
     * @throws IOException whose message names the file and gives the reason in words
     */
    static void replace(Path file, byte[] bytes) throws IOException {
        Path target = file.toAbsolutePath();
        Path folder = target.getParent();
        if (folder == null || !Files.isDirectory(folder)) {
            throw new IOException("cannot write " + file + ": "
                + (folder != null && Files.exists(folder) ? folder + " is not a folder" : "no such folder " + folder));
        }
        if (Files.isDirectory(target)) {
            throw new IOException("cannot write " + file + ": it is a folder");
        }
        Path part = folder.resolve("." + target.getFileName() + "."
            + Long.toHexString(ThreadLocalRandom.current().nextLong() >>> 1) + ".part");
        try {
            // CREATE_NEW: never through a link or over a file someone else placed there.
            try (FileChannel channel = FileChannel.open(part, StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE)) {
                ByteBuffer buffer = ByteBuffer.wrap(bytes);
                while (buffer.hasRemaining()) {
                    channel.write(buffer);
                }
                channel.force(true);
            }
            Files.move(part, target, StandardCopyOption.ATOMIC_MOVE);
        } catch (IOException e) {
            try {
                Files.deleteIfExists(part);
            } catch (IOException ignored) {
                // The first failure is the one to report.
            }
            String why = e instanceof NoSuchFileException ? "the folder " + folder + " takes no new files" : reason(e);
            throw new IOException("cannot write " + file + ": " + why, e);
        }
    }

    /** What went wrong, in the operating system's words where Java keeps them apart. */
    static String reason(IOException e) {
        if (e instanceof AccessDeniedException) {
            return "permission denied";
        }
        if (e instanceof NoSuchFileException) {
            return "no such file or folder";
        }
        if (e instanceof FileAlreadyExistsException) {
            return "a file of the same name appeared meanwhile";
        }
        if (e instanceof FileSystemException f && f.getReason() != null) {
            return f.getReason().toLowerCase(java.util.Locale.ROOT);
        }
        return e.getMessage() != null ? e.getMessage().toLowerCase(java.util.Locale.ROOT) : e.toString();
    }
}
