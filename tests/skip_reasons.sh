#!/usr/bin/env bash
# Prints, one line each, every test the last ctest run skipped and why
# (ctest itself only says "Skipped"): GoogleTest's skips with the reason
# given, and the lines a test prints when it leaves out a part of itself.
set -euo pipefail
log=$1/Testing/Temporary/LastTest.log
[ -f "$log" ] || exit 0
awk '
  /^\[ RUN      \] / { test = $4 }
  /: Skipped$/ { getline reason; print "skipped: " test ": " reason; next }
  /^Skipped/ { print "skipped in part: " test ": " $0 }
' "$log" | sort -u
