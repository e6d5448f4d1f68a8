#!/bin/sh
# Installs hdrpatch and its message catalogues from one build tree into two
# temporary prefixes, neither the one the tree was configured for, and moves
# the second after installing. Each copy must find its own catalogue: a
# diagnostic and the usage come out in German under that language, and
# unchanged under LANG=C.
# usage: catalogue-test.sh BUILD_DIR WORK_DIR
set -eu
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

failed=0
expect() {  # expect DESCRIPTION TEXT OUTPUT
  if printf '%s\n' "$3" | grep -qF -- "$2"; then
    echo "ok: $1"
  else
    printf 'FAILED: %s: expected %s in:\n%s\n' "$1" "$2" "$3" >&2
    failed=1
  fi
}

check_prefix() {  # check_prefix PREFIX
  hp="$1/bin/hdrpatch"
  test -f "$1/share/locale/de/LC_MESSAGES/objkit.mo"
  # C.UTF-8 is a real locale on every machine, so LANGUAGE chooses the catalogue.
  german=$(cd "$work" && LC_ALL=C.UTF-8 LANGUAGE=de "$hp" --output-osabi linux missing.o 2>&1 || true)
  expect "$1: German diagnostic" "hdrpatch: Fehler: »missing.o«: Datei nicht gefunden" "$german"
  german=$(LC_ALL=C.UTF-8 LANGUAGE=de "$hp" --help)
  expect "$1: German usage" "Aufruf: hdrpatch <Option(en)> ELF-Datei(en)" "$german"
  expect "$1: German options" "Die Versionsnummer von hdrpatch anzeigen" "$german"
  plain=$(cd "$work" && LANG=C LANGUAGE=de "$hp" --output-osabi linux missing.o 2>&1 || true)
  expect "$1: untranslated diagnostic" "hdrpatch: Error: 'missing.o': No such file" "$plain"
  plain=$(LANG=C "$hp" --help)
  expect "$1: untranslated usage" "Usage: hdrpatch <option(s)> elffile(s)" "$plain"
}

cmake --install "$build" --component hdrpatch --prefix "$work/one" > "$work/install-one.log"
cmake --install "$build" --component hdrpatch --prefix "$work/two" > "$work/install-two.log"
mv "$work/two" "$work/moved"
check_prefix "$work/one"
check_prefix "$work/moved"
exit $failed
