#!/usr/bin/env bash
# Runs the tavrik jar the way a user's program does, in fresh JVMs under
# -Xcheck:jni, each started from a folder of its own with only the jar and the
# check class on the class path; fails on a failed check or on any JNI
# warning in a JVM's output.
#
# Usage:
#   run_packaging_check.sh --java JAVA --jar TAVRIK_JAR --checks CHECKS_JAR
#       --work DIR [--library LIBTAVRIK] [--version V]
#       [--cmake CMAKE --build-dir DIR --jni-dir LIBDIR] [--preload LIBS]
#       [--qemu QEMU_AARCH64 --arm-java ARM64_JAVA] [--readme README]
#       [--javac JAVAC --sources DIR] [--mvn MVN]
#       --complaints REGEX SCENARIO
# SCENARIO: one-jar, noexec, extraction, loaders, install, exports, module,
#   maven or aarch64.
# module: the jar on the module path, used by a module of the test's (its
#   sources in --sources DIR/module).
# maven: the jar, its sources and javadoc jars and POM (from the build folder)
#   installed into an empty local Maven repository with no network, then a
#   consumer project (--sources DIR/../maven/consumer) built and run from it.
# native-access: in a JVM of release 22 or later found under /usr/lib/jvm, the
#   restricted-method warning appears without the flag the README names and
#   not with it (class path and module path); skipped (77) without such a JVM.
# aarch64: the jar alone under an arm64 JVM run by qemu-user; exits 77 (skipped)
#   with one line when this machine cannot run one.
# --preload LIBS: sanitizer runtimes (colon separated) for an instrumented library.
# --complaints REGEX: what fails a JVM's output (the build's one list of
#   complaints, the same that judges every JVM test).
set -u

java='' jar='' checks='' work='' library='' version='' cmake='' build_dir='' jni_dir='' preload='' complaints=''
qemu='' arm_java='' readme='' javac='' sources='' mvn=''
while [ $# -gt 1 ]; do
  case $1 in
    --java) java=$2; shift 2 ;;
    --jar) jar=$2; shift 2 ;;
    --checks) checks=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --library) library=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --cmake) cmake=$2; shift 2 ;;
    --build-dir) build_dir=$2; shift 2 ;;
    --jni-dir) jni_dir=$2; shift 2 ;;
    --preload) preload=$2; shift 2 ;;
    --complaints) complaints=$2; shift 2 ;;
    --qemu) qemu=$2; shift 2 ;;
    --arm-java) arm_java=$2; shift 2 ;;
    --readme) readme=$2; shift 2 ;;
    --javac) javac=$2; shift 2 ;;
    --sources) sources=$2; shift 2 ;;
    --mvn) mvn=$2; shift 2 ;;
    *) break ;;
  esac
done
scenario=${1:-}
if [ -z "$java" ] || [ -z "$jar" ] || [ -z "$checks" ] || [ -z "$work" ] || [ -z "$complaints" ] || [ -z "$scenario" ]; then
  echo "run_packaging_check.sh: --java, --jar, --checks, --work, --complaints and a scenario are required" >&2
  exit 2
fi

failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}

# A tmpfs a killed earlier run left mounted would stop the clean-up.
if mountpoint -q "$work/noexec" 2>/dev/null; then umount "$work/noexec"; fi
rm -rf "$work"
mkdir -p "$work/elsewhere" "$work/tmp" "$work/empty"
work=$(cd "$work" && pwd)
# The JVMs run from another folder.
jar=$(realpath "$jar")
checks=$(realpath "$checks")

# The JVM's command: java, or qemu-aarch64 and an arm64 java.
launcher=("$java")
jvm_env=()
if [ -n "$preload" ]; then
  jvm_env+=(
    "LD_PRELOAD=${preload//:/ }"
    "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:allow_user_segv_handler=1:detect_leaks=0:detect_stack_use_after_return=0"
  )
fi

# Runs one JVM from "$work/elsewhere": check_jvm NAME [ENV=VALUE...] -- JVM_ARGS... -- CHECK_ARGS...
# (the class path is the jar and the checks unless JVM_ARGS give -cp).
# Its output goes to "$work/NAME.out" and to this script's output.
check_jvm() {
  local name=$1
  shift
  local env_args=("${jvm_env[@]}") jvm_args=() check_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do env_args+=("$1"); shift; done
  shift
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do jvm_args+=("$1"); shift; done
  shift
  check_args=("$@")
  local class_path=("-cp" "$jar:$checks")
  local a
  for a in "${jvm_args[@]}"; do
    if [ "$a" = "-cp" ]; then class_path=(); fi
  done
  echo "== $name: java ${jvm_args[*]} ${check_args[*]}"
  (cd "$work/elsewhere" && env "${env_args[@]}" "${launcher[@]}" -Xcheck:jni "${jvm_args[@]}" "${class_path[@]}" \
    tavrik.packaging.PackagingCheck "${check_args[@]}") >"$work/$name.out" 2>&1
  local status=$?
  cat "$work/$name.out"
  jvm_verdict "$name" "$status"
}

# Fails the run (and returns 1) when a JVM exited with an error or complained about JNI.
jvm_verdict() {
  local name=$1 status=$2 bad=0
  if grep -qE -- "$complaints" "$work/$name.out"; then
    fail "$name: the JVM complained"
    bad=1
  fi
  if [ "$status" -ne 0 ]; then
    fail "$name: exit status $status"
    bad=1
  fi
  return $bad
}

copies_in() {
  find "$1" -maxdepth 1 -name 'tavrik-*' | sort
}

case $scenario in
  one-jar)
    # Nothing but the jar: no library path, no property, the default temporary folder.
    check_jvm one-jar -- "-Dtavrik.expect.version=$version" -- route jar
    ;;

  noexec)
    noexec="$work/noexec"
    mkdir -p "$noexec"
    real_noexec=0
    # Room for the sanitizer build's library too (about 28 MB), so that only noexec can refuse it.
    if mount -t tmpfs -o noexec,nosuid,nodev,size=128m tavrik-noexec "$noexec" 2>/dev/null; then
      real_noexec=1
      trap 'umount "$noexec"' EXIT
      echo "a tmpfs mounted noexec at $noexec"
    else
      # No mount allowed: a folder that cannot be made (its parent is a file).
      echo "mount refused; using a folder that cannot be created instead"
      : >"$work/a-file"
      noexec="$work/a-file/folder"
    fi
    # The first candidate fails; the copy then goes to java.io.tmpdir and nothing is left behind.
    check_jvm next-folder -- "-Dtavrik.tmpdir=$noexec" "-Djava.io.tmpdir=$work/tmp" "-Djava.library.path=$work/empty" \
      -- route "$work/tmp"
    if [ "$real_noexec" -eq 1 ] && [ -n "$(copies_in "$noexec")" ]; then
      fail "a copy that could not be loaded was left in $noexec: $(copies_in "$noexec")"
    fi
    if [ -n "$(copies_in "$work/tmp")" ]; then
      fail "the copy was not removed at exit: $(copies_in "$work/tmp")"
    fi
    # Every candidate unusable: one error that names each folder, why, and the properties.
    words=("-Dtavrik.tmpdir" "-Dtavrik.library.path" "java.library.path" "java.io.tmpdir"
      "$noexec" "$noexec/cache/tavrik" "per-user cache")
    if [ "$real_noexec" -eq 1 ]; then
      words+=("failed to map segment")
    fi
    check_jvm all-fail "XDG_CACHE_HOME=$noexec/cache" -- "-Dtavrik.tmpdir=$noexec" "-Djava.io.tmpdir=$noexec" \
      "-Djava.library.path=$work/empty" -- fail "${words[@]}"
    # The cache folder made for a copy that could not be loaded goes with it.
    if [ "$real_noexec" -eq 1 ] && [ -e "$noexec/cache" ]; then
      fail "a folder made for a copy that could not be loaded was left: $(find "$noexec/cache")"
    fi
    # A platform the jar has no library for says so.
    check_jvm unsupported -- -Dos.arch=sparcv9 "-Djava.library.path=$work/empty" \
      -- fail "os.arch=sparcv9" "none for this operating system and architecture" "-Dtavrik.library.path" \
      "the jar carries the library for linux-x86_64" "macOS and Windows are not carried"
    ;;

  extraction)
    dir="$work/extract"
    mkdir -p "$dir"
    # A copy left by a JVM that ended without its exit hooks (its lock is free).
    : >"$dir/tavrik-1.1-4242.lock"
    echo "not a library" >"$dir/tavrik-1.1-4242.so"
    # A JVM that keeps its copy in use ...
    (cd "$work/elsewhere" && exec env "${jvm_env[@]}" "$java" -Xcheck:jni "-Dtavrik.tmpdir=$dir" \
      "-Djava.library.path=$work/empty" -cp "$jar:$checks" tavrik.packaging.PackagingCheck route "$dir" hold) \
      >"$work/holder.out" 2>&1 &
    holder=$!
    trap 'kill -9 "$holder" 2>/dev/null' EXIT
    for _ in $(seq 1 300); do
      grep -q '^holding ' "$work/holder.out" && break
      kill -0 "$holder" 2>/dev/null || break
      sleep 0.1
    done
    cat "$work/holder.out"
    held=$(sed -n 's/^holding //p' "$work/holder.out")
    if [ -z "$held" ]; then
      fail "the holding JVM did not load its copy"
      kill -9 "$holder" 2>/dev/null
    else
      if [ -e "$dir/tavrik-1.1-4242.so" ] || [ -e "$dir/tavrik-1.1-4242.lock" ]; then
        fail "the stale copy was not removed"
      fi
      # ... while three more extract into the same folder at once.
      pids=()
      for i in 1 2 3; do
        check_jvm "concurrent-$i" -- "-Dtavrik.tmpdir=$dir" "-Djava.library.path=$work/empty" -- route "$dir" &
        pids+=($!)
      done
      for p in "${pids[@]}"; do
        wait "$p" || fail "a JVM extracting alongside the others failed"
      done
      if [ "$(copies_in "$dir")" != "$(printf '%s\n%s' "$held" "${held%.so}.lock" | sort)" ]; then
        fail "expected only the live JVM's copy to be left: $(copies_in "$dir")"
      fi
      # The holder dies without its exit hooks; the next JVM removes its copy.
      kill -9 "$holder"
      wait "$holder" 2>/dev/null
      [ -e "$held" ] || fail "the killed JVM's copy vanished before anyone cleaned up"
      check_jvm after-crash -- "-Dtavrik.tmpdir=$dir" "-Djava.library.path=$work/empty" -- route "$dir"
      if [ -n "$(copies_in "$dir")" ]; then
        fail "copies left after the crash clean-up and a normal exit: $(copies_in "$dir")"
      fi
    fi
    ;;

  loaders)
    # The jar's copy for every loader, then the installed one for the first and copies for the others.
    check_jvm loaders-jar -- "-Djava.library.path=$work/empty" "-Djava.io.tmpdir=$work/tmp" -- loaders "$jar"
    if [ -n "$library" ]; then
      check_jvm loaders-path -- "-Djava.library.path=$(dirname "$library")" "-Djava.io.tmpdir=$work/tmp" -- loaders "$jar"
    fi
    if [ -n "$(copies_in "$work/tmp")" ]; then
      fail "copies left after the JVMs exited: $(copies_in "$work/tmp")"
    fi
    # Three loaders of one JVM keep their copies in one folder while another JVM extracts there:
    # no loader's clean-up may have dropped another's lock, or the other JVM removes a live copy.
    shared="$work/shared"
    mkdir -p "$shared"
    (cd "$work/elsewhere" && exec env "${jvm_env[@]}" "$java" -Xcheck:jni "-Dtavrik.tmpdir=$shared" \
      "-Djava.library.path=$work/empty" -cp "$jar:$checks" tavrik.packaging.PackagingCheck loaders "$jar" hold) \
      >"$work/loaders-holder.out" 2>&1 &
    holder=$!
    trap 'kill -9 "$holder" 2>/dev/null' EXIT
    for _ in $(seq 1 300); do
      grep -q '^holding ' "$work/loaders-holder.out" && break
      kill -0 "$holder" 2>/dev/null || break
      sleep 0.1
    done
    cat "$work/loaders-holder.out"
    read -r -a held <<<"$(sed -n 's/^holding //p' "$work/loaders-holder.out")"
    if [ "${#held[@]}" -ne 3 ]; then
      fail "the holding JVM did not load three copies"
    else
      check_jvm other-jvm -- "-Dtavrik.tmpdir=$shared" "-Djava.library.path=$work/empty" -- route "$shared"
      for copy in "${held[@]}"; do
        if [ ! -e "$copy" ] || [ ! -e "${copy%.so}.lock" ]; then
          fail "another JVM removed the live copy $copy"
        fi
      done
    fi
    kill -9 "$holder" 2>/dev/null
    wait "$holder" 2>/dev/null
    # Twenty class loaders loaded and unloaded one after the other beside one that stays.
    check_jvm cycles -- "-Dtavrik.tmpdir=$work/cycles" "-Djava.library.path=$work/empty" -- cycles "$jar" "$work/cycles" 20
    # Folders: a missing java.io.tmpdir is not created and is said to be missing; a missing
    # -Dtavrik.tmpdir and cache folder are created and gone again at exit.
    check_jvm folders "XDG_CACHE_HOME=$work/no-cache/cache" -- "-Djava.io.tmpdir=$work/no-tmp" \
      "-Dtavrik.tmpdir=$work/no-tavrik/a/b" "-Djava.library.path=$work/empty" -- route "$work/no-tavrik/a/b"
    for missing in "$work/no-tmp" "$work/no-tavrik" "$work/no-cache"; do
      [ ! -e "$missing" ] || fail "a folder was left behind: $missing ($(find "$missing"))"
    done
    : >"$work/a-file"
    check_jvm missing-folders "XDG_CACHE_HOME=$work/a-file/cache" -- "-Djava.io.tmpdir=$work/no-tmp" \
      "-Djava.library.path=$work/empty" -- fail "$work/no-tmp (java.io.tmpdir): does not exist" \
      "$work/a-file/cache/tavrik (per-user cache, \$XDG_CACHE_HOME/tavrik): does not exist and cannot be created"
    [ ! -e "$work/no-tmp" ] || fail "the missing java.io.tmpdir was created"
    ;;

  install)
    prefix="$work/prefix"
    "$cmake" --install "$build_dir" --prefix "$prefix" >"$work/install.out" 2>&1 || {
      cat "$work/install.out"
      fail "cmake --install failed"
    }
    installed_jar="$prefix/share/java/tavrik-$version.jar"
    for f in "$installed_jar" "$prefix/share/java/tavrik-$version.pom" "$prefix/share/java/tavrik.jar" \
        "$prefix/share/java/tavrik-$version-sources.jar" "$prefix/share/java/tavrik-$version-javadoc.jar" \
        "$prefix/$jni_dir/libtavrik.so" "$prefix/share/doc/tavrik/LICENSE" "$prefix/share/doc/tavrik/NOTICE" \
        "$prefix/share/doc/tavrik/api/index.html"; do
      [ -e "$f" ] || fail "not installed: $f"
    done
    grep -q "<version>$version</version>" "$prefix/share/java/tavrik-$version.pom" ||
      fail "the POM does not carry version $version"
    # Plain java with the installed jar only; then with the installed library on the path, as
    # Debian's JVM has it for /usr.
    check_jvm installed-jar -- "-Dtavrik.expect.version=$version" -cp "$installed_jar:$checks" -- route jar
    check_jvm installed-library -- "-Djava.library.path=$prefix/$jni_dir" -cp "$installed_jar:$checks" \
      -- route path
    ;;

  exports)
    needed=$(readelf -d "$library" | grep NEEDED)
    echo "$needed"
    if echo "$needed" | grep -q -e 'libstdc++' -e 'libgcc_s'; then
      fail "the library needs the machine's C++ runtime"
    fi
    exports=$(nm -D --defined-only "$library" | awk '{print $3}')
    echo "$exports"
    others=$(echo "$exports" | grep -v -E '^(Java_(palvorin|tavrik)_[A-Za-z_0-9]+|JNI_OnLoad|JNI_OnUnload)$')
    [ -z "$others" ] || fail "exports beyond the JNI functions: $others"
    echo "$exports" | grep -q '^JNI_OnLoad$' || fail "JNI_OnLoad is not exported"
    echo "$exports" | grep -q '^JNI_OnUnload$' || fail "JNI_OnUnload is not exported"
    # Each library of the jar needs no newer C library than the README says.
    for platform in $(unzip -Z1 "$jar" 'native/*/libtavrik.so' | cut -d/ -f2); do
      unzip -p "$jar" "native/$platform/libtavrik.so" >"$work/$platform.so"
      floor=$(objdump -T "$work/$platform.so" | grep -o 'GLIBC_[0-9.]*' | sort -u -V | tail -n 1)
      echo "$platform: needs $floor"
      [ -n "$floor" ] || fail "$platform: no GLIBC_ version found by objdump -T"
      if [ -n "$readme" ] && ! grep -qF -- "\`$platform\`: \`$floor\`" "$readme"; then
        fail "the README does not state $platform's glibc floor as \`$platform\`: \`$floor\`"
      fi
    done
    ;;

  module)
    # The test's module, compiled against the jar on the module path; both run as modules.
    "$javac" --module-path "$jar" -d "$work/moduletest" \
      "$sources/module/tavrik.moduletest/module-info.java" \
      "$sources/module/tavrik.moduletest/tavrik/moduletest/ModuleCheck.java" || fail "the module does not compile against the jar"
    (cd "$work/elsewhere" && "$java" --module-path "$jar" --describe-module tavrik) >"$work/describe.out" 2>&1
    cat "$work/describe.out"
    for pkg in tavrik palvorin palvorin.airport; do
      grep -qx "exports $pkg" "$work/describe.out" || fail "module tavrik does not export $pkg"
    done
    grep -q '^tavrik file:.*automatic' "$work/describe.out" && fail "module tavrik is automatic"
    (cd "$work/elsewhere" && env "${jvm_env[@]}" "$java" -Xcheck:jni "-Djava.io.tmpdir=$work/tmp" \
      "-Djava.library.path=$work/empty" --module-path "$jar:$work/moduletest" \
      -m tavrik.moduletest/tavrik.moduletest.ModuleCheck) >"$work/module.out" 2>&1
    status=$?
    cat "$work/module.out"
    jvm_verdict module "$status"
    grep -q '^CHECK PASSED: module' "$work/module.out" || fail "the module check did not finish"
    ;;

  maven)
    # No network: an empty local repository, and Debian's Maven repository of plugins as the only
    # remote one, a folder; Maven runs offline.
    repo="$work/repository"
    cat >"$work/settings.xml" <<SETTINGS
<settings>
  <localRepository>$repo</localRepository>
  <offline>true</offline>
  <profiles><profile><id>debian</id>
    <repositories><repository><id>debian</id><url>file:///usr/share/maven-repo</url></repository></repositories>
    <pluginRepositories><pluginRepository><id>debian</id><url>file:///usr/share/maven-repo</url></pluginRepository></pluginRepositories>
  </profile></profiles>
  <activeProfiles><activeProfile>debian</activeProfile></activeProfiles>
</settings>
SETTINGS
    mvn_run() {
      "$mvn" --batch-mode --no-transfer-progress -o -s "$work/settings.xml" -Daether.offline.protocols=file "$@"
    }
    base="$build_dir/tavrik-$version"
    if ! (cd "$work/empty" && mvn_run org.apache.maven.plugins:maven-install-plugin:3.1.0:install-file -Dfile="$base.jar" \
        -DpomFile="$base.pom" -Dsources="$base-sources.jar" -Djavadoc="$base-javadoc.jar") >"$work/install.out" 2>&1; then
      cat "$work/install.out"
      fail "installing the jars into the local repository failed"
    fi
    installed="$repo/org/tavrik/tavrik/$version"
    for f in "tavrik-$version.jar" "tavrik-$version.pom" "tavrik-$version-sources.jar" "tavrik-$version-javadoc.jar"; do
      [ -f "$installed/$f" ] || fail "not in the local repository: $installed/$f"
    done
    for element in name description url licenses scm developers; do
      grep -q "<$element>" "$installed/tavrik-$version.pom" || fail "the POM has no <$element>"
    done
    unzip -Z1 "$installed/tavrik-$version-sources.jar" | grep -qx 'tavrik/NativeLibrary.java' ||
      fail "the sources jar lacks tavrik/NativeLibrary.java"
    unzip -Z1 "$installed/tavrik-$version-javadoc.jar" | grep -qx 'index.html' || fail "the javadoc jar lacks index.html"
    consumer="$work/consumer"
    cp -r "$sources/../maven/consumer" "$consumer"
    sed -e "s|@VERSION@|$version|" -e "s|@JAVA@|$java|" "$consumer/pom.xml.in" >"$consumer/pom.xml"
    rm "$consumer/pom.xml.in"
    (cd "$consumer" && mvn_run -Djava.io.tmpdir="$work/tmp" compile exec:exec) >"$work/consumer.out" 2>&1
    status=$?
    cat "$work/consumer.out"
    jvm_verdict consumer "$status"
    grep -q "^consumer: 11 days over 2 flights, library from .*/tavrik-[^/]*\.so" "$work/consumer.out" ||
      fail "the consumer did not run its route through the jar's library"
    ;;

  native-access)
    newer=''
    for candidate in /usr/lib/jvm/*/bin/java; do
      release=$("$candidate" -version 2>&1 | sed -n '1s/.*version "\([0-9]*\).*/\1/p')
      if [ -n "$release" ] && [ "$release" -ge 22 ]; then
        newer=$candidate
        break
      fi
    done
    if [ -z "$newer" ]; then
      echo "SKIPPED: no JVM of release 22 or later under /usr/lib/jvm"
      exit 77
    fi
    echo "JVM: $newer"
    launcher=("$newer")
    warning='restricted method'
    check_jvm without-flag -- "-Djava.io.tmpdir=$work/tmp" "-Djava.library.path=$work/empty" -- route jar
    grep -q "$warning" "$work/without-flag.out" || fail "no restricted-method warning without the flag: the check proves nothing"
    check_jvm class-path-flag -- --enable-native-access=ALL-UNNAMED "-Djava.io.tmpdir=$work/tmp" \
      "-Djava.library.path=$work/empty" -- route jar
    ! grep -q "$warning" "$work/class-path-flag.out" || fail "--enable-native-access=ALL-UNNAMED left the warning"
    # On the module path: the check class, in the unnamed module, calls into module tavrik.
    check_jvm module-path-flag -- --enable-native-access=tavrik "-Djava.io.tmpdir=$work/tmp" \
      "-Djava.library.path=$work/empty" --module-path "$jar" --add-modules tavrik -cp "$checks" -- route jar
    ! grep -q "$warning" "$work/module-path-flag.out" || fail "--enable-native-access=tavrik left the warning"
    ;;

  aarch64)
    # The jar's linux-aarch64 library in an arm64 JVM (Debian's openjdk-17-jre-headless:arm64)
    # under qemu-user: the jar alone, a route and a booking, four threads.
    if [ -z "$qemu" ] || [ ! -x "$qemu" ] || [ -z "$arm_java" ] || [ ! -x "$arm_java" ]; then
      echo "SKIPPED: no qemu-aarch64 or no arm64 JVM on this machine (qemu: ${qemu:-none}, arm64 java: ${arm_java:-none})"
      exit 77
    fi
    if ! "$qemu" "$arm_java" -version >"$work/qemu-probe.out" 2>&1; then
      echo "SKIPPED: qemu-aarch64 cannot run the arm64 JVM here: $(head -n 1 "$work/qemu-probe.out")"
      exit 77
    fi
    unzip -Z1 "$jar" | grep -qx 'native/linux-aarch64/libtavrik.so' || fail "the jar carries no native/linux-aarch64/libtavrik.so"
    launcher=("$qemu" "$arm_java")
    check_jvm arm64-route -- "-Djava.io.tmpdir=$work/tmp" "-Djava.library.path=$work/empty" \
      -Dtavrik.expect.arch=aarch64 "-Dtavrik.expect.version=$version" -- route jar
    check_jvm arm64-threads -- "-Djava.io.tmpdir=$work/tmp" "-Djava.library.path=$work/empty" -- threads
    if [ -n "$(copies_in "$work/tmp")" ]; then
      fail "copies left after the JVMs exited: $(copies_in "$work/tmp")"
    fi
    ;;

  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac

if [ "$failed" -ne 0 ]; then
  exit 1
fi
echo "PASSED: $scenario"
