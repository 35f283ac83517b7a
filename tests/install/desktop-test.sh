#!/usr/bin/env bash
# What a user of the Linux desktop meets: the programs' own options, an install, the package.
#   desktop-test.sh options|install|package BUILD_DIR VERSION
# Exits 77 (skipped) when a tool the check needs is missing.
set -euo pipefail
check=$1 build=$(cd "$2" && pwd) version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need() { command -v "$1" >/dev/null || { echo "Skipped: $1 is not installed ($2)."; exit 77; }; }

# Every file an install holds, under its prefix.
installed_files="bin/halvo
bin/halvo-run
share/applications/halvo.desktop
share/icons/hicolor/scalable/apps/halvo.svg
share/man/man6/halvo-run.6
share/man/man6/halvo.6"

case $check in
options)
    # program|argument|exit code|where the answer goes: usage on out, usage on err, or the version
    cases="halvo|--help|0|out halvo|-h|0|out halvo|--version|0|version halvo|--bogus|2|err
           halvo-run|--help|0|out halvo-run|--version|0|version halvo-run|--bogus|4|err"
    for case in $cases; do
        IFS='|' read -r program argument code answer <<<"$case"
        binary=$build/$program
        [ "$program" = halvo-run ] && binary=$build/tools/halvo-run
        # No display at all: a program that opened a window would fail, and would leave its log here.
        mkdir "$work/run" && cd "$work/run"
        status=0
        env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$binary" "$argument" >../out 2>../err || status=$?
        cd "$work"
        [ "$status" = "$code" ] || fail "$program $argument exited with $status, not $code"
        [ -z "$(ls -A run)" ] || fail "$program $argument left files: $(ls -A run)"
        case $answer in
        out) grep -q "^Usage: $program " out && [ ! -s err ] || fail "$program $argument: no usage on stdout alone" ;;
        err) grep -q "^Usage: $program " err && [ ! -s out ] || fail "$program $argument: no usage on stderr alone" ;;
        version) [ "$(cat out)" = "$program $version" ] && [ ! -s err ] || fail "$program $argument: $(cat out err)" ;;
        esac
        rm -rf run out err
    done
    ;;
install)
    need desktop-file-validate "Debian package desktop-file-utils"
    need man "Debian package man-db"
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    [ "$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort)" = "$installed_files" ] ||
        fail "installed files differ: $(cd "$work/prefix" && find . -type f | sort)"
    # Hints count too: an entry without a main category lands in a catch-all corner of the menu.
    hints=$(desktop-file-validate "$work/prefix/share/applications/halvo.desktop" 2>&1) && [ -z "$hints" ] ||
        fail "desktop entry: $hints"
    for page in halvo halvo-run; do
        MANWIDTH=80 man --warnings -l "$work/prefix/share/man/man6/$page.6" >"$work/page" 2>"$work/warnings" ||
            fail "man cannot render $page.6"
        [ ! -s "$work/warnings" ] || fail "$page.6: $(cat "$work/warnings")"
        grep -q "Halvo $version" "$work/page" || fail "$page.6 does not name version $version"
    done
    ;;
package)
    need dpkg-deb "Debian package dpkg"
    need dpkg-shlibdeps "Debian package dpkg-dev"
    need file "Debian package file"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
    deb=$work/halvo_${version}_$(dpkg --print-architecture).deb
    [ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./usr/||' | sort)" = "$installed_files" ] ||
        fail "packaged files differ: $(dpkg-deb -c "$deb")"
    dpkg-deb -f "$deb" Depends | grep -q libsdl2 || fail "no dependency on SDL: $(dpkg-deb -f "$deb" Depends)"
    [ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section is not games"
    ;;
esac
[ "$failures" = 0 ] && echo "All $check checks passed."
[ "$failures" = 0 ]
