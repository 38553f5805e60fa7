package palvorin.demo;

import java.util.Map;

/**
 * Seats for sale on a flight of the bundled network, from the first aircraft type of its
 * routes.dat line: the typical seating of that type as its maker publishes it (two classes where
 * the maker gives several layouts). The table and its source are in data/openflights/README.md;
 * a type it does not list gets {@link #DEFAULT}.
 */
final class AircraftSeats {
    /** Seats of a type the table does not list (a narrow-body jet's typical seating). */
    static final int DEFAULT = 150;

    private static final Map<String, Integer> SEATS = Map.ofEntries(
            // Airbus
            Map.entry("318", 107), Map.entry("319", 124), Map.entry("320", 150), Map.entry("321", 185),
            Map.entry("32S", 150), Map.entry("330", 277), Map.entry("332", 247), Map.entry("333", 277),
            Map.entry("340", 295), Map.entry("343", 295), Map.entry("346", 380), Map.entry("350", 315),
            Map.entry("359", 315), Map.entry("380", 525), Map.entry("388", 525), Map.entry("310", 220),
            Map.entry("AB6", 266),
            // Boeing
            Map.entry("717", 106), Map.entry("733", 128), Map.entry("734", 146), Map.entry("735", 110),
            Map.entry("736", 108), Map.entry("737", 128), Map.entry("73G", 128), Map.entry("738", 162),
            Map.entry("73H", 162), Map.entry("739", 177), Map.entry("73W", 128), Map.entry("73C", 128),
            Map.entry("744", 416), Map.entry("747", 416), Map.entry("752", 200), Map.entry("757", 200),
            Map.entry("753", 243), Map.entry("762", 181), Map.entry("763", 218), Map.entry("767", 218),
            Map.entry("764", 245), Map.entry("772", 305), Map.entry("777", 305), Map.entry("773", 368),
            Map.entry("77W", 365), Map.entry("77L", 301), Map.entry("788", 242), Map.entry("789", 290),
            Map.entry("M80", 155), Map.entry("M81", 155), Map.entry("M82", 155), Map.entry("M83", 155),
            Map.entry("M87", 130), Map.entry("M88", 155), Map.entry("M90", 160),
            // Embraer, Bombardier, ATR, De Havilland Canada, Fokker, BAe, Saab and smaller
            Map.entry("E70", 72), Map.entry("E75", 78), Map.entry("E90", 100), Map.entry("E95", 116),
            Map.entry("ERJ", 50), Map.entry("ER3", 37), Map.entry("ER4", 50), Map.entry("ERD", 37),
            Map.entry("EM2", 30), Map.entry("CRJ", 50), Map.entry("CR1", 50), Map.entry("CR2", 50),
            Map.entry("CR7", 70), Map.entry("CR9", 76), Map.entry("CRK", 90), Map.entry("DH8", 74),
            Map.entry("DH1", 37), Map.entry("DH3", 50), Map.entry("DH4", 74), Map.entry("DHT", 19),
            Map.entry("AT4", 48), Map.entry("AT5", 48), Map.entry("AT7", 70), Map.entry("ATR", 70),
            Map.entry("ATP", 64), Map.entry("100", 100), Map.entry("F70", 79), Map.entry("F50", 50),
            Map.entry("146", 85), Map.entry("AR8", 85), Map.entry("SF3", 34), Map.entry("SF2", 50),
            Map.entry("BE1", 19), Map.entry("BEH", 19), Map.entry("J31", 19), Map.entry("J32", 19),
            Map.entry("JST", 29), Map.entry("D28", 19), Map.entry("CNA", 9), Map.entry("CNC", 9),
            Map.entry("BNI", 9), Map.entry("SU9", 98), Map.entry("YK2", 120), Map.entry("TU5", 164),
            Map.entry("CS1", 110), Map.entry("CS3", 130), Map.entry("223", 130), Map.entry("221", 110));

    private AircraftSeats() {}

    /** The seats of an aircraft type code (null or unknown: {@link #DEFAULT}). */
    static int of(String aircraft) {
        if (aircraft == null) return DEFAULT;
        return SEATS.getOrDefault(aircraft, DEFAULT);
    }
}
