// Route fitting, booking and the two reports of flights back into Java.
//
// A report looks up the receiver's callback first (that may run Java code, so
// it happens before any lock), copies the flights it reports under the
// library's locks, which are released when the copy returns, and only then
// calls addFlitgh once per flight. A callback may
// therefore call any native method, editing ones included. Each Java string
// is deleted right after its callback, so a report of any length uses a
// bounded number of local references.

#include <jni.h>

#include <vector>

#include "native/JniSupport.h"
#include "library/ReportCopy.h"
#include "native/tavrik.h"
#include "palvorin_aggregateFiting.h"
#include "palvorin_airport_AirportFrame.h"

using tavrik::JavaExceptionPending;
using tavrik::LocalRef;
using tavrik::classOf;
using tavrik::methodOf;
using tavrik::ReportedFlight;
using tavrik::sharedNetwork;
using tavrik::withBoundary;

namespace {

const char* const kCallbackName = "addFlitgh";
const char* const kCallbackSignature = "(IILjava/lang/String;IIII)V";

// Calls back once per flight, in order; stops at the first pending exception.
void deliver(JNIEnv* env, jobject receiver, jmethodID callback, const std::vector<ReportedFlight>& flights) {
    tavrik::deliverFlights(env, flights, [&](jstring name, const ReportedFlight& f) {
        env->CallVoidMethod(receiver, callback, f.airport, f.flight, name, f.days, f.from, f.to, f.booked);
    });
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_palvorin_aggregateFiting_getRouteFlight(JNIEnv* env, jobject, jint maxDays, jint from,
                                                                    jint to) {
    return withBoundary(env, jint{-8}, [&] {
        return sharedNetwork().getRouteFlight(maxDays, from, to);
    });
}

JNIEXPORT jint JNICALL Java_palvorin_aggregateFiting_armoringTickets(JNIEnv* env, jobject) {
    return withBoundary(env, jint{-5}, [&] {
        return sharedNetwork().armoringTickets();
    });
}

JNIEXPORT void JNICALL Java_palvorin_aggregateFiting_setData(JNIEnv* env, jobject receiver) {
    withBoundary(env, [&] {
        LocalRef<jclass> type(env, classOf(env, receiver));
        const jmethodID callback = methodOf(env, type.get(), kCallbackName, kCallbackSignature);

        const std::vector<ReportedFlight> flights = sharedNetwork().routeReport();
        deliver(env, receiver, callback, flights);
    });
}

JNIEXPORT void JNICALL Java_palvorin_airport_AirportFrame_setData(JNIEnv* env, jobject receiver) {
    withBoundary(env, [&] {
        LocalRef<jclass> type(env, classOf(env, receiver));
        const jfieldID numberField = env->GetFieldID(type.get(), "NumberAirport", "I");
        if (numberField == nullptr) throw JavaExceptionPending{};
        const jmethodID callback = methodOf(env, type.get(), kCallbackName, kCallbackSignature);
        const int n = env->GetIntField(receiver, numberField);

        const std::vector<ReportedFlight> flights = sharedNetwork().airportReport(n);
        deliver(env, receiver, callback, flights);
    });
}

}  // extern "C"
