/**
 * The fixed host class that reports one airport: {@link palvorin.airport.AirportFrame} calls
 * its {@code addFlitgh} once for every flight departing from or arriving at the airport named
 * by its field {@code NumberAirport}.
 */
package palvorin.airport;
