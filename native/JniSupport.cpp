#include "native/JniSupport.h"

namespace tavrik {

JavaExceptionClasses& exceptionClasses() {
    static JavaExceptionClasses classes;
    return classes;
}

void throwJava(JNIEnv* env, jclass type, const char* message) {
    // An exception already pending (from the JVM itself) is the better report.
    if (env->ExceptionCheck()) return;
    if (type == nullptr) return;
    env->ThrowNew(type, message);
}

std::string copyUtf(JNIEnv* env, jstring text, const char* argumentName) {
    if (text == nullptr) throw NullArgument{argumentName};
    // Copied straight into the string: no buffer of the JVM's to allocate and
    // give back. The region call also writes a terminating NUL, which lands
    // on the string's own terminator.
    const jsize length = env->GetStringLength(text);
    const jsize bytes = env->GetStringUTFLength(text);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    env->GetStringUTFRegion(text, 0, length, &out[0]);
    if (env->ExceptionCheck()) throw JavaExceptionPending{};
    return out;
}

}  // namespace tavrik
