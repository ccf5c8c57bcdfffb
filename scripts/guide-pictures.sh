#!/usr/bin/env bash
# Makes the user guide's pictures again from the real windows: builds the tests, runs the
# screenshot run (which draws every window offscreen with the demo data into build/shots/) and
# copies each picture the guide names into resources/Help/pictures/. Run it after changing a
# window; the tests themselves never write into the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target test_shell
QT_QPA_PLATFORM=offscreen build/tests/test_shell --gtest_filter='Screenshots.*'
mkdir -p resources/Help/pictures
missing=0
for name in $(grep -o 'src="pictures/[^"]*\.png"' resources/Help/index.html | sed 's|src="pictures/||; s|"$||' | sort -u); do
  if [ -f "build/shots/$name" ]; then
    cp "build/shots/$name" "resources/Help/pictures/$name"
    echo "guide-pictures.sh: pictures/$name"
  else
    echo "guide-pictures.sh: the screenshot run made no $name" >&2
    missing=1
  fi
done
exit "$missing"
