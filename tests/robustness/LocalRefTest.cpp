// The exported functions that report lists to Java, run against a stand-in
// JNI environment that counts live local references: every reference a
// function creates is counted until it is deleted. A report must use a
// number of references that does not grow with its length (a JVM gives a
// native call a small local frame; a report of 100,000 flights that kept
// each name would exhaust it). Recent JVMs no longer warn about this under
// -Xcheck:jni, so it is checked here.

#include <gtest/gtest.h>
#include <jni.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "library/Network.h"
#include "native/tavrik.h"
#include "palvorin_aggregateFiting.h"
#include "palvorin_airport_AirportFrame.h"
#include "tavrik_Network.h"
#include "tavrik_NetworkSeats.h"

namespace {

// Handles are addresses inside this array, so that each one is distinct.
char handles[1 << 16];
std::size_t nextHandle = 0;
long live = 0;
long peak = 0;
long callbacks = 0;
bool threw = false;

jobject newRef() {
    ++live;
    peak = std::max(peak, live);
    return reinterpret_cast<jobject>(&handles[nextHandle++ % sizeof handles]);
}

jclass JNICALL findClass(JNIEnv*, const char*) { return static_cast<jclass>(newRef()); }
jclass JNICALL getObjectClass(JNIEnv*, jobject) { return static_cast<jclass>(newRef()); }
jstring JNICALL newStringUtf(JNIEnv*, const char*) { return static_cast<jstring>(newRef()); }
jintArray JNICALL newIntArray(JNIEnv*, jsize) { return static_cast<jintArray>(newRef()); }
jobjectArray JNICALL newObjectArray(JNIEnv*, jsize, jclass, jobject) { return static_cast<jobjectArray>(newRef()); }
void JNICALL deleteLocalRef(JNIEnv*, jobject ref) {
    if (ref != nullptr) --live;
}
jobject JNICALL newGlobalRef(JNIEnv*, jobject ref) { return ref; }
void JNICALL deleteGlobalRef(JNIEnv*, jobject) {}
void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray, jsize, jobject) {}
void JNICALL setIntArrayRegion(JNIEnv*, jintArray, jsize, jsize, const jint*) {}
int dummy = 0;
jmethodID JNICALL methodId(JNIEnv*, jclass, const char*, const char*) { return reinterpret_cast<jmethodID>(&dummy); }
jfieldID JNICALL fieldId(JNIEnv*, jclass, const char*, const char*) { return reinterpret_cast<jfieldID>(&dummy); }
int airportField = 0;
jint JNICALL getIntField(JNIEnv*, jobject, jfieldID) { return airportField; }
void JNICALL callVoidMethodV(JNIEnv*, jobject, jmethodID, va_list) { ++callbacks; }
jboolean JNICALL exceptionCheck(JNIEnv*) { return threw ? JNI_TRUE : JNI_FALSE; }
jthrowable JNICALL exceptionOccurred(JNIEnv*) { return nullptr; }
void JNICALL exceptionClear(JNIEnv*) {}
jint JNICALL throwNew(JNIEnv*, jclass, const char*) {
    threw = true;
    return 0;
}
jint JNICALL throwObject(JNIEnv*, jthrowable) {
    threw = true;
    return 0;
}
jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID, va_list) { return newRef(); }

JNINativeInterface_ table{};
JNIEnv env{};
jint JNICALL getEnv(JavaVM*, void** out, jint) {
    *out = &env;
    return JNI_OK;
}
JNIInvokeInterface_ vmTable{};
JavaVM vm{};

class LocalRefs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        table.FindClass = findClass;
        table.GetObjectClass = getObjectClass;
        table.NewStringUTF = newStringUtf;
        table.NewIntArray = newIntArray;
        table.NewObjectArray = newObjectArray;
        table.DeleteLocalRef = deleteLocalRef;
        table.NewGlobalRef = newGlobalRef;
        table.DeleteGlobalRef = deleteGlobalRef;
        table.SetObjectArrayElement = setObjectArrayElement;
        table.SetIntArrayRegion = setIntArrayRegion;
        table.GetMethodID = methodId;
        table.GetStaticMethodID = methodId;
        table.GetFieldID = fieldId;
        table.GetStaticFieldID = fieldId;
        table.GetIntField = getIntField;
        table.CallVoidMethodV = callVoidMethodV;
        table.CallStaticObjectMethodV = callStaticObjectMethodV;
        table.ExceptionCheck = exceptionCheck;
        table.ExceptionOccurred = exceptionOccurred;
        table.ExceptionClear = exceptionClear;
        table.ThrowNew = throwNew;
        table.Throw = throwObject;
        env.functions = &table;
        vmTable.GetEnv = getEnv;
        vm.functions = &vmTable;
    }

    void SetUp() override { reset(); }

    static void reset() {
        live = 0;
        peak = 0;
        callbacks = 0;
        threw = false;
    }

    // Runs `report` once on a small network and once on a large one, and checks that both used the same references at most, that
    // the larger made a callback per item at least, and that at most
    // `returned` references are left (the call's result).
    template <class Build, class Report>
    static void expectBounded(Build&& build, Report&& report, long returned) {
        long peaks[2] = {};
        long calls[2] = {};
        const int sizes[2] = {10, 2000};
        for (int i = 0; i < 2; ++i) {
            tavrik::Network network;
            build(network, sizes[i]);
            reset();
            report(network);
            EXPECT_FALSE(threw) << "the report threw a Java exception";
            EXPECT_LE(live, returned) << "local references left after a report of " << sizes[i];
            peaks[i] = peak;
            calls[i] = callbacks;
        }
        EXPECT_GE(calls[1], sizes[1]) << "the larger report made too few callbacks";
        EXPECT_EQ(peaks[0], peaks[1]) << "local references grow with the report's length";
        EXPECT_LE(peaks[1], 6);
    }

    static jlong handle(tavrik::Network& network) { return static_cast<jlong>(reinterpret_cast<std::intptr_t>(&network)); }
    static jobject receiver() { return reinterpret_cast<jobject>(&dummy); }

    // Airport 1 with `n` flights to airports 2 .. n + 1 and one back from each.
    static void star(tavrik::Network& network, int n) {
        network.insertAirport(1, "hub");
        for (int a = 2; a <= n + 1; ++a) {
            network.insertAirport(a, "spoke " + std::to_string(a));
            network.insertFlight(a, "out", 1, 1, a);
            network.insertFlight(100000 + a, "back", 1, a, 1);
        }
    }
};

TEST_F(LocalRefs, NetworkReadsOfAnyLengthUseAFixedNumber) {
    expectBounded(star, [](tavrik::Network& n) {
        Java_tavrik_Network_nativeAirport(&env, nullptr, handle(n), 1, receiver());
    }, 1);
    expectBounded(star, [](tavrik::Network& n) {
        Java_tavrik_Network_nativeAirports(&env, nullptr, handle(n));
        callbacks = n.readAirports().size();  // the names are array elements, not callbacks
    }, 1);
}

TEST_F(LocalRefs, BookingListsOfAnyLengthUseAFixedNumber) {
    auto booked = [](tavrik::Network& network, int n) {
        star(network, 1);
        for (int i = 0; i < n; ++i) network.bookRoute({TLegRequest{2, 1, 2}}, 1, nullptr);
    };
    expectBounded(booked, [](tavrik::Network& n) {
        Java_tavrik_NetworkSeats_nativeBookings(&env, nullptr, handle(n), 1, 2, receiver());
    }, 0);
}

TEST_F(LocalRefs, HostClassReportsOfAnyLengthUseAFixedNumber) {
    ASSERT_EQ(JNI_VERSION_1_8, JNI_OnLoad(&vm, nullptr));
    tavrik::Network& shared = tavrik::sharedNetwork();
    star(shared, 2000);
    // A route of many legs: a chain 5001 -> 5002 -> ... -> 5101.
    for (int a = 5001; a <= 5101; ++a) shared.insertAirport(a, "chain");
    for (int a = 5001; a < 5101; ++a) shared.insertFlight(a, "leg", 1, a, a + 1);

    reset();
    airportField = 1;
    Java_palvorin_airport_AirportFrame_setData(&env, receiver());
    EXPECT_FALSE(threw);
    EXPECT_EQ(4000, callbacks);
    EXPECT_EQ(0, live);
    EXPECT_LE(peak, 4);

    ASSERT_EQ(0, Java_palvorin_aggregateFiting_getRouteFlight(&env, receiver(), 1000, 5001, 5101));
    reset();
    Java_palvorin_aggregateFiting_setData(&env, receiver());
    EXPECT_FALSE(threw);
    EXPECT_GE(callbacks, 100);  // each of the 100 legs
    EXPECT_EQ(0, live);
    EXPECT_LE(peak, 4);
    JNI_OnUnload(&vm, nullptr);
}

}  // namespace
