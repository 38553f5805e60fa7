package tavrik.moduletest;

import java.util.Set;
import palvorin.aggregateFiting;
import palvorin.nativ_ManegingFlight;
import tavrik.NativeLibrary;
import tavrik.Route;
import tavrik.Routes;

/** The jar as a named module on the module path: its exports, the library's load, a route. */
public final class ModuleCheck {
    private ModuleCheck() {}

    public static void main(String[] args) {
        Module tavrik = NativeLibrary.class.getModule();
        require(tavrik.isNamed() && tavrik.getName().equals("tavrik"), "NativeLibrary is in module " + tavrik);
        require(tavrik.getDescriptor() != null && !tavrik.getDescriptor().isAutomatic(),
                "module tavrik is automatic, not declared");
        for (String pkg : Set.of("tavrik", "palvorin", "palvorin.airport")) {
            require(tavrik.isExported(pkg), "module tavrik does not export " + pkg);
        }
        require(aggregateFiting.class.getModule() == tavrik, "palvorin is not in module tavrik");
        try {
            // Compiled with -parameters: IDEs and reflection see the real names.
            String first = Routes.class.getMethod("fit", int.class, int.class, int.class).getParameters()[0].getName();
            require(first.equals("maxDays"), "Routes.fit's first parameter is called " + first);
        } catch (NoSuchMethodException e) {
            require(false, "Routes.fit(int, int, int) is missing");
        }
        require(nativ_ManegingFlight.addAirport(1, "LHR") == 0, "addAirport(1)");
        require(nativ_ManegingFlight.addAirport(2, "JFK") == 0, "addAirport(2)");
        require(nativ_ManegingFlight.addFlight("BA", 100, 3, 1, 2) == 0, "addFlight(100)");
        Route route = Routes.fitAndBook(10, 1, 2).orElseThrow();
        require(route.legs().size() == 1 && route.legs().get(0).booked() == 1, "route " + route);
        System.out.println("module " + tavrik.getName() + " loaded " + NativeLibrary.loadedFrom());
        System.out.println("CHECK PASSED: module");
    }

    private static void require(boolean condition, String message) {
        if (!condition) {
            System.out.println("CHECK FAILED: " + message);
            System.exit(1);
        }
    }
}
