/**
 * The API to start from: route queries that are safe from any number of threads
 * ({@link tavrik.Routes}, answering with {@link tavrik.Route} and {@link tavrik.Leg}), result
 * codes in words ({@link tavrik.NativeCall}, {@link tavrik.RouteException}), and the loader of
 * the native library ({@link tavrik.NativeLibrary}).
 *
 * <p>These classes work on the same network as the fixed host classes of {@code palvorin}. On
 * JDK 22 and later, start the JVM with {@code --enable-native-access=ALL-UNNAMED} (class path)
 * or {@code --enable-native-access=tavrik} (module path) so that loading the library does not
 * warn.
 */
package tavrik;
