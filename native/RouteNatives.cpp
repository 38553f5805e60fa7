// The whole-route methods of tavrik.Routes: fit (and book) a route in one
// call of the library and hand its legs to a Java collector.
//
// The collector's callback is looked up first (that may run Java code, so it
// happens before any lock); the library fits, books and copies the legs under
// its lock, which is released when the operation returns; only then is the
// callback called once per leg, travel order, each leg's name deleted right
// after its call.

#include <jni.h>

#include "library/Network.h"
#include "native/JniSupport.h"
#include "native/tavrik.h"
#include "store/ResultCodes.h"
#include "tavrik_Routes.h"

using tavrik::FittedRoute;
using tavrik::LocalRef;
using tavrik::classOf;
using tavrik::deliverFlights;
using tavrik::methodOf;
using tavrik::NullArgument;
using tavrik::ReportedFlight;
using tavrik::sharedNetwork;
using tavrik::withBoundary;

namespace {

const char* const kLegCallbackName = "addLeg";
const char* const kLegCallbackSignature = "(ILjava/lang/String;IIII)V";

// fitAndBookNative's answer when the route was fitted but the booking
// refused it (a flight's booked count is at its largest): tavrik.Routes
// reports it as armoringTickets' refusal.
constexpr jint kBookingRefused = codes::routes::kBookingRefused;

// Runs `fit` and delivers its legs to `legs`; returns the route-fitting code,
// or kBookingRefused.
template <class Fit>
jint fitInto(JNIEnv* env, jobject legs, Fit&& fit) {
    if (legs == nullptr) throw NullArgument{"leg collector is null"};
    LocalRef<jclass> type(env, classOf(env, legs));
    const jmethodID addLeg = methodOf(env, type.get(), kLegCallbackName, kLegCallbackSignature);

    const FittedRoute fitted = fit();
    if (fitted.booking != 0) return kBookingRefused;
    deliverFlights(env, fitted.legs, [&](jstring name, const ReportedFlight& leg) {
        env->CallVoidMethod(legs, addLeg, leg.flight, name, leg.days, leg.from, leg.to, leg.booked);
    });
    return fitted.result;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_tavrik_Routes_fitNative(JNIEnv* env, jclass, jint maxDays, jint from, jint to,
                                                    jobject legs) {
    return withBoundary(env, jint{-8}, [&] {
        return fitInto(env, legs, [&] { return sharedNetwork().fitRoute(maxDays, from, to); });
    });
}

JNIEXPORT jint JNICALL Java_tavrik_Routes_fitAndBookNative(JNIEnv* env, jclass, jint maxDays, jint from, jint to,
                                                           jobject legs) {
    return withBoundary(env, jint{-8}, [&] {
        return fitInto(env, legs, [&] { return sharedNetwork().fitAndBook(maxDays, from, to); });
    });
}

}  // extern "C"
