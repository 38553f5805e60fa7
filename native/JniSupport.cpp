#include "native/JniSupport.h"

#include <algorithm>
#include <cstdint>

namespace tavrik {

namespace {

// The length in modified UTF-8 of the string's UTF-16 units, counted in
// 64 bits: U+0001 to U+007F take one byte, NUL and U+0080 to U+07FF two,
// every other unit three (a surrogate pair is two units of three bytes).
std::int64_t modifiedUtf8Length(JNIEnv* env, jstring text, jsize length) {
    constexpr std::int64_t kChunk = 4096;
    jchar units[kChunk];
    std::int64_t bytes = 0;
    for (std::int64_t start = 0; start < length; start += kChunk) {
        const auto count = static_cast<jsize>(std::min(kChunk, length - start));
        env->GetStringRegion(text, static_cast<jsize>(start), count, units);
        if (env->ExceptionCheck()) throw JavaExceptionPending{};
        for (jsize i = 0; i < count; ++i) {
            const jchar unit = units[i];
            bytes += (unit != 0 && unit < 0x80) ? 1 : unit < 0x800 ? 2 : 3;
        }
    }
    return bytes;
}

}  // namespace

jclass classOf(JNIEnv* env, jobject receiver) {
    jclass type = env->GetObjectClass(receiver);
    if (type == nullptr) throw JavaExceptionPending{};
    return type;
}

jmethodID methodOf(JNIEnv* env, jclass type, const char* name, const char* signature) {
    jmethodID method = env->GetMethodID(type, name, signature);
    if (method == nullptr) throw JavaExceptionPending{};
    return method;
}

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

void throwStorage(JNIEnv* env, const char* message) {
    if (env->ExceptionCheck()) return;
    LocalRef<jclass> type(env, env->FindClass("tavrik/StorageException"));
    if (!type) return;  // NoClassDefFoundError is pending
    env->ThrowNew(type.get(), message);
}

void throwRefusal(JNIEnv* env, const Refusal& refusal, const char* call) {
    if (env->ExceptionCheck()) return;
    LocalRef<jclass> refusals(env, env->FindClass(kRefusalsClass));
    if (!refusals) return;
    const jmethodID factory = env->GetStaticMethodID(refusals.get(), kRefusalFactoryName, kRefusalFactorySignature);
    if (factory == nullptr) return;
    LocalRef<jstring> name(env, env->NewStringUTF(call));
    if (!name) return;
    LocalRef<jobject> exception(
        env, env->CallStaticObjectMethod(refusals.get(), factory, static_cast<jint>(refusal.rule),
                                         name.get(), static_cast<jlong>(refusal.index),
                                         static_cast<jboolean>(refusal.flightItem), static_cast<jlong>(refusal.a),
                                         static_cast<jlong>(refusal.b), static_cast<jlong>(refusal.c)));
    if (env->ExceptionCheck() || !exception) return;
    env->Throw(static_cast<jthrowable>(exception.get()));
}

std::int64_t utfCopySize(JNIEnv* env, jstring text, jsize length) {
    const jsize bytes = env->GetStringUTFLength(text);
    // The JVM reports a longer string as kLongestUtfCopy bytes (or, in older
    // releases, as a negative count) and would then copy only that prefix:
    // at that length, count the true one and refuse what cannot be copied.
    std::int64_t size = bytes;
    if (bytes < 0 || bytes >= kLongestUtfCopy) {
        const std::int64_t trueBytes = modifiedUtf8Length(env, text, length);
        size = trueBytes;
        if (trueBytes > kLongestUtfCopy)
            throw IllegalArgument{"name too long: " + std::to_string(trueBytes) +
                                  " bytes in modified UTF-8, more than the " + std::to_string(kLongestUtfCopy) +
                                  " a Java string can hand to native code; nothing was changed"};
    }
    return size;
}

std::string copyUtf(JNIEnv* env, jstring text, const char* argumentName) {
    if (text == nullptr) throw NullArgument{argumentName};
    // Copied straight into the string: no buffer of the JVM's to allocate and
    // give back. The region call also writes a terminating NUL, which lands
    // on the string's own terminator.
    const jsize length = env->GetStringLength(text);
    const std::int64_t size = utfCopySize(env, text, length);
    std::string out(static_cast<std::size_t>(size), '\0');
    env->GetStringUTFRegion(text, 0, length, &out[0]);
    if (env->ExceptionCheck()) throw JavaExceptionPending{};
    return out;
}

}  // namespace tavrik
