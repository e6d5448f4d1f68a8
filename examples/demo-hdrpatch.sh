# hdrpatch on a freshly compiled object, a regular archive and a thin archive
# (sourced by examples/demo).
hp="$build/hdrpatch/hdrpatch"
work="$build/demo/hdrpatch"
rm -rf "$work" && mkdir -p "$work"
cc -c "$here/hello.c" -o "$work/hello.o"
cp "$work/hello.o" "$work/thin-member.o"
(cd "$work" && ar rc libhello.a hello.o && ar rcT libthin.a thin-member.o)

fields() {
  readelf -h "$@" | grep -E '^File:|OS/ABI|ABI Version|Machine'
}

cd "$work"
echo "# before:"
fields libhello.a thin-member.o
run "$hp" --input-osabi none --output-osabi linux --output-abiversion 1 libhello.a libthin.a
echo "# after:"
fields libhello.a thin-member.o
echo "# a header that does not match is left alone:"
run "$hp" --input-type exec --output-osabi freebsd hello.o
cd "$here/.."
