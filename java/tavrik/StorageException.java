package tavrik;

/**
 * A network kept in a folder could not be opened (the message names the file and the offset),
 * or could not record a change: after a failed write or sync the network accepts no more
 * changes, while its reads go on; reopen the folder to go on changing it. A failed write or
 * sync is never retried.
 */
public class StorageException extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /**
     * Makes the exception.
     *
     * @param message what failed, with the file and offset where they matter
     */
    public StorageException(String message) {
        super(message);
    }
}
