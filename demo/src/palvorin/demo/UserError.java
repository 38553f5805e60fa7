package palvorin.demo;

/** A command that cannot run as typed; its message is shown to the user as one line. */
final class UserError extends RuntimeException {
    private static final long serialVersionUID = 1L;

    UserError(String message) {
        super(message);
    }
}
