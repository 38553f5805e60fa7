package tavrik.jnitest;

import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.management.ManagementFactory;
import org.junit.jupiter.api.Test;

/**
 * Base of every test class here: each class also checks that its JVM really runs with
 * -Xcheck:jni, since the runner's gate is worthless if the option gets lost on the way.
 */
abstract class JniCheckedTest {
    @Test
    void jvmRunsUnderJniCheck() {
        assertTrue(ManagementFactory.getRuntimeMXBean().getInputArguments().contains("-Xcheck:jni"),
                "JVM arguments: " + ManagementFactory.getRuntimeMXBean().getInputArguments());
    }
}
