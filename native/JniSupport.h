#pragma once

// The one way into the library from Java: every exported function runs its
// body through withBoundary, which
//  - reaches a network only through its operations (tavrik::sharedNetwork()
//    for the host classes, tavrik::networkOf(handle) for tavrik.Network),
//    which take the network's locks and release them before they return, so
//    that no JNI call that can run Java code (class lookups, exception
//    construction, callbacks) is made while a lock is held;
//  - turns every C++ exception into a Java exception in the calling thread:
//    a Refusal into the exception of its rule (made by the one Java factory,
//    tavrik.Refusals), std::bad_alloc into OutOfMemoryError, other
//    exceptions into RuntimeException (std::invalid_argument, a bad argument
//    of a typed operation, into IllegalArgumentException), NullArgument into
//    NullPointerException and IllegalArgument into IllegalArgumentException;
//  - leaves a Java exception that is already pending untouched
//    (JavaExceptionPending), returning the neutral value at once.

#include <jni.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "durable/FileLayer.h"
#include "library/Refusal.h"
#include "library/ReportCopy.h"

namespace tavrik {

// A Java exception is pending in the calling thread: return at once.
struct JavaExceptionPending {};

// A reference argument was null: throw NullPointerException with this message.
struct NullArgument {
    const char* message;
};

// An argument the library cannot take whole: throw IllegalArgumentException
// with this message.
struct IllegalArgument {
    std::string message;
};

// Global references to the exception classes, made by the load hook and
// deleted by the unload hook.
struct JavaExceptionClasses {
    jclass outOfMemoryError = nullptr;
    jclass runtimeException = nullptr;
    jclass nullPointerException = nullptr;
    jclass illegalArgumentException = nullptr;
};

// The one factory of refusal exceptions, a static method of tavrik.Refusals:
// (rule, call, index, flight item, a, b, c). Looked up where it is used, not
// held in a global reference: a global reference to a class of the jar would
// keep its class loader, and so the library, from ever being unloaded.
constexpr const char* kRefusalsClass = "tavrik/Refusals";
constexpr const char* kRefusalFactoryName = "refusal";
constexpr const char* kRefusalFactorySignature = "(ILjava/lang/String;JZJJJ)Ltavrik/NetworkException;";
JavaExceptionClasses& exceptionClasses();

void throwJava(JNIEnv* env, jclass type, const char* message);
// Throws tavrik.StorageException (a kept network's folder could not be used
// or could not record a change). Called from a native method of the jar's
// classes, whose class loader finds it.
void throwStorage(JNIEnv* env, const char* message);
// Throws the Java exception of the refusal's rule, naming `call`. Called from
// a native method of the jar's classes, whose class loader finds the factory.
void throwRefusal(JNIEnv* env, const Refusal& refusal, const char* call);

template <class Result, class Body>
Result withBoundary(JNIEnv* env, Result neutral, Body&& body) noexcept {
    const JavaExceptionClasses& classes = exceptionClasses();
    try {
        return body();
    } catch (const JavaExceptionPending&) {
    } catch (const Refusal& e) {
        throwRefusal(env, e, "");
    } catch (const NullArgument& e) {
        throwJava(env, classes.nullPointerException, e.message);
    } catch (const IllegalArgument& e) {
        throwJava(env, classes.illegalArgumentException, e.message.c_str());
    } catch (const std::invalid_argument& e) {
        throwJava(env, classes.illegalArgumentException, e.what());
    } catch (const std::bad_alloc&) {
        throwJava(env, classes.outOfMemoryError, "native heap exhausted in tavrik");
    } catch (const tavrik::durable::StorageError& e) {
        throwStorage(env, e.what());
    } catch (const std::exception& e) {
        throwJava(env, classes.runtimeException, e.what());
    } catch (...) {
        throwJava(env, classes.runtimeException, "unknown native failure in tavrik");
    }
    return neutral;
}

template <class Body>
void withBoundary(JNIEnv* env, Body&& body) noexcept {
    withBoundary(env, 0, [&] {
        body();
        return 0;
    });
}

// withBoundary for a method of the typed API: a refusal's exception names
// `call`, the Java method the caller called.
template <class Result, class Body>
Result withCall(JNIEnv* env, const char* call, Result neutral, Body&& body) noexcept {
    return withBoundary(env, neutral, [&]() -> Result {
        try {
            return body();
        } catch (const Refusal& e) {
            throwRefusal(env, e, call);
            throw JavaExceptionPending{};
        }
    });
}

template <class Body>
void withCall(JNIEnv* env, const char* call, Body&& body) noexcept {
    withCall(env, call, 0, [&] {
        body();
        return 0;
    });
}

// The most bytes of modified UTF-8 the JVM copies out of a string in one
// piece: GetStringUTFLength reports a longer string as this many (JDK 17).
constexpr jsize kLongestUtfCopy = 2147483646;

// The characters of a Java string in modified UTF-8, as a std::string.
// Throws NullArgument for null, and IllegalArgument for a string longer than
// kLongestUtfCopy bytes, before anything is allocated.
std::string copyUtf(JNIEnv* env, jstring text, const char* argumentName);

// The bytes copyUtf allocates for a string of `length` UTF-16 units: the
// JVM's count, recounted at the clamp. Throws IllegalArgument beyond
// kLongestUtfCopy bytes.
std::int64_t utfCopySize(JNIEnv* env, jstring text, jsize length);

// The class of a receiver. Throws JavaExceptionPending if the JVM failed.
jclass classOf(JNIEnv* env, jobject receiver);

// A method of `type`. Throws JavaExceptionPending (NoSuchMethodError is then
// pending) if it has none of that name and signature.
jmethodID methodOf(JNIEnv* env, jclass type, const char* name, const char* signature);

// Deletes a local reference when it goes out of scope.
template <class T>
class LocalRef final {
public:
    LocalRef(JNIEnv* env, T ref) : env(env), ref(ref) {}
    ~LocalRef() {
        if (ref != nullptr) env->DeleteLocalRef(ref);
    }
    LocalRef(const LocalRef&) = delete;
    LocalRef& operator=(const LocalRef&) = delete;
    T get() const { return ref; }
    explicit operator bool() const { return ref != nullptr; }

private:
    JNIEnv* env;
    T ref;
};

// Hands copied flights to Java in order: `call(name, flight)` makes one
// callback with the flight's name as a Java string, which is deleted right
// after it, so a report of any length uses a bounded number of local
// references. Stops at the first pending exception.
template <class Call>
void deliverFlights(JNIEnv* env, const std::vector<ReportedFlight>& flights, Call&& call) {
    for (const ReportedFlight& flight : flights) {
        LocalRef<jstring> name(env, env->NewStringUTF(flight.name.c_str()));
        if (!name) throw JavaExceptionPending{};
        call(name.get(), flight);
        if (env->ExceptionCheck()) throw JavaExceptionPending{};
    }
}

}  // namespace tavrik
