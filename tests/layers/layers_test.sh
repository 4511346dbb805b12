#!/usr/bin/env bash
# The layers of the code: nothing but the window program reaches into window/, and the engine, the
# output and the file formats stay free of Qt, so that they build and test without a display.
# Usage: layers_test.sh SOURCE_DIR
set -u
cd "$1" || exit 2
status=0
report() {  # what, then the offending lines
  if [ -n "$2" ]; then
    echo "$1:"
    echo "$2"
    status=1
  fi
}
sources() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null; }

report "includes a window/ header" \
  "$(sources engine output files picture spreadsheet_uno app/batch_main.cpp | xargs -r grep -n -E '^\s*#\s*include\s*[<"]window/')"
report "includes a Qt header" \
  "$(sources engine output files | xargs -r grep -n -E '^\s*#\s*include\s*<Q[A-Za-z]*[>/.]|^\s*#\s*include\s*<qt|^\s*#\s*include\s*<Qt')"
[ $status -eq 0 ] && echo "layers: no file reaches across a layer"
exit $status
