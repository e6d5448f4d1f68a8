# mod-query on the module files in examples/modules (sourced by examples/demo).
mq="$build/query/mod-query"
export MOD_QUERY_PATH="$here/modules"
export MOD_QUERY_LIBDIR=
run "$mq" --version
run "$mq" --modversion imgkit zlite
run "$mq" --cflags --libs imgkit
run "$mq" --libs --static imgkit
run "$mq" --print-requires imgkit
run "$mq" --print-requires-private imgkit
run "$mq" --exists --atleast-version=3 zlite
echo "# widget-uninstalled.mq is preferred over widget.mq:"
run "$mq" --modversion widget
run "$mq" --uninstalled widget
MOD_QUERY_TOP_BUILD_DIR=/home/dev/build run "$mq" --cflags widget
echo "# the same flags for a cross build, under a sysroot:"
MOD_QUERY_SYSROOT_DIR=/srv/armhf-root run "$mq" --cflags --libs imgkit
run "$mq" --list-all
unset MOD_QUERY_PATH MOD_QUERY_LIBDIR
