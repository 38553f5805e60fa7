package tavrik;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.channels.OverlappingFileLockException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/**
 * Finds and loads the native library {@code libtavrik.so} that the classes of {@code palvorin}
 * call into. Those classes load it themselves on first use; call {@link #load()} to load it
 * earlier, for example to see a loading failure at start-up.
 *
 * <p>The library is looked for in this order:
 * <ol>
 *   <li>the file named by the system property {@value #LIBRARY_PATH_PROPERTY}, when set;
 *   <li>{@code System.loadLibrary("tavrik")}, that is {@code libtavrik.so} in a folder of
 *       {@code java.library.path} (where an installed copy lives);
 *   <li>the copy carried inside the jar, at {@code native/<os>-<arch>/libtavrik.so}, written to a
 *       private file of its own and loaded from there. The folders tried for that file are the one
 *       named by {@value #TMPDIR_PROPERTY} (when set), {@code java.io.tmpdir}, and a per-user cache
 *       folder ({@code $XDG_CACHE_HOME/tavrik}, else {@code ~/.cache/tavrik}); when the JVM cannot
 *       load the file from one folder (for example one on a file system mounted {@code noexec}),
 *       the next one is tried.
 * </ol>
 * When every way fails, {@link #load()} throws one {@link UnsatisfiedLinkError} whose message
 * says what was tried and why each attempt failed (a folder that does not exist is said to be
 * missing), and which platforms the jar carries a library for.
 *
 * <p>What extraction leaves on disk: each copy has a name of its own ({@code tavrik-<pid>...so})
 * and a companion {@code .lock} file, locked while the copy is in use. {@code java.io.tmpdir} is
 * used only if it exists; {@value #TMPDIR_PROPERTY} and the per-user cache folder are created
 * when missing, and a folder created for a copy is removed with it when it is left empty (at once
 * if the copy could not be loaded from it). A copy is removed when the JVM exits normally, and
 * earlier once the class loader that loaded it has been unloaded: the next extraction by another
 * class loader of the same JVM removes it. Copies left behind by a JVM that crashed are removed
 * by the next JVM that extracts into the same folder.
 *
 * <p>On JDK 22 and later, loading a native library is a restricted operation (JEP 472): start the
 * JVM with {@code --enable-native-access=ALL-UNNAMED} when the jar is on the class path, or
 * {@code --enable-native-access=tavrik} when it is on the module path; otherwise the JVM prints a
 * warning when the library is loaded.
 *
 * <p>The library's state (its one flight network and one current ticket list) belongs to the
 * loaded copy. A class loader that loads these classes while another class loader of the same JVM
 * already holds the library gets a copy of its own, and with it a network of its own.
 */
public final class NativeLibrary {
    /** System property naming the library file to load before any other. */
    public static final String LIBRARY_PATH_PROPERTY = "tavrik.library.path";
    /** System property naming the first folder to extract the jar's copy of the library into. */
    public static final String TMPDIR_PROPERTY = "tavrik.tmpdir";

    private static final String NAME = "tavrik";
    private static final Object LOCK = new Object();
    private static volatile String loadedFrom;
    /** The extracted copy in use, kept reachable so that its lock stays held. */
    private static Object extractedCopy;

    private NativeLibrary() {}

    /**
     * Loads the library unless this class loader has loaded it already. Safe to call from several
     * threads at once and any number of times.
     *
     * @throws UnsatisfiedLinkError if no way of loading it worked; the message lists each attempt
     *     and why it failed
     */
    public static void load() {
        if (loadedFrom != null) {
            return;
        }
        synchronized (LOCK) {
            if (loadedFrom == null) {
                loadedFrom = findAndLoad();
            }
        }
    }

    /**
     * Says where the library was loaded from, loading it first if needed.
     *
     * @return the file loaded, or {@code java.library.path} when the JVM found it there
     * @throws UnsatisfiedLinkError if the library cannot be loaded
     */
    public static String loadedFrom() {
        load();
        return loadedFrom;
    }

    /** The folder inside the jar for this platform, or null for one the library is not built for. */
    private static String platformFolder() {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
        if (!os.startsWith("linux")) {
            return null;
        }
        switch (arch) {
            case "amd64":
            case "x86_64":
                return "native/linux-x86_64";
            case "aarch64":
            case "arm64":
                return "native/linux-aarch64";
            default:
                return null;
        }
    }

    private static String findAndLoad() {
        List<String> failures = new ArrayList<>();
        List<Throwable> causes = new ArrayList<>();

        String explicit = System.getProperty(LIBRARY_PATH_PROPERTY);
        if (explicit == null || explicit.isEmpty()) {
            failures.add("-D" + LIBRARY_PATH_PROPERTY + ": not set");
        } else {
            String file = new File(explicit).getAbsolutePath();
            try {
                System.load(file);
                return file;
            } catch (UnsatisfiedLinkError e) {
                failures.add("-D" + LIBRARY_PATH_PROPERTY + "=" + file + ": " + e.getMessage());
                causes.add(e);
                stopIfStartupFailed(e, failures, causes);
            }
        }

        try {
            System.loadLibrary(NAME);
            return "java.library.path";
        } catch (UnsatisfiedLinkError e) {
            failures.add("System.loadLibrary(\"" + NAME + "\") on java.library.path="
                    + System.getProperty("java.library.path") + ": " + e.getMessage());
            causes.add(e);
            stopIfStartupFailed(e, failures, causes);
        }

        String loaded = loadFromJar(failures, causes);
        if (loaded != null) {
            return loaded;
        }

        StringBuilder message = describe(failures);
        message.append("\nTo fix it, start the JVM with -D").append(TMPDIR_PROPERTY)
                .append("=<a folder you can write to on a file system not mounted noexec>, or with -D")
                .append(LIBRARY_PATH_PROPERTY).append("=<the full path of a libtavrik.so built for this machine>.");
        UnsatisfiedLinkError error = new UnsatisfiedLinkError(message.toString());
        causes.forEach(error::addSuppressed);
        throw error;
    }

    private static StringBuilder describe(List<String> failures) {
        StringBuilder message = new StringBuilder("cannot load the native library lib" + NAME + ".so for "
                + System.getProperty("os.name") + "/" + System.getProperty("os.arch") + ". Tried:");
        for (String failure : failures) {
            message.append("\n  - ").append(failure);
        }
        return message;
    }

    /**
     * A library that was found and mapped but whose start-up hook refused to run (it could not
     * build its state, typically for want of native memory) is not replaced by another copy, which
     * would hide the failure: the load ends there.
     */
    private static void stopIfStartupFailed(UnsatisfiedLinkError e, List<String> failures, List<Throwable> causes) {
        String text = e.getMessage();
        if (text == null || !text.contains("unsupported JNI version")) {
            return;
        }
        StringBuilder message = describe(failures);
        message.append("\nThe library was found but could not set itself up (its JNI_OnLoad failed, for example"
                + " for want of native memory); no other copy was tried.");
        UnsatisfiedLinkError error = new UnsatisfiedLinkError(message.toString());
        causes.forEach(error::addSuppressed);
        throw error;
    }

    /** Extracts the jar's copy into the first folder it loads from; null when none worked. */
    private static String loadFromJar(List<String> failures, List<Throwable> causes) {
        String folder = platformFolder();
        if (folder == null) {
            failures.add("the copy in the jar: none for this operating system and architecture (os.name="
                    + System.getProperty("os.name") + ", os.arch=" + System.getProperty("os.arch")
                    + "); the jar carries the library for " + carriedPlatforms()
                    + " (macOS and Windows are not carried: build libtavrik there and name it with -D"
                    + LIBRARY_PATH_PROPERTY + ")");
            return null;
        }
        String resource = folder + "/lib" + NAME + ".so";
        if (NativeLibrary.class.getResource("/" + resource) == null) {
            failures.add("the copy in the jar: " + resource + " is not on the class path (the classes do not come"
                    + " from the tavrik jar, or it was built without the library); the class path carries it for "
                    + carriedPlatforms());
            return null;
        }
        for (Map.Entry<Path, Folder> candidate : extractionFolders().entrySet()) {
            Path dir = candidate.getKey();
            Folder kind = candidate.getValue();
            String where = "the copy in the jar, extracted into " + dir + " (" + kind.origin + ")";
            Extracted copy;
            try {
                copy = Extracted.create(dir, kind.mayCreate, resource);
            } catch (MissingFolder e) {
                failures.add(where + ": " + e.getMessage());
                causes.add(e);
                continue;
            } catch (IOException | RuntimeException e) {
                failures.add(where + ": cannot write it there: " + e);
                causes.add(e);
                continue;
            }
            try {
                System.load(copy.library.toString());
                copy.keepUntilExit();
                extractedCopy = copy;
                return copy.library.toString();
            } catch (UnsatisfiedLinkError e) {
                copy.discard();
                failures.add(where + ": " + e.getMessage());
                causes.add(e);
                stopIfStartupFailed(e, failures, causes);
            }
        }
        return null;
    }

    /** The platforms whose library the class path carries, for example "linux-x86_64, linux-aarch64". */
    private static String carriedPlatforms() {
        List<String> carried = new ArrayList<>();
        for (String platform : List.of("linux-x86_64", "linux-aarch64")) {
            if (NativeLibrary.class.getResource("/native/" + platform + "/lib" + NAME + ".so") != null) {
                carried.add(platform);
            }
        }
        return carried.isEmpty() ? "no platform" : String.join(", ", carried);
    }

    /** A folder to extract into: where it came from, and whether the loader may create it. */
    private static final class Folder {
        final String origin;
        final boolean mayCreate;

        Folder(String origin, boolean mayCreate) {
            this.origin = origin;
            this.mayCreate = mayCreate;
        }
    }

    /** A folder to extract into that does not exist, or is no folder, and was not created. */
    private static final class MissingFolder extends IOException {
        private static final long serialVersionUID = 1L;

        MissingFolder(String message, Throwable cause) {
            super(message, cause);
        }
    }

    /**
     * The folders to extract into, in order; a folder named twice is tried once. java.io.tmpdir is
     * used only when it exists (it is the JVM's setting, not ours to make); -Dtavrik.tmpdir and the
     * per-user cache folder are created when missing.
     */
    private static Map<Path, Folder> extractionFolders() {
        Map<Path, Folder> folders = new LinkedHashMap<>();
        addFolder(folders, System.getProperty(TMPDIR_PROPERTY), "-D" + TMPDIR_PROPERTY, true);
        addFolder(folders, System.getProperty("java.io.tmpdir"), "java.io.tmpdir", false);
        String cache = System.getenv("XDG_CACHE_HOME");
        if (cache != null && !cache.isEmpty()) {
            addFolder(folders, cache + File.separator + NAME, "per-user cache, $XDG_CACHE_HOME/" + NAME, true);
        } else {
            String home = System.getProperty("user.home");
            if (home != null && !home.isEmpty() && !"?".equals(home)) {
                addFolder(folders, home + File.separator + ".cache" + File.separator + NAME,
                        "per-user cache, ~/.cache/" + NAME, true);
            }
        }
        return folders;
    }

    private static void addFolder(Map<Path, Folder> folders, String dir, String origin, boolean mayCreate) {
        if (dir == null || dir.isEmpty()) {
            return;
        }
        Path path;
        try {
            path = Path.of(dir).toAbsolutePath().normalize();
        } catch (InvalidPathException e) {
            return;
        }
        folders.merge(path, new Folder(origin, mayCreate),
                (first, also) -> new Folder(first.origin + ", also " + also.origin, first.mayCreate));
    }

    /**
     * One extracted copy: {@code tavrik-<unique>.so} with its companion {@code tavrik-<unique>.lock},
     * locked for as long as the copy is in use.
     */
    private static final class Extracted {
        private static final String PREFIX = NAME + "-";
        /**
         * Starts the names of this process's copies: its pid and start time. Closing any channel of
         * a file drops every lock this process holds on it, so the clean-up must never open the
         * lock files of this process (another class loader's, say).
         */
        private static final String OWN_PREFIX = PREFIX + ownerTag() + "-";
        private static final String LOCK_SUFFIX = ".lock";
        private static final String LIBRARY_SUFFIX = ".so";

        final Path library;
        private final Path lockFile;
        private final FileChannel channel;
        private final FileLock lock;
        /** The folders this copy's extraction created, outermost first: removed with it when empty. */
        private final List<Path> createdFolders;

        private Extracted(Path library, Path lockFile, FileChannel channel, FileLock lock, List<Path> createdFolders) {
            this.library = library;
            this.lockFile = lockFile;
            this.channel = channel;
            this.lock = lock;
            this.createdFolders = createdFolders;
        }

        static Extracted create(Path dir, boolean mayCreate, String resource) throws IOException {
            List<Path> created = makeFolder(dir, mayCreate);
            try {
                removeStaleCopies(dir);
                return lockAndWrite(dir, resource, created);
            } catch (IOException | RuntimeException e) {
                removeFolders(created);
                throw e;
            }
        }

        private static Extracted lockAndWrite(Path dir, String resource, List<Path> created) throws IOException {
            for (int attempt = 0; ; attempt++) {
                // A unique, freshly created (never pre-existing) lock file, owner-only where the
                // file system has permissions.
                Path lockFile = Files.createTempFile(dir, OWN_PREFIX, LOCK_SUFFIX);
                FileChannel channel = FileChannel.open(lockFile, StandardOpenOption.WRITE);
                FileLock lock;
                try {
                    lock = channel.lock();
                } catch (IOException | RuntimeException e) {
                    channel.close();
                    Files.deleteIfExists(lockFile);
                    throw e;
                }
                // A clean-up (another JVM's, or another class loader's in this one) may have taken
                // the lock file between its creation and the lock; it is then gone, and a new name
                // is needed.
                if (!Files.exists(lockFile) && attempt < 10) {
                    channel.close();
                    continue;
                }
                String base = lockFile.getFileName().toString();
                base = base.substring(0, base.length() - LOCK_SUFFIX.length());
                Path library = dir.resolve(base + LIBRARY_SUFFIX);
                Extracted copy = new Extracted(library, lockFile, channel, lock, created);
                try {
                    copy.write(resource);
                } catch (IOException | RuntimeException e) {
                    copy.discardFiles();
                    throw e;
                }
                return copy;
            }
        }

        /**
         * Makes sure dir is a folder. Returns the folders created for it, outermost first; throws
         * MissingFolder when it does not exist and may not, or cannot, be created.
         */
        private static List<Path> makeFolder(Path dir, boolean mayCreate) throws MissingFolder {
            List<Path> created = new ArrayList<>();
            if (Files.isDirectory(dir)) {
                return created;
            }
            if (Files.exists(dir)) {
                throw new MissingFolder("is not a folder", null);
            }
            if (!mayCreate) {
                throw new MissingFolder("does not exist", null);
            }
            List<Path> missing = new ArrayList<>();
            for (Path p = dir; p != null && !Files.exists(p); p = p.getParent()) {
                missing.add(0, p);
            }
            try {
                for (Path p : missing) {
                    Files.createDirectory(p);
                    created.add(p);
                }
            } catch (IOException | RuntimeException e) {
                removeFolders(created);
                throw new MissingFolder("does not exist and cannot be created (" + e + ")", e);
            }
            return created;
        }

        /** Removes the folders given, innermost first, as long as each is empty. */
        private static void removeFolders(List<Path> folders) {
            for (int i = folders.size() - 1; i >= 0; i--) {
                try {
                    Files.deleteIfExists(folders.get(i));
                } catch (IOException | RuntimeException e) {
                    return; // not empty (another JVM's copy): it and its parents stay
                }
            }
        }

        private void write(String resource) throws IOException {
            try (InputStream in = NativeLibrary.class.getResourceAsStream("/" + resource)) {
                if (in == null) {
                    throw new IOException(resource + " vanished from the class path");
                }
                try (OutputStream out = Files.newOutputStream(createPrivate(library), StandardOpenOption.WRITE)) {
                    in.transferTo(out);
                }
            }
        }

        private static Path createPrivate(Path file) throws IOException {
            if (file.getFileSystem().supportedFileAttributeViews().contains("posix")) {
                FileAttribute<?> ownerOnly = PosixFilePermissions.asFileAttribute(
                        PosixFilePermissions.fromString("rw-------"));
                return Files.createFile(file, ownerOnly);
            }
            return Files.createFile(file);
        }

        /**
         * Keeps the lock while the JVM lives; the copy, its lock file and then the folders its
         * extraction created (when empty) go at exit.
         */
        void keepUntilExit() {
            // deleteOnExit deletes in the reverse order of registration: the library first, the
            // outermost created folder last.
            for (Path folder : createdFolders) {
                folder.toFile().deleteOnExit();
            }
            lockFile.toFile().deleteOnExit();
            library.toFile().deleteOnExit();
        }

        /** Removes the copy, its lock and the folders its extraction created, when empty. */
        void discard() {
            discardFiles();
            removeFolders(createdFolders);
        }

        private void discardFiles() {
            try {
                Files.deleteIfExists(library);
            } catch (IOException ignored) {
                // left for the next JVM's clean-up
            }
            try {
                Files.deleteIfExists(lockFile);
            } catch (IOException ignored) {
                // left for the next JVM's clean-up
            }
            try {
                lock.release();
                channel.close();
            } catch (IOException ignored) {
                // closing a lock file cannot lose data
            }
        }

        private static String ownerTag() {
            ProcessHandle self = ProcessHandle.current();
            String tag = Long.toString(self.pid());
            return self.info().startInstant().map(start -> tag + "." + start.toEpochMilli()).orElse(tag);
        }

        /**
         * Removes the copies that nobody uses any more: those whose lock no JVM holds (left by a
         * JVM that ended without running its exit hooks), and this JVM's own copies that it no
         * longer has open or mapped (their class loader was unloaded). Copies in use, by this
         * JVM or another, are left alone.
         */
        private static void removeStaleCopies(Path dir) {
            List<Path> lockFiles = new ArrayList<>();
            try (DirectoryStream<Path> entries = Files.newDirectoryStream(dir, PREFIX + "*" + LOCK_SUFFIX)) {
                entries.forEach(lockFiles::add);
            } catch (IOException | RuntimeException e) {
                return;
            }
            List<Path> ownCopies = new ArrayList<>();
            for (Path lockFile : lockFiles) {
                String base = lockFile.getFileName().toString();
                base = base.substring(0, base.length() - LOCK_SUFFIX.length());
                if (base.startsWith(OWN_PREFIX)) {
                    // Closing any channel of a file drops every lock this process holds on it, so
                    // this process's lock files are never opened here (another class loader's lock
                    // would go). A copy still being written has no library file yet: left alone.
                    if (Files.exists(dir.resolve(base + LIBRARY_SUFFIX))) {
                        ownCopies.add(lockFile);
                    }
                    continue;
                }
                try (FileChannel channel = FileChannel.open(lockFile, StandardOpenOption.WRITE)) {
                    FileLock lock;
                    try {
                        lock = channel.tryLock();
                    } catch (OverlappingFileLockException heldHere) {
                        continue;
                    }
                    if (lock == null) {
                        continue;
                    }
                    try {
                        Files.deleteIfExists(dir.resolve(base + LIBRARY_SUFFIX));
                        Files.deleteIfExists(lockFile);
                    } finally {
                        lock.release();
                    }
                } catch (IOException | RuntimeException e) {
                    // Not ours to remove (another user's), or gone already.
                }
            }
            removeUnusedOwnCopies(ownCopies);
        }

        /**
         * Removes this process's copies that it neither has open (their lock file: the channel of
         * an unloaded class loader's copy is closed once collected) nor maps (the library). Where
         * /proc cannot be read, every copy counts as in use.
         */
        private static void removeUnusedOwnCopies(List<Path> lockFiles) {
            if (lockFiles.isEmpty()) {
                return;
            }
            // The library files were seen to exist before the descriptors are read: a copy whose
            // extraction is under way had its lock file open by then.
            List<String> inUse = new ArrayList<>();
            try (DirectoryStream<Path> descriptors = Files.newDirectoryStream(Path.of("/proc/self/fd"))) {
                for (Path fd : descriptors) {
                    try {
                        inUse.add(Files.readSymbolicLink(fd).toString());
                    } catch (IOException | RuntimeException closedMeanwhile) {
                        // a descriptor closed while listed
                    }
                }
                for (String line : Files.readAllLines(Path.of("/proc/self/maps"))) {
                    int slash = line.indexOf('/');
                    if (slash >= 0) {
                        inUse.add(line.substring(slash));
                    }
                }
            } catch (IOException | RuntimeException e) {
                return;
            }
            for (Path lockFile : lockFiles) {
                String name = lockFile.getFileName().toString();
                Path library = lockFile.resolveSibling(
                        name.substring(0, name.length() - LOCK_SUFFIX.length()) + LIBRARY_SUFFIX);
                try {
                    // /proc names files by their real paths.
                    if (inUse.contains(lockFile.toRealPath().toString()) || inUse.contains(library.toRealPath().toString())) {
                        continue;
                    }
                    Files.deleteIfExists(library);
                    Files.deleteIfExists(lockFile);
                } catch (IOException | RuntimeException e) {
                    // gone already, or not to be judged: left alone
                }
            }
        }
    }
}
