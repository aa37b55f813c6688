#!/usr/bin/env bash
# Checks the README's install section on a release build folder (argument):
# `cmake --install` into a scratch DESTDIR gives every file, and one that
# cannot complete copies nothing; then it builds the Debian package and checks
# it: the files it must hold, their owner and modes, a stripped program,
# computed dependencies, a manual page that renders without warnings, and,
# where lintian is installed, no lintian errors or warnings.
set -euo pipefail
build=$1
rm -f "$build"/morvalis_*.deb
fail() {
  echo "package check: $*" >&2
  exit 1
}
staged=$(mktemp -d)
unpacked=$(mktemp -d)
trap 'rm -rf "$staged" "$unpacked"' EXIT
installed=$(DESTDIR="$staged" cmake --install "$build" --prefix /usr/local 2>&1) ||
  fail "cmake --install failed: $installed"
for path in bin/morvalis bin/morvalis-display bin/morvalis-rapport bin/morvalis-automat bin/morvalis-rum \
  share/man/man1/morvalis.1.gz share/man/man1/morvalis-display.1.gz \
  share/man/man1/morvalis-rapport.1.gz share/man/man1/morvalis-automat.1.gz share/man/man1/morvalis-rum.1.gz \
  share/doc/morvalis/copyright share/doc/morvalis/changelog.gz; do
  [ -f "$staged/usr/local/$path" ] || fail "cmake --install did not install /usr/local/$path"
done
rm -rf "${staged:?}"/*
mv "$build/doc/changelog.gz" "$build/doc/changelog.gz.aside"
if DESTDIR="$staged" cmake --install "$build" >/dev/null 2>&1; then
  mv "$build/doc/changelog.gz.aside" "$build/doc/changelog.gz"
  fail "cmake --install went on without the changelog"
fi
mv "$build/doc/changelog.gz.aside" "$build/doc/changelog.gz"
[ -z "$(ls -A "$staged")" ] || fail "an install that could not complete copied files"

made=$(cd "$build" && cpack -G DEB 2>&1) || fail "cpack failed: $made"
deb=$(ls "$build"/morvalis_*.deb)

contents=$(dpkg-deb -c "$deb")
for path in usr/bin/morvalis usr/bin/morvalis-display usr/bin/morvalis-rapport usr/bin/morvalis-automat usr/bin/morvalis-rum \
  usr/share/man/man1/morvalis.1.gz usr/share/man/man1/morvalis-display.1.gz \
  usr/share/man/man1/morvalis-rapport.1.gz usr/share/man/man1/morvalis-automat.1.gz usr/share/man/man1/morvalis-rum.1.gz \
  usr/share/doc/morvalis/copyright \
  usr/lib/systemd/system/morvalis-display@.service \
  usr/lib/systemd/system/getty@tty2.service.d/morvalis-display.conf \
  usr/share/doc/morvalis/changelog.gz; do
  grep -q " \./$path\$" <<<"$contents" || fail "$path is missing from $deb"
done
for program in morvalis morvalis-display morvalis-rapport morvalis-automat morvalis-rum; do
  grep -Eq "^-rwxr-xr-x root/root .* \./usr/bin/$program\$" <<<"$contents" ||
    fail "/usr/bin/$program is not root-owned 0755"
done
if grep -v '^d' <<<"$contents" | grep -Ev 'usr/bin/morvalis(-display|-rapport|-automat|-rum)?$' |
  grep -vq '^-rw-r--r-- root/root'; then
  fail "a data file is not root-owned 0644"
fi

dpkg-deb -x "$deb" "$unpacked"
for program in morvalis morvalis-display morvalis-rapport morvalis-automat morvalis-rum; do
  file "$unpacked/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done
dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "no dependencies computed"
# The display's unit as systemd reads it, its program the unpacked one.
if command -v systemd-analyze >/dev/null 2>&1; then
  unit="$unpacked/unit/morvalis-display@.service"
  mkdir -p "$unpacked/unit"
  sed "s#/usr/bin/morvalis-display#$unpacked/usr/bin/morvalis-display#" \
    "$unpacked/usr/lib/systemd/system/morvalis-display@.service" >"$unit"
  problems=$(systemd-analyze verify --man=no "$unit" 2>&1) || fail "the unit: $problems"
  [ -z "$problems" ] || fail "the unit: $problems"
else
  echo "skipped: systemd-analyze verify of the display's unit: no systemd-analyze here"
fi
if command -v groff >/dev/null 2>&1; then
  warnings=$(for page in morvalis morvalis-display morvalis-rapport; do
    zcat "$unpacked/usr/share/man/man1/$page.1.gz" | groff -ww -z -man 2>&1
  done)
  [ -z "$warnings" ] || fail "the manual page: $warnings"
  man_result="render without warnings"
else
  echo "package check: SKIPPED the manual page check: groff is not installed"
  man_result="not checked"
fi

if command -v lintian >/dev/null 2>&1; then
  # lintian keeps caches in TMPDIR: a scratch folder, not /tmp.
  tags=$(TMPDIR="$unpacked" lintian --fail-on none "$deb" 2>/dev/null | grep -E '^[EW]:' || true)
  [ -z "$tags" ] || fail "lintian: $tags"
  lintian_result="no errors, no warnings"
else
  echo "package check: SKIPPED lintian: it is not installed"
  lintian_result="not run"
fi
echo "cmake --install: every file, and nothing when it cannot complete"
echo "Debian package: $(basename "$deb"), $(stat -c %s "$deb") bytes; files, modes and" \
  "dependencies as they should be; manual pages $man_result; lintian: $lintian_result"
