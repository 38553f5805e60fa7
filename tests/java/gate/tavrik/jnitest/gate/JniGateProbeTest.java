package tavrik.jnitest.gate;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.management.ManagementFactory;
import org.junit.jupiter.api.Test;

/**
 * Runs the gate probe in the mode given by {@code -Dtavrik.probe.mode}. The JUnit test passes in
 * every mode, so a run that fails in mode 1 or 2 was failed by the runner's -Xcheck:jni gate
 * alone. {@code -Dtavrik.probe.pass=false} makes the test fail instead, to show that a JUnit
 * failure fails the run too.
 */
class JniGateProbeTest {
    @Test
    void probeRunsUnderJniCheck() {
        assertTrue(ManagementFactory.getRuntimeMXBean().getInputArguments().contains("-Xcheck:jni"));
        int mode = Integer.getInteger("tavrik.probe.mode", 0);
        int made = JniGateProbe.misbehave(mode);
        assertEquals(mode == 2 ? 64 : 1, made, "strings made by the probe");
        assertTrue(Boolean.parseBoolean(System.getProperty("tavrik.probe.pass", "true")),
                "asked to fail by -Dtavrik.probe.pass=false");
    }
}
