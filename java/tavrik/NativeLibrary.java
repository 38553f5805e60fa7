package tavrik;

/**
 * Loads the native library {@code tavrik} that the classes of this package and of
 * {@code palvorin} call into.
 *
 * <p>This version finds the library on {@code java.library.path} only.
 */
public final class NativeLibrary {
    private static boolean loaded;

    private NativeLibrary() {}

    /**
     * Loads the library once; later calls return at once.
     *
     * @throws UnsatisfiedLinkError if the library cannot be found or loaded
     */
    public static synchronized void load() {
        if (loaded) {
            return;
        }
        System.loadLibrary("tavrik");
        loaded = true;
    }
}
