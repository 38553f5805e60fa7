#include <jni.h>

#include <mutex>

#include "native/JniSupport.h"
#include "native/tavrik.h"

IManagementFlight* pManagementFlight = nullptr;
IArmoringTicket* pArmoringTicket = nullptr;

namespace {

// The network of the fixed host classes, built by the load hook. It is freed
// only by the unload hook, which the JVM calls once the class loader that
// loaded the library is gone, so no Java thread can call in any more; at
// process exit nothing is freed, since Java threads may still be calling in.
// The networks of tavrik.Network objects are each freed by their object.
tavrik::Network* theShared = nullptr;

// Serialises loads and unloads (a library loaded again after a failed load,
// or after it was unloaded).
std::mutex loading;

jclass globalClass(JNIEnv* env, const char* name) {
    tavrik::LocalRef<jclass> local(env, env->FindClass(name));
    if (!local) {
        env->ExceptionClear();
        return nullptr;
    }
    return static_cast<jclass>(env->NewGlobalRef(local.get()));
}

void deleteGlobal(JNIEnv* env, jclass& type) {
    if (type != nullptr && env != nullptr) env->DeleteGlobalRef(type);
    type = nullptr;
}

void deleteExceptionClasses(JNIEnv* env) {
    tavrik::JavaExceptionClasses& classes = tavrik::exceptionClasses();
    deleteGlobal(env, classes.outOfMemoryError);
    deleteGlobal(env, classes.runtimeException);
    deleteGlobal(env, classes.nullPointerException);
    deleteGlobal(env, classes.illegalArgumentException);
}

// Whether the jar's factory of refusal exceptions is there; a jar and a
// library of different versions fail here, at load, not at the first refusal.
bool refusalFactoryFound(JNIEnv* env) {
    tavrik::LocalRef<jclass> refusals(env, env->FindClass(tavrik::kRefusalsClass));
    if (!refusals || env->GetStaticMethodID(refusals.get(), tavrik::kRefusalFactoryName,
                                            tavrik::kRefusalFactorySignature) == nullptr) {
        env->ExceptionClear();
        return false;
    }
    return true;
}

// The shared network, and the host classes' pointers at its services.
bool buildSharedNetwork() {
    try {
        std::lock_guard<std::mutex> lock(loading);
        if (theShared != nullptr) return true;  // loaded before
        theShared = new tavrik::Network();
        pManagementFlight = &theShared->managementService();
        pArmoringTicket = &theShared->bookingService();
        return true;
    } catch (...) {
        return false;
    }
}

void freeSharedNetwork() {
    std::lock_guard<std::mutex> lock(loading);
    pManagementFlight = nullptr;
    pArmoringTicket = nullptr;
    delete theShared;
    theShared = nullptr;
}

}  // namespace

tavrik::Network& tavrik::sharedNetwork() { return *theShared; }

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void* /*reserved*/) {
    JNIEnv* env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8) != JNI_OK) return JNI_ERR;

    tavrik::JavaExceptionClasses& classes = tavrik::exceptionClasses();
    if (classes.outOfMemoryError == nullptr) {
        classes.outOfMemoryError = globalClass(env, "java/lang/OutOfMemoryError");
        classes.runtimeException = globalClass(env, "java/lang/RuntimeException");
        classes.nullPointerException = globalClass(env, "java/lang/NullPointerException");
        classes.illegalArgumentException = globalClass(env, "java/lang/IllegalArgumentException");
    }
    if (classes.outOfMemoryError == nullptr || classes.runtimeException == nullptr ||
        classes.nullPointerException == nullptr || classes.illegalArgumentException == nullptr ||
        !refusalFactoryFound(env) || !buildSharedNetwork()) {
        deleteExceptionClasses(env);
        return JNI_ERR;
    }
    return JNI_VERSION_1_8;
}

// Called by the JVM when the class loader that loaded the library has been
// collected, before the library is unmapped: frees the shared network (its
// store, services and ticket list), and deletes the global references, so that a load
// afterwards starts from an empty network and nothing is left behind.
extern "C" JNIEXPORT void JNICALL JNI_OnUnload(JavaVM* vm, void* /*reserved*/) {
    freeSharedNetwork();
    JNIEnv* env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8) != JNI_OK) env = nullptr;
    deleteExceptionClasses(env);
}
