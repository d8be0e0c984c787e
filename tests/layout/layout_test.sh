#!/usr/bin/env bash
# Keeps the layout honest: the core's folders include no Qt header and
# nothing from ui/; no CMakeLists.txt builds a source that lies outside its
# own folder (code only from the folder itself, pictures and schemas also
# from a data subfolder); every folder of src/ and tools/ builds at most one
# target; hand tracking stays in src/platform/handtracking, in one namespace.
# Usage: layout_test.sh SOURCE_DIR
set -uo pipefail
cd "${1:?source directory}" || exit 2

core_folders=(src/core src/midi src/surface src/modes src/presets src/camera)
failures=0
fail() { echo "layout: $*"; failures=$((failures + 1)); }

# Qt's headers are <QWidget>, <QtCore/qstring.h>, <qglobal.h>; ours under ui/.
qt_or_ui='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z0-9_]*|Qt[A-Za-z0-9_]*/[^>"]*|q[a-z0-9_]*\.h|ui/[^>"]*)[>"]'
while IFS= read -r hit; do
  fail "a core file includes a Qt or ui/ header: $hit"
done < <(grep -rnE "$qt_or_ui" "${core_folders[@]}" --include='*.h' --include='*.cpp' --include='*.hpp')

source_files='[^[:space:]()"]+\.(cpp|cc|cxx|c|h|hpp|qrc|svg|fbs|ui)\b'
while IFS= read -r list; do
  folder=$(dirname "$list")
  # Comments and the header lookups of find_path name no source of ours.
  while IFS= read -r source; do
    case "$source" in
      '${CMAKE_CURRENT_BINARY_DIR}'/* | '$<'*) continue ;; # generated here
      '${CMAKE_CURRENT_SOURCE_DIR}'/*) source=${source#'${CMAKE_CURRENT_SOURCE_DIR}/'} ;;
    esac
    case "$source" in
      '${PROJECT_SOURCE_DIR}'/* | '${CMAKE_SOURCE_DIR}'/*) ;; # the whole tree: judged below
      '$'*) continue ;; # a variable of this file's own, such as a generated file
    esac
    if [[ "$source" == *..* || "$source" == /* || "$source" == '$'* ]]; then
      fail "$list builds $source, outside its folder"
    elif [[ "$source" == */* && "$source" =~ \.(cpp|cc|cxx|c|h|hpp)$ ]]; then
      fail "$list builds $source from a subfolder; that folder's own CMakeLists.txt should"
    elif [[ "$source" == */* && -e "$folder/${source%%/*}/CMakeLists.txt" ]]; then
      fail "$list builds $source, which belongs to $folder/${source%%/*}/CMakeLists.txt"
    fi
  done < <(sed -e 's/#.*//' "$list" | grep -vE '^[[:space:]]*find_(path|file)\(' | grep -oE "$source_files")
done < <(find src tools tests bench fuzz packaging -name CMakeLists.txt)

while IFS= read -r list; do
  targets=$(sed -e 's/#.*//' "$list" | grep -E '^[[:space:]]*(add_(library|executable)|vantor_library|vantor_gtest)\(' | grep -cv ' ALIAS ')
  ((targets <= 1)) || fail "$list builds $targets targets; a folder of src/ or tools/ builds one"
done < <(find src tools -name CMakeLists.txt)

for old in tflite network handpose handpose_module; do
  [[ ! -e src/platform/$old ]] || fail "src/platform/$old is back; hand tracking lives in src/platform/handtracking"
done
while IFS= read -r hit; do
  fail "the hand-tracking namespace opened outside src/platform/handtracking: $hit"
done < <(grep -rnE '^namespace vantor::handtracking\b' src tools bench fuzz --include='*.h' --include='*.cpp' |
  grep -v '^src/platform/handtracking/')
while IFS= read -r hit; do
  fail "hand tracking opens a namespace other than its own: $hit"
done < <(grep -rnE '^namespace [a-z_:]+ \{' src/platform/handtracking | grep -v ':namespace vantor::handtracking {$')

((failures == 0)) && echo "layout: ok"
exit $((failures > 0))
