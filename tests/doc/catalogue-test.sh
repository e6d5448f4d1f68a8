#!/bin/sh
# Installs hdrpatch and its message catalogues into a temporary prefix (from a
# build configured for that prefix), then checks that a diagnostic and the
# usage come out in German under that language and unchanged under LANG=C.
# usage: catalogue-test.sh SOURCE_DIR WORK_DIR
set -eu
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$work/prefix" > "$work/configure.log"
cmake --build "$work/build" -j 2 --target hdrpatch objkit_catalogues > "$work/build.log"
cmake --install "$work/build" --component hdrpatch > "$work/install.log"
hp="$work/prefix/bin/hdrpatch"
test -f "$work/prefix/share/locale/de/LC_MESSAGES/objkit.mo"

failed=0
expect() {  # expect DESCRIPTION TEXT OUTPUT
  if printf '%s\n' "$3" | grep -qF -- "$2"; then
    echo "ok: $1"
  else
    printf 'FAILED: %s: expected %s in:\n%s\n' "$1" "$2" "$3" >&2
    failed=1
  fi
}

# C.UTF-8 is a real locale on every machine, so LANGUAGE chooses the catalogue.
german=$(cd "$work" && LC_ALL=C.UTF-8 LANGUAGE=de "$hp" --output-osabi linux missing.o 2>&1 || true)
expect "German diagnostic" "hdrpatch: Fehler: »missing.o«: Datei nicht gefunden" "$german"
german=$(LC_ALL=C.UTF-8 LANGUAGE=de "$hp" --help)
expect "German usage" "Aufruf: hdrpatch <Option(en)> ELF-Datei(en)" "$german"
expect "German options" "Die Versionsnummer von hdrpatch anzeigen" "$german"

plain=$(cd "$work" && LANG=C LANGUAGE=de "$hp" --output-osabi linux missing.o 2>&1 || true)
expect "untranslated diagnostic" "hdrpatch: Error: 'missing.o': No such file" "$plain"
plain=$(LANG=C "$hp" --help)
expect "untranslated usage" "Usage: hdrpatch <option(s)> elffile(s)" "$plain"
exit $failed
