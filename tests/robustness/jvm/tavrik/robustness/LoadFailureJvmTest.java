package tavrik.robustness;

import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;
import palvorin.nativ_ManegingFlight;

/**
 * Loads the library with its N-th native allocation and every later one failing (N from the
 * system property {@code tavrik.load.fail.at}; a library loads once per JVM, so each N has a JVM
 * of its own). The load must fail with a Java error in the loading thread, never abort the JVM.
 */
class LoadFailureJvmTest {
    @Test
    void loadingWithoutMemoryFailsCleanly() {
        int n = Integer.getInteger("tavrik.load.fail.at", 1);
        FailingAllocation.disarm();  // loads the control class before arming
        Throwable error = null;
        FailingAllocation.arm(n, true);
        try {
            nativ_ManegingFlight.load();
        } catch (Throwable t) {
            error = t;
        }
        int failures = FailingAllocation.disarm();
        System.out.printf("[alloc-failure-jvm] library load, allocation %d and later failing: %d failed, %s%n", n,
                failures, error);
        assertTrue(failures > 0, "no allocation failed while loading");
        assertNotNull(error, "the load succeeded although its allocations failed");
        // The class is unusable from now on, and says so with an error rather than a crash.
        Throwable later = null;
        try {
            nativ_ManegingFlight.addAirport(1, "after a failed load");
        } catch (Throwable t) {
            later = t;
        }
        assertTrue(later instanceof LinkageError, "use after a failed load: " + later);
    }
}
