/**
 * The fixed host binding: classes whose names (odd spellings included), methods, result codes
 * and callbacks existing host applications rely on. {@link palvorin.nativ_ManegingFlight} adds
 * and removes airports and flights; {@link palvorin.aggregateFiting} fits a route into the one
 * current ticket list of the process, books it and reports its tickets through its
 * {@code addFlitgh} callback; {@link palvorin.ReportedFlight} is one reported flight entry.
 *
 * <p>New code that queries from several threads starts in package {@code tavrik} instead,
 * whose calls do not share the current ticket list.
 */
package palvorin;
