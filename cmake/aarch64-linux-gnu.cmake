# Cross-compiles for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu
# (crossbuild-essential-arm64). Programs (javac, jar) are the build
# machine's; the JNI headers are the build machine's JDK's, which are the same
# for every Linux architecture.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
