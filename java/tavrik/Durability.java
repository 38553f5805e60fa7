package tavrik;

/**
 * What a change to a network kept in a folder ({@link Network#open}) survives once the call
 * that made it has returned.
 *
 * <table>
 *   <caption>What survives, per mode</caption>
 *   <tr><th></th><th>process killed</th><th>operating system crash</th><th>power cut</th></tr>
 *   <tr><td>{@link #FULL}</td><td>yes</td><td>yes</td><td>yes</td></tr>
 *   <tr><td>{@link #NORMAL}</td><td>yes</td><td>maybe not</td><td>maybe not</td></tr>
 * </table>
 *
 * <p>Either way a reopened folder holds a state that the network was in: the changes up to some
 * point, in order, never a part of one change.
 */
public enum Durability {
    /**
     * Every change is synced to the disk before its call returns; calls on several threads share
     * their syncs (group commit).
     */
    FULL,
    /**
     * Every change is written to the operating system before its call returns, and synced at
     * checkpoints and on close: it survives the process being killed, but the last changes may
     * be lost when the machine stops.
     */
    NORMAL
}
