#include "native/JniSupport.h"

namespace tavrik {

JavaExceptionClasses& exceptionClasses() {
    static JavaExceptionClasses classes;
    return classes;
}

std::unique_lock<std::mutex> lockNetwork() {
    // Never destroyed: Java threads may still call in while the process exits.
    static std::mutex* network = new std::mutex();
    return std::unique_lock<std::mutex>(*network);
}

void throwJava(JNIEnv* env, jclass type, const char* message) {
    // An exception already pending (from the JVM itself) is the better report.
    if (env->ExceptionCheck()) return;
    if (type == nullptr) return;
    env->ThrowNew(type, message);
}

namespace {

// Gives the characters back to the JVM on every path.
class Utf8Chars {
public:
    Utf8Chars(JNIEnv* env, jstring text) : env(env), text(text), chars(env->GetStringUTFChars(text, nullptr)) {}
    ~Utf8Chars() {
        if (chars != nullptr) env->ReleaseStringUTFChars(text, chars);
    }
    Utf8Chars(const Utf8Chars&) = delete;
    Utf8Chars& operator=(const Utf8Chars&) = delete;
    const char* get() const { return chars; }

private:
    JNIEnv* env;
    jstring text;
    const char* chars;
};

}  // namespace

std::string copyUtf(JNIEnv* env, jstring text, const char* argumentName) {
    if (text == nullptr) throw NullArgument{argumentName};
    Utf8Chars chars(env, text);
    if (chars.get() == nullptr) throw JavaExceptionPending{};
    return std::string(chars.get());
}

}  // namespace tavrik
