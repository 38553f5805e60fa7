/**
 * The tavrik flight network: the {@code tavrik} API, the fixed host classes of {@code palvorin}
 * and {@code palvorin.airport}, and the native library they load.
 *
 * <p>On JDK 22 and later, loading the native library is a restricted operation: grant it with
 * {@code --enable-native-access=tavrik} on the module path (or
 * {@code --enable-native-access=ALL-UNNAMED} when the jar is on the class path), or the JVM warns
 * at the first load.
 */
module tavrik {
    exports tavrik;
    exports palvorin;
    exports palvorin.airport;
}
