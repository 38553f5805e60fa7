// A deliberately misbehaving JNI function, built only for the tests: it shows
// that the Java test runner really fails a run in which -Xcheck:jni complains.
//
// Mode 0 behaves; mode 1 makes a JNI call while an exception is pending;
// mode 2 keeps more local references alive than the JVM guarantees without
// EnsureLocalCapacity.

#include <jni.h>

extern "C" JNIEXPORT jint JNICALL Java_tavrik_jnitest_gate_JniGateProbe_misbehave(JNIEnv* env, jclass, jint mode) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return -1;
    jint made = 0;
    if (mode == 1) {
        jclass errorClass = env->FindClass("java/lang/IllegalStateException");
        if (errorClass == nullptr) return -1;
        env->ThrowNew(errorClass, "thrown by the gate probe");
        // Not allowed while the exception is pending: -Xcheck:jni warns.
        jstring text = env->NewStringUTF("made with an exception pending");
        if (text != nullptr) made = 1;
        env->ExceptionClear();
    } else if (mode == 2) {
        // 64 live local references, none deleted: past what the JVM grants
        // a native frame without EnsureLocalCapacity (16, checked as 32).
        for (int i = 0; i < 64; ++i) {
            if (env->NewStringUTF("leaked local reference") != nullptr) ++made;
        }
    } else {
        jstring text = env->NewStringUTF("well behaved");
        if (text != nullptr) {
            made = 1;
            env->DeleteLocalRef(text);
        }
    }
    env->DeleteLocalRef(stringClass);
    return made;
}
