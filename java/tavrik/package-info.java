/**
 * The API to start from: {@link tavrik.Network}, a flight network of your own with typed
 * edits and reads, one-call loading, route answers that say why ({@link tavrik.FitAnswer}),
 * route choices ({@link tavrik.RouteQuery}), seats and bookings ({@link tavrik.Booking}) and,
 * opened on a folder, durability ({@link tavrik.Durability}); its refusals are the subclasses
 * of {@link tavrik.NetworkException}. Beside it: route queries on the shared network that are
 * safe from any number of threads ({@link tavrik.Routes}, answering with {@link tavrik.Route}
 * and {@link tavrik.Leg}), result codes in words ({@link tavrik.NativeCall}), and the loader
 * of the native library ({@link tavrik.NativeLibrary}).
 *
 * <p>{@link tavrik.Network#shared()} and {@link tavrik.Routes} work on the same network as the
 * fixed host classes of {@code palvorin}. On
 * JDK 22 and later, start the JVM with {@code --enable-native-access=ALL-UNNAMED} (class path)
 * or {@code --enable-native-access=tavrik} (module path) so that loading the library does not
 * warn.
 */
package tavrik;
