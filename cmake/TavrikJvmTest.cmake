# The one way a JVM test is registered: JUnit 5 classes run by the console
# launcher in their own JVM under -Xcheck:jni, judged by CTest itself.
#
# -Xcheck:jni only prints what it finds and lets the program go on, so a run
# whose tests all pass can still have misused JNI. The test fails when JUnit
# fails (exit status), when no test ran (--fail-if-no-tests), or when any line
# of the output matches one of TAVRIK_JVM_COMPLAINTS (FAIL_REGULAR_EXPRESSION,
# which CTest applies whatever the exit status). Each run writes its JUnit XML
# report to <working directory>/junit.

# What the JVM's JNI checks, a JVM crash and the sanitizers print. Tests that
# watch a JVM of their own (the host application's end-to-end test) get the
# same list through the system property tavrik.jvm.complaints, one regular
# expression joined with '|'.
set(TAVRIK_JVM_COMPLAINTS
  "WARNING in native method"
  "WARNING: JNI local refs"
  "FATAL ERROR"
  "A fatal error has been detected"
  "AddressSanitizer"
  "LeakSanitizer"
  "UndefinedBehaviorSanitizer"
  "runtime error:"
)
list(JOIN TAVRIK_JVM_COMPLAINTS "|" TAVRIK_JVM_COMPLAINTS_REGEX)

# Under the sanitizer build the JVM, which is not instrumented, gets the
# sanitizer runtimes preloaded. It catches SIGSEGV on purpose (null checks,
# safepoints), so the sanitizer must leave that signal to it; leak checking is
# off because the JVM keeps memory to the end (the native tests check leaks).
set(TAVRIK_JVM_SANITIZER_ENVIRONMENT)
if(TAVRIK_SANITIZE)
  list(JOIN TAVRIK_SANITIZER_RUNTIMES " " runtimes)
  set(TAVRIK_JVM_SANITIZER_PRELOAD "${runtimes}")
  set(TAVRIK_JVM_SANITIZER_ENVIRONMENT
    "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:allow_user_segv_handler=1:detect_leaks=0:detect_stack_use_after_return=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()

# tavrik_add_jvm_test(NAME
#   CLASS_PATH jar...            the test classes and what they need (JUnit is added)
#   SELECT arg...                the launcher's selection, e.g. --select-class a.b.C
#   [LIBRARY_PATH dir]           java.library.path (default: the folder of libtavrik.so)
#   [JVM_ARGS arg...]            more JVM options (-D...)
#   [PRELOAD lib...]             libraries preloaded into the JVM (after the sanitizer runtimes)
#   [ENVIRONMENT VAR=value...]   more environment
#   [LABELS label...] [TIMEOUT seconds] [WILL_FAIL]
#   [NO_JNI_CHECK])              for a JVM that loads no native code of the
#                                project: Debian's JDK 17 trips -Xcheck:jni in
#                                its own font code when Java2D draws text
function(tavrik_add_jvm_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "WILL_FAIL;NO_JNI_CHECK" "LIBRARY_PATH;TIMEOUT"
    "CLASS_PATH;SELECT;JVM_ARGS;PRELOAD;ENVIRONMENT;LABELS")
  if(NOT arg_CLASS_PATH OR NOT arg_SELECT)
    message(FATAL_ERROR "tavrik_add_jvm_test(${name}): CLASS_PATH and SELECT are required")
  endif()
  if(NOT arg_LIBRARY_PATH)
    set(arg_LIBRARY_PATH ${TAVRIK_LIBRARY_DIR})
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 300)
  endif()
  list(JOIN arg_CLASS_PATH ":" class_path)
  set(work_dir ${CMAKE_CURRENT_BINARY_DIR}/run/${name})
  file(MAKE_DIRECTORY ${work_dir})
  set(jni_check -Xcheck:jni)
  if(arg_NO_JNI_CHECK)
    set(jni_check)
  endif()

  add_test(NAME ${name}
    COMMAND ${Java_JAVA_EXECUTABLE} ${jni_check}
      -Djava.library.path=${arg_LIBRARY_PATH}
      "-Dtavrik.jvm.complaints=${TAVRIK_JVM_COMPLAINTS_REGEX}"
      ${arg_JVM_ARGS}
      -jar ${TAVRIK_JUNIT}
      --disable-banner --disable-ansi-colors --details=tree --fail-if-no-tests
      --reports-dir=${work_dir}/junit
      --class-path ${class_path}
      ${arg_SELECT}
    WORKING_DIRECTORY ${work_dir})

  set(environment ${TAVRIK_JVM_SANITIZER_ENVIRONMENT} ${arg_ENVIRONMENT})
  set(preload ${TAVRIK_JVM_SANITIZER_PRELOAD} ${arg_PRELOAD})
  if(preload)
    list(JOIN preload " " preload)
    list(APPEND environment "LD_PRELOAD=${preload}")
  endif()
  set_tests_properties(${name} PROPERTIES
    FAIL_REGULAR_EXPRESSION "${TAVRIK_JVM_COMPLAINTS}"
    TIMEOUT ${arg_TIMEOUT})
  if(environment)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
  endif()
  if(arg_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${arg_LABELS}")
  endif()
  if(arg_WILL_FAIL)
    set_tests_properties(${name} PROPERTIES WILL_FAIL TRUE)
  endif()
endfunction()
