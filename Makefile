# Front door: `make test` installs what is missing, builds the release and the
# sanitizer trees incrementally and runs every test in both; `make demo` shows
# the programs at work.
JOBS ?= 2
RELEASE := build/release
ASAN := build/asan

.PHONY: all test demo deps release asan bench clean

all: release

deps:
	@scripts/install-deps

$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release

$(ASAN)/CMakeCache.txt:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIT_SANITIZE=ON

release: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)

asan: deps $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)

test: release asan
	ctest --test-dir $(RELEASE) -j $(JOBS) --output-on-failure
	ctest --test-dir $(ASAN) -j $(JOBS) --output-on-failure

demo: release
	examples/demo $(RELEASE)

bench: release
	bench/run $(RELEASE)

clean:
	rm -rf build
