// The native methods of tavrik.NetworkSeats: the seats and bookings of a
// tavrik.Network, each a typed operation of the network named by the
// handle. Refusals become the exceptions of their rules, naming the Java
// method; a bad argument becomes IllegalArgumentException.

#include <jni.h>

#include <string>
#include <vector>

#include "library/Network.h"
#include "native/JniSupport.h"
#include "native/tavrik.h"
#include "tavrik_NetworkSeats.h"

using tavrik::classOf;
using tavrik::copyUtf;
using tavrik::deliverFlights;
using tavrik::JavaExceptionPending;
using tavrik::LocalRef;
using tavrik::methodOf;
using tavrik::networkOf;
using tavrik::ReportedFlight;
using tavrik::withCall;

namespace {

constexpr jint kOverAnyLimit = 3;  // as nativeFit

// Hands bookings to a tavrik.BookingCollector, each followed by its legs.
void deliverBookings(JNIEnv* env, jobject collector, const std::vector<TBooking>& bookings) {
    LocalRef<jclass> type(env, classOf(env, collector));
    const jmethodID start = methodOf(env, type.get(), "startBooking", "(JILjava/lang/String;Z)V");
    const jmethodID leg = methodOf(env, type.get(), "addLeg", "(IIIZ)V");
    for (const TBooking& b : bookings) {
        LocalRef<jstring> key(env, env->NewStringUTF(b.key.c_str()));
        if (!key) throw JavaExceptionPending{};
        env->CallVoidMethod(collector, start, static_cast<jlong>(b.id), b.passengers, key.get(),
                            static_cast<jboolean>(b.cancelled));
        if (env->ExceptionCheck()) throw JavaExceptionPending{};
        for (const TBookedLeg& l : b.legs) {
            env->CallVoidMethod(collector, leg, l.flight, l.from, l.to, static_cast<jboolean>(l.gone));
            if (env->ExceptionCheck()) throw JavaExceptionPending{};
        }
    }
}

// The key of a call, or none for null.
struct Key {
    bool given = false;
    std::string text;
    const std::string* get() const { return given ? &text : nullptr; }
};

Key keyOf(JNIEnv* env, jstring key) {
    Key k;
    if (key == nullptr) return k;
    k.given = true;
    k.text = copyUtf(env, key, "request key is null");
    return k;
}

std::vector<int> intsOf(JNIEnv* env, jintArray array) {
    const jsize length = env->GetArrayLength(array);
    std::vector<int> out(static_cast<std::size_t>(length));
    if (length > 0) env->GetIntArrayRegion(array, 0, length, reinterpret_cast<jint*>(out.data()));
    if (env->ExceptionCheck()) throw JavaExceptionPending{};
    return out;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_tavrik_NetworkSeats_nativeSetSeats(JNIEnv* env, jclass, jlong address, jint airport,
                                                               jint flight, jint seats) {
    withCall(env, "setSeats", [&] { networkOf(address).setSeats(airport, flight, seats); });
}

JNIEXPORT jlong JNICALL Java_tavrik_NetworkSeats_nativeSeats(JNIEnv* env, jclass, jlong address, jint airport,
                                                             jint flight) {
    return withCall(env, "seats", jlong{0}, [&] {
        const TFlightSeats s = networkOf(address).readSeats(airport, flight);
        return static_cast<jlong>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(s.seats)) << 32) |
                                  static_cast<std::uint32_t>(s.sold));
    });
}

JNIEXPORT jint JNICALL Java_tavrik_NetworkSeats_nativeFitFor(JNIEnv* env, jclass, jlong address, jint maxDays,
                                                             jint from, jint to, jint passengers, jobject legs) {
    return withCall(env, "fit", jint{0}, [&] {
        LocalRef<jclass> type(env, classOf(env, legs));
        const jmethodID addLeg = methodOf(env, type.get(), "addLeg", "(ILjava/lang/String;IIII)V");
        const jfieldID fewest = env->GetFieldID(type.get(), "fewestDays", "J");
        if (fewest == nullptr) throw JavaExceptionPending{};
        const tavrik::FitAnswer answer = networkOf(address).fitFor(maxDays, from, to, passengers);
        if (answer.kind == tavrik::FitAnswer::Kind::OverLimit) {
            if (!answer.fewestKnown) return kOverAnyLimit;
            env->SetLongField(legs, fewest, static_cast<jlong>(answer.fewestDays));
        }
        deliverFlights(env, answer.legs, [&](jstring name, const ReportedFlight& leg) {
            env->CallVoidMethod(legs, addLeg, leg.flight, name, leg.days, leg.from, leg.to, leg.booked);
        });
        return static_cast<jint>(answer.kind);
    });
}

JNIEXPORT void JNICALL Java_tavrik_NetworkSeats_nativeBook(JNIEnv* env, jclass, jlong address, jintArray flights,
                                                           jintArray from, jintArray to, jint passengers,
                                                           jstring key, jobject collector) {
    withCall(env, "book", [&] {
        // The arrays come from one route, of one length.
        const std::vector<int> numbers = intsOf(env, flights), departures = intsOf(env, from),
                               arrivals = intsOf(env, to);
        std::vector<TLegRequest> legs;
        legs.reserve(numbers.size());
        for (std::size_t i = 0; i < numbers.size() && i < departures.size() && i < arrivals.size(); ++i)
            legs.push_back(TLegRequest{numbers[i], departures[i], arrivals[i]});
        const Key k = keyOf(env, key);
        const TBooking booking = networkOf(address).bookRoute(legs, passengers, k.get());
        deliverBookings(env, collector, {booking});
    });
}

JNIEXPORT void JNICALL Java_tavrik_NetworkSeats_nativeFitAndBook(JNIEnv* env, jclass, jlong address, jint maxDays,
                                                                 jint from, jint to, jint passengers, jstring key,
                                                                 jobject collector) {
    withCall(env, "fitAndBook", [&] {
        const Key k = keyOf(env, key);
        const TBooking booking = networkOf(address).fitAndBookFor(maxDays, from, to, passengers, k.get());
        deliverBookings(env, collector, {booking});
    });
}

JNIEXPORT jboolean JNICALL Java_tavrik_NetworkSeats_nativeCancel(JNIEnv* env, jclass, jlong address,
                                                                 jlong booking) {
    return withCall(env, "cancel", jboolean{JNI_FALSE},
                    [&] { return static_cast<jboolean>(networkOf(address).cancelBooking(booking)); });
}

JNIEXPORT void JNICALL Java_tavrik_NetworkSeats_nativeBooking(JNIEnv* env, jclass, jlong address, jlong booking,
                                                              jobject collector) {
    withCall(env, "booking", [&] {
        const TBooking found = networkOf(address).readBooking(booking);
        deliverBookings(env, collector, {found});
    });
}

JNIEXPORT void JNICALL Java_tavrik_NetworkSeats_nativeBookings(JNIEnv* env, jclass, jlong address, jint airport,
                                                               jint flight, jobject collector) {
    withCall(env, "bookings", [&] {
        const std::vector<TBooking> found = networkOf(address).readBookings(airport, flight);
        deliverBookings(env, collector, found);
    });
}

}  // extern "C"
