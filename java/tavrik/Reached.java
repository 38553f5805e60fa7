package tavrik;

/**
 * One airport that a {@linkplain RouteQuery#reach reach} query found within its day limit.
 *
 * @param airport the airport's number
 * @param days the fewest days of any route to it (with at most the query's leg limit, if set)
 * @param legs the fewest legs among the routes of that many days
 */
public record Reached(int airport, long days, int legs) {}
