package tavrik.robustness;

/**
 * Arms the failing native allocator that the test JVM runs with (preloaded through LD_PRELOAD,
 * its path in the system property {@code tavrik.failing.allocator}). Arming is per thread.
 */
final class FailingAllocation {
    static {
        String path = System.getProperty("tavrik.failing.allocator");
        if (path == null) throw new IllegalStateException("tavrik.failing.allocator is not set");
        // The library is already in the process; loading it again runs its JNI_OnLoad, which
        // registers the two methods below.
        System.load(path);
    }

    private FailingAllocation() {}

    /** The n-th native allocation of this thread fails, and every later one if persistent. */
    static native void arm(int n, boolean persistent);

    /** Disarms; returns how many allocations were made to fail since {@link #arm}. */
    static native int disarm();
}
