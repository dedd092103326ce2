#!/usr/bin/env bash
# Installing: `cmake --install` into a fresh prefix puts the three programs in
# bin/, a desktop entry that validates, its icon and the man page; the
# installed tarno answers --help and --version on the terminal without a
# display and exits 0.
set -u
build=$(cd "${1:?usage: $0 <build dir>}" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarno-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
for program in tarno jointc tarno-demo; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
desktop="$prefix/share/applications/tarno.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (scripts/install-deps.sh installs it)"
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon is not installed"
page="$prefix/share/man/man1/tarno.1"
[ -f "$page" ] || fail "no man page"
grep -q '@PROJECT_VERSION@' "$page" && fail "the man page's version was not filled in"
if command -v man >/dev/null; then
    MANWIDTH=80 man -l "$page" 2>&1 | grep -q -- "--version" || fail "the man page does not render"
fi

version=$(env -u DISPLAY "$prefix/bin/tarno" --version) || fail "--version exited with $?"
[[ "$version" =~ ^tarno\ [0-9]+\.[0-9]+ ]] || fail "--version printed '$version'"
help=$(env -u DISPLAY "$prefix/bin/tarno" --help) || fail "--help exited with $?"
[[ "$help" == "Usage: tarno "* ]] || fail "--help printed '$help'"
# A file named like an option is still a file after "--": without a display
# the program refuses to start (it does not print the usage).
out=$(env -u DISPLAY "$prefix/bin/tarno" -- --help 2>&1) && fail "tarno -- --help started without a display"
[[ "$out" == "Usage: tarno "* ]] && fail "tarno -- --help printed the usage"
echo "install test passed"
