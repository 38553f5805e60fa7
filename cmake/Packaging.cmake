# The artifacts that ship: tavrik-<version>.jar (the classes, the library of
# every platform built at native/<os>-<arch>/, a manifest), its sources and
# API documentation jars, the Maven POM; and their installation.
# Included by the top-level CMakeLists.txt once tavrik_java and tavrik exist.

include(cmake/Aarch64.cmake)

# ---- the jar that ships: the classes, the libraries at native/<os>-<arch>/ and a manifest ----
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(TAVRIK_NATIVE_FOLDER native/linux-x86_64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(TAVRIK_NATIVE_FOLDER native/linux-aarch64)
else()
  message(FATAL_ERROR "no folder inside the jar is defined for processor ${CMAKE_SYSTEM_PROCESSOR}")
endif()
# The platforms the jar carries, as the loader names them in its errors.
set(TAVRIK_JAR_PLATFORMS ${TAVRIK_NATIVE_FOLDER})
set(jar_stage ${CMAKE_CURRENT_BINARY_DIR}/jar-native)
set(copy_other_natives)
set(other_native_depends)
if(TAVRIK_AARCH64)
  list(APPEND TAVRIK_JAR_PLATFORMS native/linux-aarch64)
  set(copy_other_natives
    COMMAND ${CMAKE_COMMAND} -E make_directory ${jar_stage}/native/linux-aarch64
    COMMAND ${CMAKE_COMMAND} -E copy ${TAVRIK_AARCH64_LIBRARY} ${jar_stage}/native/linux-aarch64/libtavrik.so)
  set(other_native_depends tavrik_aarch64 ${TAVRIK_AARCH64_LIBRARY})
endif()
list(TRANSFORM TAVRIK_JAR_PLATFORMS REPLACE "^native/" "" OUTPUT_VARIABLE platform_names)
list(JOIN platform_names " " TAVRIK_JAR_PLATFORM_NAMES)

get_target_property(tavrik_classes_jar tavrik_java JAR_FILE)
set(TAVRIK_JAR ${CMAKE_CURRENT_BINARY_DIR}/tavrik-${PROJECT_VERSION}.jar)
configure_file(cmake/MANIFEST.MF.in ${CMAKE_CURRENT_BINARY_DIR}/tavrik.manifest @ONLY)
add_custom_command(OUTPUT ${TAVRIK_JAR}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${jar_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${jar_stage}/${TAVRIK_NATIVE_FOLDER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${jar_stage}/META-INF
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tavrik> ${jar_stage}/${TAVRIK_NATIVE_FOLDER}/libtavrik.so
  ${copy_other_natives}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NOTICE ${jar_stage}/META-INF
  COMMAND ${CMAKE_COMMAND} -E copy ${tavrik_classes_jar} ${TAVRIK_JAR}.part
  COMMAND ${Java_JAR_EXECUTABLE} --update --file ${TAVRIK_JAR}.part
    --manifest ${CMAKE_CURRENT_BINARY_DIR}/tavrik.manifest -C ${jar_stage} native -C ${jar_stage} META-INF
  COMMAND ${CMAKE_COMMAND} -E rename ${TAVRIK_JAR}.part ${TAVRIK_JAR}
  DEPENDS tavrik tavrik_java ${tavrik_classes_jar} ${CMAKE_CURRENT_BINARY_DIR}/tavrik.manifest
    ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NOTICE ${other_native_depends}
  COMMENT "Packing tavrik-${PROJECT_VERSION}.jar with the library for ${TAVRIK_JAR_PLATFORM_NAMES}"
  VERBATIM)
add_custom_target(tavrik_jar ALL DEPENDS ${TAVRIK_JAR})

# ---- the API documentation; any doclint warning fails the build ----
# The overview page (java/overview.html) is the first page; each package has
# its package-info.java.
set(TAVRIK_JAVADOC_DIR ${CMAKE_CURRENT_BINARY_DIR}/javadoc)
file(GLOB tavrik_javadoc_inputs CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/java/*.html ${PROJECT_SOURCE_DIR}/java/*/package-info.java
  ${PROJECT_SOURCE_DIR}/java/*/*/package-info.java)
add_custom_command(OUTPUT ${TAVRIK_JAVADOC_DIR}/index.html
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TAVRIK_JAVADOC_DIR}
  COMMAND ${Java_JAVADOC_EXECUTABLE} -Xdoclint:all -Xwerror -quiet
    -doctitle "tavrik ${PROJECT_VERSION}" -windowtitle "tavrik ${PROJECT_VERSION}"
    -overview ${PROJECT_SOURCE_DIR}/java/overview.html
    -d ${TAVRIK_JAVADOC_DIR} --module-source-path tavrik=${PROJECT_SOURCE_DIR}/java --module tavrik
  DEPENDS ${TAVRIK_JAVA_SOURCES} ${PROJECT_SOURCE_DIR}/java/module-info.java ${tavrik_javadoc_inputs}
  COMMENT "Javadoc of the public classes (doclint: all, warnings are errors)"
  VERBATIM)
add_custom_target(tavrik_javadoc ALL DEPENDS ${TAVRIK_JAVADOC_DIR}/index.html)

# ---- the sources and javadoc jars that sit beside the jar in a Maven repository ----
set(TAVRIK_SOURCES_JAR ${CMAKE_CURRENT_BINARY_DIR}/tavrik-${PROJECT_VERSION}-sources.jar)
set(TAVRIK_JAVADOC_JAR ${CMAKE_CURRENT_BINARY_DIR}/tavrik-${PROJECT_VERSION}-javadoc.jar)
set(sources_stage ${CMAKE_CURRENT_BINARY_DIR}/sources-jar)
add_custom_command(OUTPUT ${TAVRIK_SOURCES_JAR}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${sources_stage}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/java ${sources_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NOTICE ${sources_stage}
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${TAVRIK_SOURCES_JAR} --no-manifest -C ${sources_stage} .
  DEPENDS ${TAVRIK_JAVA_SOURCES} ${PROJECT_SOURCE_DIR}/java/module-info.java ${tavrik_javadoc_inputs}
  COMMENT "Packing tavrik-${PROJECT_VERSION}-sources.jar"
  VERBATIM)
add_custom_command(OUTPUT ${TAVRIK_JAVADOC_JAR}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${TAVRIK_JAVADOC_JAR}
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${TAVRIK_JAVADOC_JAR} --no-manifest -C ${TAVRIK_JAVADOC_DIR} .
  DEPENDS ${TAVRIK_JAVADOC_DIR}/index.html
  COMMENT "Packing tavrik-${PROJECT_VERSION}-javadoc.jar"
  VERBATIM)
add_custom_target(tavrik_side_jars ALL DEPENDS ${TAVRIK_SOURCES_JAR} ${TAVRIK_JAVADOC_JAR})

# Where the library and jar end up, for the tests and the demo.
set(TAVRIK_LIBRARY_DIR $<TARGET_FILE_DIR:tavrik>)

# ---- installation, in Debian's layout: the jar (with a Maven POM, the
# sources and javadoc jars) in share/java, the library in
# lib/<multiarch>/jni, which Debian's JVM has on java.library.path ----
include(GNUInstallDirs)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(jni_dir lib/${CMAKE_LIBRARY_ARCHITECTURE}/jni)
else()
  set(jni_dir lib/jni)
endif()
set(TAVRIK_INSTALL_JNIDIR ${jni_dir} CACHE STRING "Where the JNI library is installed, under the prefix")
set(TAVRIK_INSTALL_JAVADIR ${CMAKE_INSTALL_DATADIR}/java CACHE STRING "Where the jar and its POM are installed, under the prefix")
# The POM's project and repository addresses and its developers; a release
# sets them to where the project is published.
set(TAVRIK_PROJECT_URL "https://tavrik.example.org/" CACHE STRING "The project's home page, for the POM")
set(TAVRIK_SCM_URL "https://tavrik.example.org/tavrik.git" CACHE STRING "The project's git repository, for the POM")
set(TAVRIK_DEVELOPER_NAME "the tavrik authors" CACHE STRING "The POM's developer")
set(TAVRIK_DEVELOPER_EMAIL "maintainers@users.noreply.c-seed-bc3c4757.example" CACHE STRING "The POM developer's address")
set(TAVRIK_POM ${CMAKE_CURRENT_BINARY_DIR}/tavrik-${PROJECT_VERSION}.pom)
configure_file(cmake/tavrik.pom.in ${TAVRIK_POM} @ONLY)
install(TARGETS tavrik LIBRARY DESTINATION ${TAVRIK_INSTALL_JNIDIR})
install(FILES ${TAVRIK_JAR} ${TAVRIK_SOURCES_JAR} ${TAVRIK_JAVADOC_JAR} ${TAVRIK_POM}
  DESTINATION ${TAVRIK_INSTALL_JAVADIR})
# The unversioned name, as Debian gives every jar in share/java.
install(CODE "execute_process(COMMAND \${CMAKE_COMMAND} -E create_symlink tavrik-${PROJECT_VERSION}.jar
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TAVRIK_INSTALL_JAVADIR}/tavrik.jar\")")
install(DIRECTORY ${TAVRIK_JAVADOC_DIR}/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/api)
install(FILES LICENSE NOTICE DESTINATION ${CMAKE_INSTALL_DOCDIR})
