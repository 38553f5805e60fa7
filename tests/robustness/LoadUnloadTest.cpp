// The load and unload hooks run again and again against a stand-in JVM (a
// function table that hands out dummy classes and references), with every
// operator new and delete of the process counted: an unload must free every
// block its load made, so a leak of any part of the object graph shows on the
// first cycle, whatever its size. (In a JVM the process's resident memory is
// too noisy to see a service leak of a megabyte per cycle.)

#include <gtest/gtest.h>
#include <jni.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> liveBlocks{0};

void* allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    const std::size_t a = static_cast<std::size_t>(alignment);
    void* p = std::aligned_alloc(a, (size + a - 1) / a * a);
    if (p == nullptr) throw std::bad_alloc();
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void release(void* p) {
    if (p == nullptr) return;
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }

namespace {

// Every class, method, field and reference the hooks ask for is this dummy.
int dummy = 0;
int globalRefs = 0;

jclass JNICALL findClass(JNIEnv*, const char*) { return reinterpret_cast<jclass>(&dummy); }
jobject JNICALL newGlobalRef(JNIEnv*, jobject ref) {
    ++globalRefs;
    return ref;
}
void JNICALL deleteGlobalRef(JNIEnv*, jobject) { --globalRefs; }
void JNICALL deleteLocalRef(JNIEnv*, jobject) {}
void JNICALL exceptionClear(JNIEnv*) {}
jboolean JNICALL exceptionCheck(JNIEnv*) { return JNI_FALSE; }
jthrowable JNICALL exceptionOccurred(JNIEnv*) { return nullptr; }
jmethodID JNICALL methodId(JNIEnv*, jclass, const char*, const char*) { return reinterpret_cast<jmethodID>(&dummy); }
jfieldID JNICALL fieldId(JNIEnv*, jclass, const char*, const char*) { return reinterpret_cast<jfieldID>(&dummy); }

JNINativeInterface_ envTable{};
JNIEnv env{};

jint JNICALL getEnv(JavaVM*, void** out, jint) {
    *out = &env;
    return JNI_OK;
}

JNIInvokeInterface_ vmTable{};
JavaVM vm{};

}  // namespace

TEST(LoadUnload, EveryUnloadFreesWhatItsLoadMade) {
    envTable.FindClass = findClass;
    envTable.NewGlobalRef = newGlobalRef;
    envTable.DeleteGlobalRef = deleteGlobalRef;
    envTable.DeleteLocalRef = deleteLocalRef;
    envTable.ExceptionClear = exceptionClear;
    envTable.ExceptionCheck = exceptionCheck;
    envTable.ExceptionOccurred = exceptionOccurred;
    envTable.GetMethodID = methodId;
    envTable.GetStaticMethodID = methodId;
    envTable.GetFieldID = fieldId;
    envTable.GetStaticFieldID = fieldId;
    env.functions = &envTable;
    vmTable.GetEnv = getEnv;
    vm.functions = &vmTable;

    for (int cycle = 0; cycle < 3; ++cycle) {
        const long before = liveBlocks.load();
        ASSERT_EQ(JNI_VERSION_1_8, JNI_OnLoad(&vm, nullptr)) << "cycle " << cycle;
        EXPECT_GT(liveBlocks.load(), before) << "the load built nothing";
        EXPECT_GT(globalRefs, 0);
        JNI_OnUnload(&vm, nullptr);
        EXPECT_EQ(before, liveBlocks.load()) << "blocks left by load and unload " << cycle;
        EXPECT_EQ(0, globalRefs) << "global references left by load and unload " << cycle;
    }
}
