#include <jni.h>

#include <memory>
#include <mutex>
#include <new>

#include "flights/TManagementFlight.h"
#include "native/JniSupport.h"
#include "native/tavrik.h"
#include "store/TDataAccess.h"
#include "tickets/TArmoringTicket.h"

IManagementFlight* pManagementFlight = nullptr;
IArmoringTicket* pArmoringTicket = nullptr;

namespace {

// The library object lives in static storage, built in place by the load
// hook. It and the objects below are freed only by the unload hook, which
// the JVM calls once the class loader that loaded the library is gone, so
// no Java thread can call in any more; at process exit nothing is freed,
// since Java threads may still be calling in.
alignas(tavrik::Library) unsigned char libraryStorage[sizeof(tavrik::Library)];
tavrik::Library* theLibrary = nullptr;
DataAccess::TDataAccess* theStore = nullptr;

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

// One store, the flight-management service on it, then the booking service
// on the same store. Built aside and published only when all three exist.
bool buildObjectGraph() {
    try {
        std::lock_guard<std::mutex> lock(loading);
        if (theLibrary != nullptr) return true;  // loaded before
        auto store = std::make_unique<DataAccess::TDataAccess>();
        auto management = std::make_unique<ManagementFlight::TManagementFlight>(store.get());
        auto booking = std::make_unique<ArmoringTicket::TArmoringTicket>(store.get());
        theStore = store.release();
        pManagementFlight = management.release();
        pArmoringTicket = booking.release();
        theLibrary = new (libraryStorage) tavrik::Library(*pManagementFlight, *pArmoringTicket);
        return true;
    } catch (...) {
        return false;
    }
}

// Frees what buildObjectGraph built, users before what they use: the booking
// service (its route fitting listens to the store), the management service,
// then the store.
void freeObjectGraph() {
    std::lock_guard<std::mutex> lock(loading);
    if (theLibrary != nullptr) theLibrary->~Library();
    theLibrary = nullptr;
    delete pArmoringTicket;
    pArmoringTicket = nullptr;
    delete pManagementFlight;
    pManagementFlight = nullptr;
    delete theStore;
    theStore = nullptr;
}

}  // namespace

tavrik::Library& tavrik::library() { return *theLibrary; }

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
        !buildObjectGraph()) {
        deleteExceptionClasses(env);
        return JNI_ERR;
    }
    return JNI_VERSION_1_8;
}

// Called by the JVM when the class loader that loaded the library has been
// collected, before the library is unmapped: frees the network, the ticket
// list and the services, and deletes the global references, so that a load
// afterwards starts from an empty network and nothing is left behind.
extern "C" JNIEXPORT void JNICALL JNI_OnUnload(JavaVM* vm, void* /*reserved*/) {
    freeObjectGraph();
    JNIEnv* env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8) != JNI_OK) env = nullptr;
    deleteExceptionClasses(env);
}
