// The four network-editing methods of palvorin.nativ_ManegingFlight: each
// forwards to the flight-management service (through the library's locks)
// and returns its code unchanged.

#include <jni.h>

#include "native/JniSupport.h"
#include "native/tavrik.h"
#include "palvorin_nativ_ManegingFlight.h"

using tavrik::copyUtf;
using tavrik::sharedNetwork;
using tavrik::withBoundary;

extern "C" {

JNIEXPORT jint JNICALL Java_palvorin_nativ_1ManegingFlight_addAirport(JNIEnv* env, jclass, jint airport,
                                                                      jstring name) {
    return withBoundary(env, jint{-2}, [&] {
        std::string text = copyUtf(env, name, "airport name is null");
        return sharedNetwork().addAirport(airport, std::move(text));
    });
}

JNIEXPORT jint JNICALL Java_palvorin_nativ_1ManegingFlight_addFlight(JNIEnv* env, jclass, jstring name,
                                                                     jint flight, jint days, jint from,
                                                                     jint to) {
    return withBoundary(env, jint{-2}, [&] {
        std::string text = copyUtf(env, name, "flight name is null");
        return sharedNetwork().addFlight(std::move(text), flight, days, from, to);
    });
}

JNIEXPORT jint JNICALL Java_palvorin_nativ_1ManegingFlight_removeFlight(JNIEnv* env, jclass, jint airport,
                                                                        jint flight) {
    return withBoundary(env, jint{-2}, [&] {
        return sharedNetwork().removeFlight(airport, flight);
    });
}

JNIEXPORT jint JNICALL Java_palvorin_nativ_1ManegingFlight_removeAirport(JNIEnv* env, jclass, jint airport) {
    return withBoundary(env, jint{-2}, [&] {
        return sharedNetwork().removeAirport(airport);
    });
}

}  // extern "C"
