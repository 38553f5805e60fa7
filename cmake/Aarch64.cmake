# The library for linux-aarch64, cross-compiled from the same sources in a
# build of its own (cmake/aarch64-linux-gnu.cmake, Debian's
# g++-aarch64-linux-gnu) with the same static C++ runtime and version script;
# the jar carries it at native/linux-aarch64/. Sets TAVRIK_AARCH64_LIBRARY.
if(NOT TAVRIK_AARCH64)
  return()
endif()
if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  message(FATAL_ERROR "TAVRIK_AARCH64 cross-compiles from x86_64; this build is for ${CMAKE_SYSTEM_PROCESSOR}")
endif()
find_program(TAVRIK_AARCH64_CXX aarch64-linux-gnu-g++
  DOC "C++ cross compiler for linux-aarch64 (Debian package g++-aarch64-linux-gnu)")
if(NOT TAVRIK_AARCH64_CXX)
  message(FATAL_ERROR "aarch64-linux-gnu-g++ not found: install the Debian package g++-aarch64-linux-gnu (crossbuild-essential-arm64)")
endif()
include(ExternalProject)
# Under make, the cross build shares the jobs of the make that runs it.
if(CMAKE_GENERATOR MATCHES "Make")
  set(aarch64_build $(MAKE) tavrik)
else()
  set(aarch64_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target tavrik)
endif()
set(aarch64_dir ${CMAKE_CURRENT_BINARY_DIR}/aarch64)
set(TAVRIK_AARCH64_LIBRARY ${aarch64_dir}/libtavrik.so)
# The cross build compiles the Java classes again for their JNI headers, with
# the same JDK, and finds the JDK's JNI headers where this build did.
ExternalProject_Add(tavrik_aarch64
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${aarch64_dir}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/aarch64-linux-gnu.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DTAVRIK_CROSS_LIBRARY=ON -DTAVRIK_TESTS=OFF
    -DJava_JAVA_EXECUTABLE=${Java_JAVA_EXECUTABLE}
    -DJava_JAVAC_EXECUTABLE=${Java_JAVAC_EXECUTABLE}
    -DJava_JAR_EXECUTABLE=${Java_JAR_EXECUTABLE}
    -DJava_JAVADOC_EXECUTABLE=${Java_JAVADOC_EXECUTABLE}
    -DJava_JAVAH_EXECUTABLE=${Java_JAVAH_EXECUTABLE}
    -DJAVA_INCLUDE_PATH=${JAVA_INCLUDE_PATH}
    -DJAVA_INCLUDE_PATH2=${JAVA_INCLUDE_PATH2}
    -DJAVA_JVM_LIBRARY=${JAVA_JVM_LIBRARY}
  BUILD_COMMAND ${aarch64_build}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${TAVRIK_AARCH64_LIBRARY}
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD OFF)
