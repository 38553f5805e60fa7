// The copy of Java strings into names, run against a stand-in JNI
// environment: a function table that serves a string described by a few
// numbers, so that the length the JVM reports for a string of more than
// 2^31 - 2 bytes of modified UTF-8 can be played without such a string.

#include <gtest/gtest.h>
#include <jni.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "native/JniSupport.h"

namespace {

// A string of `length` copies of `unit`, whose modified UTF-8 length the
// stand-in reports as `reportedBytes`; `utf` is what the region copy writes.
struct FakeString {
    jsize length;
    jchar unit;
    jsize reportedBytes;
    std::string utf;
    bool regionCopied = false;
    std::int64_t unitsRead = 0;
    // When set, the string's last unit instead of `unit`.
    jchar lastUnit = 0;
};

FakeString& fake(jstring text) { return *reinterpret_cast<FakeString*>(text); }

jsize JNICALL getStringLength(JNIEnv*, jstring text) { return fake(text).length; }
jsize JNICALL getStringUTFLength(JNIEnv*, jstring text) { return fake(text).reportedBytes; }
void JNICALL getStringRegion(JNIEnv*, jstring text, jsize start, jsize count, jchar* out) {
    FakeString& s = fake(text);
    ASSERT_GE(start, 0);
    ASSERT_LE(static_cast<std::int64_t>(start) + count, s.length);
    std::fill(out, out + count, s.unit);
    if (s.lastUnit != 0 && start + count == s.length) out[count - 1] = s.lastUnit;
    s.unitsRead += count;
}
void JNICALL getStringUTFRegion(JNIEnv*, jstring text, jsize, jsize, char* out) {
    FakeString& s = fake(text);
    s.regionCopied = true;
    std::copy(s.utf.begin(), s.utf.end(), out);
    out[s.utf.size()] = '\0';
}
jboolean JNICALL exceptionCheck(JNIEnv*) { return JNI_FALSE; }

// What ThrowNew was asked to throw.
jclass thrownType = nullptr;
std::string thrownMessage;
jint JNICALL throwNew(JNIEnv*, jclass type, const char* message) {
    thrownType = type;
    thrownMessage = message;
    return 0;
}

class StandInEnvironment : public ::testing::Test {
protected:
    JNINativeInterface_ table{};
    JNIEnv env{};
    // Stands for the global reference the load hook makes.
    int illegalArgumentClass = 0;

    void SetUp() override {
        table.GetStringLength = getStringLength;
        table.GetStringUTFLength = getStringUTFLength;
        table.GetStringRegion = getStringRegion;
        table.GetStringUTFRegion = getStringUTFRegion;
        table.ExceptionCheck = exceptionCheck;
        table.ThrowNew = throwNew;
        env.functions = &table;
        tavrik::exceptionClasses().illegalArgumentException = reinterpret_cast<jclass>(&illegalArgumentClass);
        thrownType = nullptr;
        thrownMessage.clear();
    }
    void TearDown() override { tavrik::exceptionClasses().illegalArgumentException = nullptr; }

    static jstring ref(FakeString& s) { return reinterpret_cast<jstring>(&s); }
};

}  // namespace

TEST_F(StandInEnvironment, ANameWithinTheReportedLengthIsCopiedWhole) {
    FakeString s{3, u'a', 3, "abc"};
    EXPECT_EQ("abc", tavrik::copyUtf(&env, ref(s), "null"));
    EXPECT_EQ(0, s.unitsRead) << "an ordinary length needs no recount";

    // Reported at the clamp but truly that long (an older JVM's negative
    // count is treated alike): the recount agrees and the copy goes ahead.
    FakeString atClamp{2, u'\u00e9', -1, "\xc3\xa9\xc3\xa9"};
    EXPECT_EQ("\xc3\xa9\xc3\xa9", tavrik::copyUtf(&env, ref(atClamp), "null"));
    EXPECT_EQ(2, atClamp.unitsRead);
}

TEST_F(StandInEnvironment, ANameBeyondTheClampIsRefusedBeforeAnythingIsCopiedOrChanged) {
    // 715,827,882 units of U+0800 take 3 bytes each, and an ASCII letter
    // one more: 2,147,483,647 bytes, one beyond what the JVM reports; the
    // copy would keep only a prefix.
    FakeString huge{715827883, u'\u0800', tavrik::kLongestUtfCopy, ""};
    huge.lastUnit = u'a';
    bool changed = false;
    const jint result = tavrik::withBoundary(&env, jint{-2}, [&] {
        std::string name = tavrik::copyUtf(&env, ref(huge), "null");
        changed = true;
        return jint{0};
    });
    EXPECT_EQ(-2, result);
    EXPECT_FALSE(changed);
    EXPECT_FALSE(huge.regionCopied) << "the prefix was copied";
    EXPECT_EQ(huge.length, huge.unitsRead) << "every unit counts towards the true length";
    EXPECT_EQ(reinterpret_cast<jclass>(&illegalArgumentClass), thrownType);
    EXPECT_NE(std::string::npos, thrownMessage.find("2147483647 bytes")) << thrownMessage;
    EXPECT_NE(std::string::npos, thrownMessage.find("nothing was changed")) << thrownMessage;
}

TEST_F(StandInEnvironment, TheRecountWeighsEveryUnitAtItsBoundaries) {
    // Each unit twice, in a string the JVM reports at the clamp: the size is
    // the true modified UTF-8 length, byte for byte what the region copy writes.
    struct Case {
        jchar unit;
        std::int64_t bytesEach;
    };
    for (Case c : {Case{u'\u0001', 1}, Case{u'\u007f', 1}, Case{u'\u0000', 2}, Case{u'\u0080', 2},
                   Case{u'\u07ff', 2}, Case{u'\u0800', 3}, Case{u'\uffff', 3}, Case{jchar{0xd800}, 3}}) {
        for (jsize reported : {jsize{-1}, tavrik::kLongestUtfCopy}) {
            FakeString s{2, c.unit, reported, ""};
            EXPECT_EQ(2 * c.bytesEach, tavrik::utfCopySize(&env, ref(s), s.length))
                << "unit U+" << std::hex << c.unit << " reported as " << std::dec << reported;
        }
    }
    // U+0080 at the clamp through the whole copy: four bytes, none lost.
    FakeString twoBytes{2, u'\u0080', -1, "\xc2\x80\xc2\x80"};
    EXPECT_EQ("\xc2\x80\xc2\x80", tavrik::copyUtf(&env, ref(twoBytes), "null"));
}

TEST_F(StandInEnvironment, TheLimitIsExactlyTheLongestCopyTheJvmMakes) {
    // 715,827,882 units of U+0800: exactly 2,147,483,646 bytes, the most the
    // JVM copies; accepted at its true size.
    FakeString atLimit{715827882, u'\u0800', tavrik::kLongestUtfCopy, ""};
    EXPECT_EQ(std::int64_t{2147483646}, tavrik::utfCopySize(&env, ref(atLimit), atLimit.length));
    EXPECT_EQ(nullptr, thrownType);
    // One byte more is refused: ANameBeyondTheClampIsRefusedBeforeAnythingIsCopiedOrChanged.
}
