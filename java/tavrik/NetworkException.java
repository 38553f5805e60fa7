package tavrik;

/**
 * The common base class of the exceptions by which a {@link Network} refuses a call: each
 * subclass is one rule of the network and carries the numbers it concerns. The message names
 * the method the caller called, the rule and the numbers; the network is as it was before the
 * call.
 *
 * <p>A refusal of one item of a one-call load ({@link Network#load(Network.Batch)}) also tells
 * which item it was: {@link #index()} is its position in the batch's airports or flights, and
 * {@link #flightItem()} says which of the two.
 */
public abstract class NetworkException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** The method the caller called. */
    private final String method;
    /** The refused item's position in a batch, or -1. */
    private final int index;
    /** Whether the refused batch item is a flight (else an airport). */
    private final boolean flightItem;

    /**
     * Makes an exception for a refused call.
     *
     * @param call the name of the method the caller called, for example {@code "addFlight"}
     * @param index the refused item's position in a batch load, or -1 for a single call
     * @param flightItem in a batch load, whether the refused item is a flight (else an airport)
     * @param rule the rule and its numbers in words, for example {@code "unknown airport 7"}
     */
    protected NetworkException(String call, int index, boolean flightItem, String rule) {
        super(call + ": " + (index < 0 ? "" : (flightItem ? "flight" : "airport") + " item " + index + ": ")
                + rule + (index < 0 ? "" : "; nothing was loaded"));
        this.method = call;
        this.index = index;
        this.flightItem = flightItem;
    }

    /**
     * The method the caller called.
     *
     * @return its name, for example {@code "addFlight"} or {@code "fitAndBook"}
     */
    public String method() {
        return method;
    }

    /**
     * The position of the refused item in a one-call load.
     *
     * @return the index in the batch's airports or flights (see {@link #flightItem()}), or -1
     *     when the call was not a load
     */
    public int index() {
        return index;
    }

    /**
     * Whether the refused item of a one-call load is a flight.
     *
     * @return true for a flight, false for an airport or a call that was not a load
     */
    public boolean flightItem() {
        return flightItem;
    }
}
