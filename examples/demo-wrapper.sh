# The archive-tool wrappers in a small kit laid out under the build folder
# (sourced by examples/demo). The target's tools are the machine's own ar,
# ranlib and nm behind a shim that shows the command line it received.
kit="$build/demo/kit"
target=$(sed -n 's/^YEW_TARGET:STRING=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^YEW_VERSION:STRING=//p' "$build/CMakeCache.txt")
rm -rf "$kit"
mkdir -p "$kit/bin" "$kit/lib/yew/$target/$version" "$kit/libexec/yew/$target/$version" "$kit/$target/bin"
cp "$build/wrapper/yew-ar" "$build/wrapper/yew-ranlib" "$build/wrapper/yew-nm" "$kit/bin/"
: > "$kit/libexec/yew/$target/$version/libwpo_plugin.so"
for tool in ar ranlib nm; do
  real=$(command -v "$tool")
  printf '#!/bin/sh\necho "  $(basename "$0") received: $*" >&2\nexec %s "$@"\n' "$real" > "$kit/$target/bin/$tool"
  chmod +x "$kit/$target/bin/$tool"
done

work="$build/demo/wrapper"
rm -rf "$work" && mkdir -p "$work"
cc -c "$here/hello.c" -o "$work/hello.o"
cd "$work"
run "$kit/bin/yew-ar" rcs libhello.a hello.o
run "$kit/bin/yew-ranlib" libhello.a
run "$kit/bin/yew-nm" libhello.a
cd "$here/.."
