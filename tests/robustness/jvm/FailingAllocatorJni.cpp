// The failing allocator as a library preloaded into a JVM (LD_PRELOAD), so
// that its operator new replaces the global one for libtavrik.so as well.
// A Java test arms it for its own thread through two static natives of
// tavrik.robustness.FailingAllocation, registered here when the test class
// loads this same file with System.load: the dynamic loader hands back the
// already preloaded copy, and the JVM runs its JNI_OnLoad.

#include <jni.h>

#include "tests/robustness/FailingAllocator.h"

namespace {

// Makes the N-th native allocation of the calling thread fail (and every
// later one too when `persistent`).
void JNICALL arm(JNIEnv*, jclass, jint n, jboolean persistent) {
    failing::arm(static_cast<std::uint64_t>(n), persistent == JNI_TRUE);
}

// Disarms; the number of allocations made to fail since arm().
jint JNICALL disarm(JNIEnv*, jclass) { return static_cast<jint>(failing::disarm()); }

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void*) {
    JNIEnv* env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8) != JNI_OK) return JNI_ERR;
    jclass control = env->FindClass("tavrik/robustness/FailingAllocation");
    if (control == nullptr) return JNI_ERR;
    const JNINativeMethod methods[] = {
        {const_cast<char*>("arm"), const_cast<char*>("(IZ)V"), reinterpret_cast<void*>(&arm)},
        {const_cast<char*>("disarm"), const_cast<char*>("()I"), reinterpret_cast<void*>(&disarm)},
    };
    const jint registered = env->RegisterNatives(control, methods, 2);
    env->DeleteLocalRef(control);
    return registered == JNI_OK ? JNI_VERSION_1_8 : JNI_ERR;
}
