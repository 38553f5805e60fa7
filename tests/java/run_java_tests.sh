#!/usr/bin/env bash
# Runs JUnit test classes in one JVM started with -Xcheck:jni, and fails the
# run when JUnit fails or when the JVM (or a sanitizer) complains.
#
# -Xcheck:jni only prints its findings and lets the program go on, so the
# whole output is kept and searched: a single "WARNING in native method",
# "WARNING: JNI local refs" or "FATAL ERROR" line fails the run even when
# every test passed.
#
# Usage:
#   run_java_tests.sh --java JAVA --junit CONSOLE_JAR --library-path DIRS
#                     --class-path CP [--sanitize LIBS] [--jvm-arg ARG]...
#                     [--] LAUNCHER_ARGS...
# --sanitize LIBS: the library was built with AddressSanitizer and
#   UndefinedBehaviorSanitizer; LIBS (colon separated) are preloaded into the
#   JVM, which is not instrumented itself.
set -u

java='' junit='' library_path='' class_path='' sanitize_libs=''
jvm_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --java) java=$2; shift 2 ;;
    --junit) junit=$2; shift 2 ;;
    --library-path) library_path=$2; shift 2 ;;
    --class-path) class_path=$2; shift 2 ;;
    --sanitize) sanitize_libs=$2; shift 2 ;;
    --jvm-arg) jvm_args+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [ -z "$java" ] || [ -z "$junit" ] || [ -z "$library_path" ] || [ -z "$class_path" ]; then
  echo "run_java_tests.sh: --java, --junit, --library-path and --class-path are required" >&2
  exit 2
fi

run_env=()
if [ -n "$sanitize_libs" ]; then
  # The JVM catches SIGSEGV on purpose (null checks, safepoints), so the
  # sanitizer must leave that signal to it. Leak checking is off here: the
  # JVM itself keeps memory to the end and would drown the report; leaks are
  # checked by the native tests.
  run_env+=(
    "LD_PRELOAD=${sanitize_libs//:/ }"
    "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:allow_user_segv_handler=1:detect_leaks=0:detect_stack_use_after_return=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  )
fi

output=$(mktemp "${TMPDIR:-/tmp}/tavrik-java-test.XXXXXX")
trap 'rm -f "$output"' EXIT

env "${run_env[@]}" "$java" -Xcheck:jni "-Djava.library.path=$library_path" "${jvm_args[@]}" \
  -jar "$junit" --disable-banner --disable-ansi-colors --details=tree --fail-if-no-tests \
  --class-path "$class_path" "$@" 2>&1 | tee "$output"
status=${PIPESTATUS[0]}

complaints=$(grep -n -e 'WARNING in native method' -e 'WARNING: JNI local refs' -e 'FATAL ERROR' \
  -e 'A fatal error has been detected' -e 'AddressSanitizer' -e 'LeakSanitizer' \
  -e 'UndefinedBehaviorSanitizer' -e 'runtime error:' "$output")

echo
if [ -n "$complaints" ]; then
  echo "FAILED: the JVM or a sanitizer complained:"
  echo "$complaints"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "FAILED: the JUnit run ended with status $status"
  exit 1
fi
echo "PASSED: JUnit passed and -Xcheck:jni reported nothing"
