package tavrik.jnitest.gate;

/** The test-only native library libjnigateprobe: one JNI function that misbehaves on request. */
final class JniGateProbe {
    static {
        System.loadLibrary("jnigateprobe");
    }

    private JniGateProbe() {}

    /**
     * Mode 0 makes one string and deletes it; mode 1 makes one string while an exception is
     * pending (then clears it); mode 2 makes 64 strings and keeps their local references.
     * Returns how many strings were made.
     */
    static native int misbehave(int mode);
}
