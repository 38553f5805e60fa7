// The one native method of tavrik.RouteQuery: a route-choice query on the
// network of the handle, its routes or airports handed to the collector.

#include <jni.h>

#include <vector>

#include "library/Network.h"
#include "native/JniSupport.h"
#include "native/tavrik.h"
#include "tavrik_RouteQuery.h"

using tavrik::classOf;
using tavrik::deliverFlights;
using tavrik::JavaExceptionPending;
using tavrik::LocalRef;
using tavrik::methodOf;
using tavrik::ReportedFlight;

namespace {

std::vector<int> intsOf(JNIEnv* env, jintArray array) {
    if (array == nullptr) throw tavrik::NullArgument{"an airport or flight array of the query is null"};
    const jsize length = env->GetArrayLength(array);
    std::vector<int> out(static_cast<std::size_t>(length));
    if (length > 0) env->GetIntArrayRegion(array, 0, length, reinterpret_cast<jint*>(out.data()));
    if (env->ExceptionCheck()) throw JavaExceptionPending{};
    return out;
}

// The four kinds, as tavrik.RouteQuery numbers them.
enum Kind : jint { kFit = 0, kFront = 1, kAlternatives = 2, kReach = 3 };

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_tavrik_RouteQuery_nativeQuery(JNIEnv* env, jclass, jlong address, jint kind,
                                                          jintArray from, jintArray to,
                                                          jintArray avoid, jintArray avoidFlights,
                                                          jintArray options, jobject out) {
    // The method's name, for the refusal's message.
    const char* name = kind == kFit ? "fit" : kind == kFront ? "front" : kind == kAlternatives ? "alternatives" : "reach";
    return tavrik::withCall(env, name, jint{0}, [&] {
        Choices::Query q;
        q.from = intsOf(env, from);
        q.to = intsOf(env, to);
        q.avoidAirports = intsOf(env, avoid);
        q.avoidFlights = intsOf(env, avoidFlights);
        // hasVia, via, hasMaxLegs, maxLegs, maxDays, k, hasPassengers, passengers
        const std::vector<int> o = intsOf(env, options);
        if (o.size() != 8) throw tavrik::IllegalArgument{"the query's options have the wrong length"};
        q.hasVia = o[0] != 0;
        q.via = o[1];
        q.hasMaxLegs = o[2] != 0;
        q.maxLegs = o[3];
        const int maxDays = o[4], k = o[5];
        q.hasPassengers = o[6] != 0;
        q.passengers = o[7];

        LocalRef<jclass> type(env, classOf(env, out));
        tavrik::Network& network = tavrik::networkOf(address);
        if (kind == kReach) {
            const jmethodID add = methodOf(env, type.get(), "addReached", "(IJI)V");
            for (const Choices::Reached& r : network.reach(q, maxDays)) {
                env->CallVoidMethod(out, add, r.airport, static_cast<jlong>(r.days), r.legs);
                if (env->ExceptionCheck()) throw JavaExceptionPending{};
            }
            return jint{0};
        }
        const jmethodID addLeg = methodOf(env, type.get(), "addLeg", "(ILjava/lang/String;IIII)V");
        const jmethodID endRoute = methodOf(env, type.get(), "endRoute", "(II)V");
        auto deliver = [&](const tavrik::ChoiceRoute& route) {
            deliverFlights(env, route.legs, [&](jstring legName, const ReportedFlight& leg) {
                env->CallVoidMethod(out, addLeg, leg.flight, legName, leg.days, leg.from, leg.to, leg.booked);
            });
            env->CallVoidMethod(out, endRoute, route.from, route.to);
            if (env->ExceptionCheck()) throw JavaExceptionPending{};
        };
        if (kind == kFit) {
            const jfieldID fewest = env->GetFieldID(type.get(), "fewestDays", "J");
            if (fewest == nullptr) throw JavaExceptionPending{};
            const tavrik::ChoiceFit answer = network.fitChoice(q, maxDays);
            if (answer.kind == tavrik::FitAnswer::Kind::Route) deliver(answer.route);
            if (answer.kind == tavrik::FitAnswer::Kind::OverLimit)
                env->SetLongField(out, fewest, static_cast<jlong>(answer.fewestDays));
            return static_cast<jint>(answer.kind);
        }
        const std::vector<tavrik::ChoiceRoute> routes =
            kind == kFront ? network.front(q, maxDays) : network.alternatives(q, maxDays, k);
        for (const tavrik::ChoiceRoute& r : routes) deliver(r);
        return jint{0};
    });
}

}  // extern "C"
