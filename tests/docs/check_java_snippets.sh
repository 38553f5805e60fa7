#!/usr/bin/env bash
# Compiles every ```java block of the Markdown files given, and every
# <pre>{@code ...}</pre> block of the HTML files given (the Javadoc overview),
# each on its own, with only the tavrik jar on the class path, so that the
# documentation's code cannot drift from the code.
#
# Usage: check_java_snippets.sh --javac JAVAC --jar TAVRIK_JAR --work DIR FILE.md|FILE.html...
#
# Two kinds of block:
#   ```java            a whole source file (its public type names the file);
#   ```java fragment   statements, optionally after import lines: the imports
#                      go to the top of a file of their own and the statements
#                      into the body of a method of a class around them.
# Markdown shows both alike (the word after "java" is not displayed).
set -u

javac='' jar='' work=''
while [ $# -gt 0 ]; do
  case $1 in
    --javac) javac=$2; shift 2 ;;
    --jar) jar=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) break ;;
  esac
done
if [ -z "$javac" ] || [ -z "$jar" ] || [ -z "$work" ] || [ $# -eq 0 ]; then
  echo "check_java_snippets.sh: --javac, --jar, --work and at least one Markdown file are required" >&2
  exit 2
fi
rm -rf "$work"
mkdir -p "$work"

blocks=0 failed=0
for md in "$@"; do
  # One file per block: BLOCK-LINE.KIND, where LINE is the line of its opening fence.
  awk -v out="$work" -v name="$(basename "$md")" '
    /^```java( fragment)?[ \t]*$/ && !inside {
      inside = 1
      kind = ($2 == "fragment") ? "fragment" : "file"
      file = sprintf("%s/%s-%d.%s", out, name, NR, kind)
      printf "" > file
      next
    }
    /^```/ && inside { inside = 0; close(file); next }
    inside { print >> file }
  ' "$md"
  # An HTML page's code blocks are whole source files.
  awk -v out="$work" -v name="$(basename "$md")" '
    /^<pre>\{@code[ \t]*$/ && !inside {
      inside = 1
      file = sprintf("%s/%s-%d.file", out, name, NR)
      printf "" > file
      next
    }
    /^\}<\/pre>/ && inside { inside = 0; close(file); next }
    inside {
      gsub(/&lt;/, "<"); gsub(/&gt;/, ">"); gsub(/&amp;/, "\\&")
      print >> file
    }
  ' "$md"
done
for block in "$work"/*.file "$work"/*.fragment; do
  [ -e "$block" ] || continue
  blocks=$((blocks + 1))
  where=$(basename "$block")
  where=${where%.*}
  dir="$work/compile-$blocks"
  mkdir -p "$dir"
  case $block in
    *.file)
      type=$(grep -m 1 -oE '^public +(final +|abstract +)?(class|record|interface|enum) +[A-Za-z_][A-Za-z_0-9]*' "$block" |
        awk '{print $NF}')
      if [ -z "$type" ]; then
        echo "FAILED: ${where%-*} line ${where##*-}: a \`\`\`java block must declare a public type (or be marked \`\`\`java fragment)"
        failed=1
        continue
      fi
      cp "$block" "$dir/$type.java"
      ;;
    *.fragment)
      {
        grep -E '^import ' "$block"
        echo "final class Snippet {"
        echo "    static void run() throws Exception {"
        grep -vE '^import ' "$block"
        echo "    }"
        echo "}"
      } >"$dir/Snippet.java"
      ;;
  esac
  if ! "$javac" -Xlint:all -Werror -proc:none -cp "$jar" -d "$dir/classes" "$dir"/*.java >"$dir/javac.out" 2>&1; then
    echo "FAILED: ${where%-*} line ${where##*-}: the block does not compile with only the jar on the class path:"
    cat "$dir/javac.out"
    failed=1
  else
    echo "compiled: ${where%-*} line ${where##*-}"
  fi
done
if [ "$blocks" -eq 0 ]; then
  echo "FAILED: no \`\`\`java block found in $*"
  exit 1
fi
if [ "$failed" -ne 0 ]; then
  exit 1
fi
echo "PASSED: $blocks blocks compiled"
