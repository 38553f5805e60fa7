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

// The library object lives in static storage and is never destroyed: Java
// threads may still call in while the process exits.
alignas(tavrik::Library) unsigned char libraryStorage[sizeof(tavrik::Library)];
tavrik::Library* theLibrary = nullptr;

// Serialises loads (a library loaded again after a failed load).
std::mutex loading;

jclass globalClass(JNIEnv* env, const char* name) {
    tavrik::LocalRef<jclass> local(env, env->FindClass(name));
    if (!local) {
        env->ExceptionClear();
        return nullptr;
    }
    return static_cast<jclass>(env->NewGlobalRef(local.get()));
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
        store.release();  // lives as long as the process, like the services
        pManagementFlight = management.release();
        pArmoringTicket = booking.release();
        theLibrary = new (libraryStorage) tavrik::Library(*pManagementFlight, *pArmoringTicket);
        return true;
    } catch (...) {
        return false;
    }
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
    }
    if (classes.outOfMemoryError == nullptr || classes.runtimeException == nullptr ||
        classes.nullPointerException == nullptr)
        return JNI_ERR;

    if (!buildObjectGraph()) return JNI_ERR;
    return JNI_VERSION_1_8;
}
