# Two entry points for a new user: `make run` and `make test`.
BUILD_RELEASE ?= build/release
BUILD_TEST    ?= build/test
SCRATCH       ?= build/scratch
JOBS          ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test build-release build-test clean deps package

# The Debian packages the build needs beyond a compiler, CMake and GoogleTest.
deps:
	scripts/build-deps.sh build

build-release: deps
	cmake -S . -B $(BUILD_RELEASE) -DCMAKE_BUILD_TYPE=Release -DORVALT_TESTS=OFF
	cmake --build $(BUILD_RELEASE) -j $(JOBS)
	@# The Python module, importable from the project's root.
	@for m in $(BUILD_RELEASE)/python/orvalt.*.so; do [ ! -e "$$m" ] || ln -sf "$$m" .; done

# Starts the program in a scratch folder that holds the shipped sample under
# the program's default input name, so Return at every question converts it.
run: build-release
	mkdir -p $(SCRATCH)
	cp examples/Na_Mg_mirror.xrdml $(SCRATCH)/Na_Mg_mirror.xrdml
	cd $(SCRATCH) && $(CURDIR)/$(BUILD_RELEASE)/driver/orvalt

build-test: deps
	scripts/build-deps.sh test
	cmake -S . -B $(BUILD_TEST) -DCMAKE_BUILD_TYPE=Debug -DORVALT_SANITIZE=ON -DORVALT_WERROR=ON
	cmake --build $(BUILD_TEST) -j $(JOBS)

# The release build too: the Python module is imported from the project's
# root after either command.
test: build-test build-release
	cd $(BUILD_TEST) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build

# Coverage-guided fuzzing with libFuzzer (clang); FUZZ_SECONDS per target,
# then the whole-program randomized runs for FUZZ_SECONDS with a new seed.
FUZZ_SECONDS ?= 600
.PHONY: fuzz windows test-windows
fuzz: build-test
	FUZZ_SECONDS=$(FUZZ_SECONDS) tests/fuzz/run_fuzzers.sh
	nice $(BUILD_TEST)/tests/randomized/randomized_runs $(BUILD_TEST)/driver/orvalt \
	    $(BUILD_TEST)/tests/randomized/scratch-long --seed $$(date +%s) --seconds $(FUZZ_SECONDS)

# 32-bit Windows console build (mingw-w64 i686), and the end-to-end suite
# run against it under Wine.
windows:
	scripts/windows-build.sh

test-windows: windows
	scripts/windows-test.sh

# Whole runs timed against the floor of the same work; prints the rows of the
# README's performance table. BENCH_RUNS rounds (medians are shown).
BENCH_RUNS ?= 11
.PHONY: bench bench-windows
bench: build-release
	scripts/build-deps.sh bench
	$(BUILD_RELEASE)/bench/bench_run --runs $(BENCH_RUNS) $(BUILD_RELEASE)/driver/orvalt
	$(BUILD_RELEASE)/bench/bench_batch --runs $(BENCH_RUNS) $(BUILD_RELEASE)/driver/orvalt \
	    ../shared/data/xrdml
	@# The Python module's reading, where the module was built.
	if [ -n "$$(ls $(BUILD_RELEASE)/python/orvalt.*.so 2>/dev/null)" ]; then \
	    PYTHONPATH=$(BUILD_RELEASE)/python /usr/bin/python3 \
	    bench/bench_python.py $(BUILD_RELEASE)/bench/make_xrdml $(BUILD_RELEASE)/bench/bench_reader \
	    --runs $(BENCH_RUNS); fi

# The same, then orvalt.exe under Wine (in the prefix of make test-windows),
# which must write the same files.
bench-windows: build-release windows
	env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=$(CURDIR)/build/wine-prefix WINEDEBUG=-all \
	    WINEDLLOVERRIDES="mscoree,mshtml=" $(BUILD_RELEASE)/bench/bench_run --runs $(BENCH_RUNS) \
	    --windows build/windows/driver/orvalt.exe $(BUILD_RELEASE)/driver/orvalt

# The Debian package and the .tar.gz of the Linux release build, and the .zip
# of the Windows build, in build/packages; package-linux makes the first two
# alone (for a machine without the Windows toolchain).
PACKAGES ?= build/packages
.PHONY: package-linux package-windows
package: package-linux package-windows
	ls -l $(PACKAGES)

package-linux: build-release
	scripts/build-deps.sh package
	mkdir -p $(PACKAGES)
	cd $(BUILD_RELEASE) && cpack -B $(CURDIR)/$(PACKAGES)
	rm -rf $(PACKAGES)/_CPack_Packages

package-windows: windows
	mkdir -p $(PACKAGES)
	cd build/windows && cpack -B $(CURDIR)/$(PACKAGES)
	rm -rf $(PACKAGES)/_CPack_Packages

# Pictures of the real measurement files for docs/gallery/, drawn by the
# program itself from the command line; the data files go to build/gallery.
GALLERY  ?= docs/gallery
ORVALT_R  = $(BUILD_RELEASE)/driver/orvalt
REAL      = tests/data/xrdml
.PHONY: gallery
gallery: build-release
	rm -rf build/gallery && mkdir -p build/gallery $(GALLERY)
	$(ORVALT_R) -q -d build/gallery --plot=$(CURDIR)/$(GALLERY)/Na_Mg_mirror_sum.svg examples/Na_Mg_mirror.xrdml
	$(ORVALT_R) -q -d build/gallery --gudrun --exclude 38,39,40 --plot=$(CURDIR)/$(GALLERY)/area_76_scans_gudrun.svg $(REAL)/area_76_scans.xrdml
	$(ORVALT_R) -d build/gallery --list --plot=$(CURDIR)/$(GALLERY)/polefig_Ge113_scans.svg $(REAL)/polefig_Ge113.xrdml > /dev/null
	$(ORVALT_R) -q -d build/gallery --units q --plot-log --plot=$(CURDIR)/$(GALLERY)/empyrean_q_log.svg $(REAL)/empyrean.xrdml
	$(ORVALT_R) -q -d build/gallery --plot-log --plot=$(CURDIR)/$(GALLERY)/om2th_counts_attenuated_log.svg $(REAL)/om2th_counts_attenuated.xrdml
	$(ORVALT_R) -q -d build/gallery --scan 1 --counts --units d --plot=$(CURDIR)/$(GALLERY)/gonio_counts_TiO2_ZnO_d.svg $(REAL)/gonio_counts_TiO2_ZnO.xrdml
	$(ORVALT_R) -q -d build/gallery --separate --plot-log --plot=$(CURDIR)/$(GALLERY)/simpack_xrd_AlGaAs_log.svg $(REAL)/simpack_xrd_AlGaAs.xrdml
	ls -l $(GALLERY)
