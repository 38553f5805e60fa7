package palvorin.demo;

/** A command that cannot run as typed; its message is shown to the user as one line. */
class UserError extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** Longer text from the user is cut to this many characters in messages. */
    static final int SHOWN = 60;

    UserError(String message) {
        super(message);
    }

    /** Text from the user in quotes, cut short if long: a message never repeats a megabyte. */
    static String quote(String text) {
        return "'" + brief(text) + "'";
    }

    /** The text, or its start and its length when it is longer than {@link #SHOWN} characters. */
    static String brief(String text) {
        if (text.length() <= SHOWN) return text;
        return text.substring(0, SHOWN) + "... (" + text.length() + " characters)";
    }
}
