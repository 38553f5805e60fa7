// The methods of tavrik.Network: each finds its network from the handle the
// Java object passes (see tavrik::networkOf) and calls one typed operation.
// A refusal becomes the exception of its rule, naming the Java method.
//
// The Java object guarantees that the handle is open for the length of the
// call: close waits for calls in progress, and a call after close throws
// before it gets here.

#include <jni.h>

#include <memory>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <vector>

#include "library/Network.h"
#include "native/JniSupport.h"
#include "native/tavrik.h"
#include "tavrik_Network.h"

using tavrik::classOf;
using tavrik::copyUtf;
using tavrik::deliverFlights;
using tavrik::IllegalArgument;
using tavrik::JavaExceptionPending;
using tavrik::LocalRef;
using tavrik::methodOf;
using tavrik::NullArgument;
using tavrik::ReportedFlight;
using tavrik::Network;
using tavrik::networkOf;
using tavrik::withBoundary;
using tavrik::withCall;

namespace {

jlong handleOf(Network* network) { return static_cast<jlong>(reinterpret_cast<std::intptr_t>(network)); }

// The callbacks of the read collectors (tavrik.FlightCollector and
// tavrik.LegCollector).
const char* const kFlightCallbackName = "addFlight";
const char* const kFlightCallbackSignature = "(IILjava/lang/String;IIII)V";
const char* const kLegCallbackName = "addLeg";
const char* const kLegCallbackSignature = "(ILjava/lang/String;IIII)V";

// nativeFit's answer when even the largest limit is below the fewest days.
constexpr jint kOverAnyLimit = 3;

// A Java int array's elements; the array was checked for null by Java.
std::vector<int> intsOf(JNIEnv* env, jintArray array, jsize length) {
    std::vector<int> out(static_cast<std::size_t>(length));
    if (length > 0) env->GetIntArrayRegion(array, 0, length, reinterpret_cast<jint*>(out.data()));
    if (env->ExceptionCheck()) throw JavaExceptionPending{};
    return out;
}

// Element `i` of a Java string array, as a std::string.
std::string nameAt(JNIEnv* env, jobjectArray names, jsize i) {
    LocalRef<jstring> name(env, static_cast<jstring>(env->GetObjectArrayElement(names, i)));
    if (env->ExceptionCheck()) throw JavaExceptionPending{};
    return copyUtf(env, name.get(), "a name of the batch is null");
}

jsize lengthOf(JNIEnv* env, jarray array) {
    if (array == nullptr) throw NullArgument{"an array of the batch is null"};
    return env->GetArrayLength(array);
}

// The C library keeps what a closed network freed for later allocations,
// and its resident memory stays: a program that makes and closes many
// networks would keep the largest amount it ever held. After a close, the
// free memory of every arena goes back to the system.
void returnFreedMemory() noexcept {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_tavrik_Network_nativeCreate(JNIEnv* env, jclass) {
    return withBoundary(env, jlong{0}, [&] { return handleOf(new Network()); });
}

JNIEXPORT jlong JNICALL Java_tavrik_Network_nativeOpen(JNIEnv* env, jclass, jbyteArray folder, jboolean full) {
    return withBoundary(env, jlong{0}, [&] {
        const jsize size = env->GetArrayLength(folder);
        std::string path(static_cast<std::size_t>(size), '\0');
        env->GetByteArrayRegion(folder, 0, size, reinterpret_cast<jbyte*>(path.data()));
        if (path.empty() || path.find('\0') != std::string::npos)
            throw std::invalid_argument("a folder path must be non-empty and hold no NUL character");
        auto network = Network::open(path, full ? tavrik::durable::Durability::Full : tavrik::durable::Durability::Normal);
        return handleOf(network.release());
    });
}

JNIEXPORT void JNICALL Java_tavrik_Network_nativeCheckpoint(JNIEnv* env, jclass, jlong address) {
    withCall(env, "checkpoint", [&] {
        Network& network = networkOf(address);
        if (!network.kept()) {
            LocalRef<jclass> type(env, env->FindClass("java/lang/IllegalStateException"));
            tavrik::throwJava(env, type.get(), "checkpoint: this network is not kept in a folder");
            throw JavaExceptionPending{};
        }
        network.checkpoint();
    });
}

JNIEXPORT jlong JNICALL Java_tavrik_Network_nativeShared(JNIEnv* env, jclass) {
    return withBoundary(env, jlong{0}, [&] { return handleOf(&tavrik::sharedNetwork()); });
}

JNIEXPORT void JNICALL Java_tavrik_Network_nativeFree(JNIEnv*, jclass, jlong address) {
    delete &networkOf(address);
    returnFreedMemory();
}

JNIEXPORT void JNICALL Java_tavrik_Network_nativeAddAirport(JNIEnv* env, jclass, jlong address, jint airport,
                                                            jstring name) {
    withCall(env, "addAirport", [&] {
        std::string text = copyUtf(env, name, "airport name is null");
        networkOf(address).insertAirport(airport, std::move(text));
    });
}

JNIEXPORT void JNICALL Java_tavrik_Network_nativeAddFlight(JNIEnv* env, jclass, jlong address, jint flight,
                                                           jstring name, jint days, jint from, jint to) {
    withCall(env, "addFlight", [&] {
        std::string text = copyUtf(env, name, "flight name is null");
        networkOf(address).insertFlight(flight, std::move(text), days, from, to);
    });
}

JNIEXPORT jboolean JNICALL Java_tavrik_Network_nativeRemoveFlight(JNIEnv* env, jclass, jlong address,
                                                                  jint airport, jint flight) {
    return withCall(env, "removeFlight", jboolean{JNI_FALSE}, [&] {
        return static_cast<jboolean>(networkOf(address).eraseFlight(airport, flight));
    });
}

JNIEXPORT jboolean JNICALL Java_tavrik_Network_nativeRemoveAirport(JNIEnv* env, jclass, jlong address,
                                                                   jint airport) {
    return withCall(env, "removeAirport", jboolean{JNI_FALSE}, [&] {
        return static_cast<jboolean>(networkOf(address).eraseAirport(airport));
    });
}

JNIEXPORT void JNICALL Java_tavrik_Network_nativeLoad(JNIEnv* env, jclass, jlong address, jintArray airports,
                                                      jobjectArray airportNames, jintArray flights,
                                                      jobjectArray flightNames, jintArray days, jintArray from,
                                                      jintArray to) {
    withCall(env, "load", [&] {
        // The Java side has checked the arrays; checked again here, since a
        // wrong length would read past an array.
        const jsize a = lengthOf(env, airports), f = lengthOf(env, flights);
        if (lengthOf(env, airportNames) != a || lengthOf(env, flightNames) != f || lengthOf(env, days) != f ||
            lengthOf(env, from) != f || lengthOf(env, to) != f)
            throw IllegalArgument{"the arrays of a batch differ in length; nothing was loaded"};
        const std::vector<int> airportNumbers = intsOf(env, airports, a);
        std::vector<tavrik::AirportItem> airportItems;
        airportItems.reserve(static_cast<std::size_t>(a));
        for (jsize i = 0; i < a; ++i)
            airportItems.push_back(tavrik::AirportItem{airportNumbers[static_cast<std::size_t>(i)],
                                                       nameAt(env, airportNames, i)});
        const std::vector<int> numbers = intsOf(env, flights, f), dayCounts = intsOf(env, days, f),
                               departures = intsOf(env, from, f), arrivals = intsOf(env, to, f);
        std::vector<tavrik::FlightItem> flightItems;
        flightItems.reserve(static_cast<std::size_t>(f));
        for (jsize i = 0; i < f; ++i) {
            const auto k = static_cast<std::size_t>(i);
            flightItems.push_back(tavrik::FlightItem{numbers[k], nameAt(env, flightNames, i), dayCounts[k],
                                                     departures[k], arrivals[k]});
        }
        networkOf(address).load(std::move(airportItems), std::move(flightItems));
    });
}

JNIEXPORT jlong JNICALL Java_tavrik_Network_nativeCopy(JNIEnv* env, jclass, jlong address) {
    return withCall(env, "copy", jlong{0}, [&] { return handleOf(networkOf(address).copy().release()); });
}

JNIEXPORT jobjectArray JNICALL Java_tavrik_Network_nativeAirports(JNIEnv* env, jclass, jlong address) {
    return withCall(env, "airports", jobjectArray{nullptr}, [&] {
        const std::vector<tavrik::AirportItem> airports = networkOf(address).readAirports();
        const auto count = static_cast<jsize>(airports.size());
        LocalRef<jintArray> numbers(env, env->NewIntArray(count));
        if (!numbers) throw JavaExceptionPending{};
        LocalRef<jclass> stringClass(env, env->FindClass("java/lang/String"));
        if (!stringClass) throw JavaExceptionPending{};
        LocalRef<jobjectArray> names(env, env->NewObjectArray(count, stringClass.get(), nullptr));
        if (!names) throw JavaExceptionPending{};
        std::vector<jint> values;
        values.reserve(airports.size());
        for (jsize i = 0; i < count; ++i) {
            const tavrik::AirportItem& airport = airports[static_cast<std::size_t>(i)];
            values.push_back(airport.airport);
            LocalRef<jstring> name(env, env->NewStringUTF(airport.name.c_str()));
            if (!name) throw JavaExceptionPending{};
            env->SetObjectArrayElement(names.get(), i, name.get());
            if (env->ExceptionCheck()) throw JavaExceptionPending{};
        }
        if (count > 0) env->SetIntArrayRegion(numbers.get(), 0, count, values.data());
        LocalRef<jclass> objectClass(env, env->FindClass("java/lang/Object"));
        if (!objectClass) throw JavaExceptionPending{};
        jobjectArray pair = env->NewObjectArray(2, objectClass.get(), nullptr);
        if (pair == nullptr) throw JavaExceptionPending{};
        env->SetObjectArrayElement(pair, 0, numbers.get());
        env->SetObjectArrayElement(pair, 1, names.get());
        return pair;
    });
}

JNIEXPORT jstring JNICALL Java_tavrik_Network_nativeAirport(JNIEnv* env, jclass, jlong address, jint airport,
                                                            jobject collector) {
    return withCall(env, "airport", jstring{nullptr}, [&] {
        LocalRef<jclass> type(env, classOf(env, collector));
        const jmethodID add = methodOf(env, type.get(), kFlightCallbackName, kFlightCallbackSignature);
        const tavrik::AirportSnapshot snapshot = networkOf(address).readAirport(airport);
        deliverFlights(env, snapshot.flights, [&](jstring name, const ReportedFlight& f) {
            env->CallVoidMethod(collector, add, f.airport, f.flight, name, f.days, f.from, f.to, f.booked);
        });
        jstring name = env->NewStringUTF(snapshot.name.c_str());
        if (name == nullptr) throw JavaExceptionPending{};
        return name;
    });
}

JNIEXPORT void JNICALL Java_tavrik_Network_nativeFlight(JNIEnv* env, jclass, jlong address, jint airport,
                                                        jint flight, jobject collector) {
    withCall(env, "flight", [&] {
        LocalRef<jclass> type(env, classOf(env, collector));
        const jmethodID add = methodOf(env, type.get(), kFlightCallbackName, kFlightCallbackSignature);
        std::vector<ReportedFlight> found(1);
        if (!networkOf(address).readFlight(airport, flight, found[0])) return;
        deliverFlights(env, found, [&](jstring name, const ReportedFlight& f) {
            env->CallVoidMethod(collector, add, f.airport, f.flight, name, f.days, f.from, f.to, f.booked);
        });
    });
}

JNIEXPORT jint JNICALL Java_tavrik_Network_nativeFit(JNIEnv* env, jclass, jlong address, jint maxDays, jint from,
                                                     jint to, jobject legs) {
    return withCall(env, "fit", jint{0}, [&] {
        LocalRef<jclass> type(env, classOf(env, legs));
        const jmethodID addLeg = methodOf(env, type.get(), kLegCallbackName, kLegCallbackSignature);
        const jfieldID fewest = env->GetFieldID(type.get(), "fewestDays", "J");
        if (fewest == nullptr) throw JavaExceptionPending{};
        const tavrik::FitAnswer answer = networkOf(address).fit(maxDays, from, to);
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

}  // extern "C"
