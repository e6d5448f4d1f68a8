# Front door: `make test` installs what is missing, builds the release and the
# sanitizer trees incrementally and runs every test in both; `make demo` shows
# the programs at work.
JOBS ?= 2
RELEASE := build/release
ASAN := build/asan
ARMHF := build/armhf
ARMHF_DEPS := build/armhf-deps
FUZZ := build/fuzz
MEMCHECK := build/memcheck
VALGRIND := /usr/bin/env KIT_MEMCHECK=1 /usr/bin/valgrind --quiet --error-exitcode=99 --leak-check=no
FUZZ_SECONDS ?= 60

.PHONY: all test demo deps deps-armhf release asan armhf cross-test clang-test plain unprivileged-test deb fuzz memcheck pot bench clean

all: release

deps:
	@scripts/install-deps

# The release and armhf trees are the packaged ones: configured for /usr, so
# that hdrpatch finds its catalogues where the packages put them.
$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKIT_WERROR=ON

$(ASAN)/CMakeCache.txt:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIT_SANITIZE=ON -DKIT_WERROR=ON

release: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)

asan: deps $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)

test: release asan
	ctest --test-dir $(RELEASE) -j $(JOBS) --output-on-failure
	ctest --test-dir $(ASAN) -j $(JOBS) --output-on-failure

deps-armhf:
	@scripts/install-deps --armhf $(ARMHF_DEPS)

$(ARMHF)/CMakeCache.txt: | deps-armhf
	cmake -S . -B $(ARMHF) -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKIT_WERROR=ON -DKIT_ARMHF_DEPS=$(CURDIR)/$(ARMHF_DEPS)

armhf: deps-armhf $(ARMHF)/CMakeCache.txt
	cmake --build $(ARMHF) -j $(JOBS)

# The whole suite on the target, under qemu-arm.
cross-test: armhf
	ctest --test-dir $(ARMHF) -j $(JOBS) --output-on-failure

# One package for this machine's architecture and one for armhf.
deb: release armhf
	cd $(RELEASE) && cpack -G DEB
	cd $(ARMHF) && cpack -G DEB
	scripts/check-deb $(RELEASE)/objkit_*.deb $(ARMHF)/objkit_*_armhf.deb

$(FUZZ)/CMakeCache.txt:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIT_FUZZ=ON -DKIT_WERROR=ON

# The same suite built with clang, and the programs alone without any test
# tool: both builds must keep working for packagers.
CLANG := build/clang
PLAIN := build/plain
$(CLANG)/CMakeCache.txt:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(CLANG) -DCMAKE_BUILD_TYPE=Release -DKIT_WERROR=ON

clang-test: deps $(CLANG)/CMakeCache.txt
	cmake --build $(CLANG) -j $(JOBS)
	ctest --test-dir $(CLANG) -j $(JOBS) --output-on-failure

# The suite as the user nobody, on a copy of the tree (as root the permission
# tests are skipped). Needs root to change user.
unprivileged-test: deps
	scripts/test-unprivileged

$(PLAIN)/CMakeCache.txt:
	cmake -S . -B $(PLAIN) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF

plain: deps $(PLAIN)/CMakeCache.txt
	cmake --build $(PLAIN) -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS (default 60) each; fails on any finding.
fuzz: deps $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS) --target fuzzers
	tests/fuzz/run $(FUZZ) $(FUZZ_SECONDS)

# The whole suite with every program and unit test under valgrind's memcheck.
# (Records live until exit by design, so leaks are not counted.)
# Programs linked dynamically and with the C library's allocator, so that
# valgrind sees every allocation.
$(MEMCHECK)/CMakeCache.txt:
	cmake -S . -B $(MEMCHECK) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIT_STATIC_WRAPPERS=OFF \
	  -DKIT_STATIC_MOD_QUERY=OFF -DKIT_MOD_QUERY_ALLOCATOR=OFF -DKIT_WERROR=ON \
	  "-DCMAKE_CROSSCOMPILING_EMULATOR=$(subst $(eval) ,;,$(VALGRIND))"

memcheck: deps $(MEMCHECK)/CMakeCache.txt
	cmake --build $(MEMCHECK) -j $(JOBS)
	ctest --test-dir $(MEMCHECK) -j $(JOBS) --output-on-failure

# The translation template for hdrpatch's messages, from the sources.
# The template names files but not lines, and is replaced only when a text
# changed (its creation date aside), so an unchanged tree gives no churn.
pot:
	xgettext --keyword=_ --keyword=N_ --from-code=UTF-8 --package-name=objkit --package-version=1.0.0 \
	  --msgid-bugs-address=objkit@example.org --copyright-holder="The Objkit developers" \
	  --add-location=file -o po/objkit.pot.new hdrpatch/*.cc
	if [ -f po/objkit.pot ] && diff -q -I '^"POT-Creation-Date:' po/objkit.pot po/objkit.pot.new >/dev/null; \
	then rm po/objkit.pot.new; else mv po/objkit.pot.new po/objkit.pot; fi
	for po in po/*.po; do msgmerge --quiet --update --backup=none --add-location=file $$po po/objkit.pot; done

demo: release
	examples/demo $(RELEASE)

bench: release
	bench/run $(RELEASE)

clean:
	rm -rf build
