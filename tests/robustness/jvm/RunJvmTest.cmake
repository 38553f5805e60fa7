# Runs one JUnit 5 class in its own JVM under -Xcheck:jni, with the failing
# allocator preloaded, and fails on a non-zero exit, on any JNI warning line
# in the output, or when no test ran.
#   cmake -DJAVA=... -DPRELOAD=... -DLIBRARY_DIR=... -DCLASSPATH=... -DTEST_CLASS=...
#         [-DJVM_ARGS=...] -P RunJvmTest.cmake
foreach(var JAVA PRELOAD LIBRARY_DIR CLASSPATH TEST_CLASS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LD_PRELOAD=${PRELOAD}
          ${JAVA} -Xcheck:jni ${JVM_ARGS} -Djava.library.path=${LIBRARY_DIR} -Dtavrik.failing.allocator=${PRELOAD}
          -cp ${CLASSPATH} org.junit.platform.console.ConsoleLauncher
          --disable-banner --disable-ansi-colors --details=tree --fail-if-no-tests --select-class ${TEST_CLASS}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
message("${output}")

if(NOT status EQUAL 0)
  message(FATAL_ERROR "the JVM exited with ${status}")
endif()
foreach(pattern "WARNING in native method" "WARNING: JNI local refs" "FATAL ERROR")
  string(FIND "${output}" "${pattern}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "JNI check failed: the output contains \"${pattern}\"")
  endif()
endforeach()
if(NOT output MATCHES "([1-9][0-9]*) tests successful")
  message(FATAL_ERROR "no test succeeded")
endif()
