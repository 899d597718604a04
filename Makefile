# Set-up commands for a fresh machine:
#   make demo     build radcon and run it on the bundled example alignment
#   make test     build with sanitizers and warnings as errors, run every test
#   make python   build the Python module and install it for /usr/bin/python3
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEMO_DIR ?= demo-output

.PHONY: all build demo test python check-clang check-aarch64 check-tsan bench fuzz memcheck clean
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := native fasta groups answers options clades inputs

all: build

build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DRADCON_TESTS=OFF
	cmake --build build -j $(JOBS) --target radcon

# Chart.js, which the HTML report carries inline (radcon builds without it, and
# then refuses --html).
PAGE_PACKAGES := libjs-chart.js

demo:
	@.ci/install-missing $(PAGE_PACKAGES)
	@$(MAKE) --no-print-directory build
	@rm -rf $(DEMO_DIR) && mkdir -p $(DEMO_DIR)
	@echo "Answers: corrected sites (1), Ts/Tv 0.5, Ka/Ks 1, grouping 1 (charge)"
	cd $(DEMO_DIR) && printf '1\n0.5\n1\n1\n' | ../build/radcon --clades ../examples/lysozyme.clades \
	  --html report.html ../examples/lysozymeLarge.seq > trace.txt
	@head -n 7 $(DEMO_DIR)/trace.txt; echo "..."
	@cat $(DEMO_DIR)/outfile | head -n 25; echo; echo "..."
	@echo "Reports written to $(CURDIR)/$(DEMO_DIR): sn.rst cr.rst n.dis s.dis r.dis c.dis outfile (dialogue and trace lines in trace.txt)"
	@echo "Open $(CURDIR)/$(DEMO_DIR)/report.html in a browser for the tables and charts."

# The Python module: pybind11 to build it, Debian's python3 with pandas to use it
# (Biopython and matplotlib for the example).
PYTHON_PACKAGES := python3-dev pybind11-dev python3-pybind11 python3-pandas python3-biopython python3-matplotlib

# Builds the module (Release) and installs it into the user's site-packages of
# Debian's /usr/bin/python3, without the network: import radcon.
python:
	@.ci/install-missing $(PYTHON_PACKAGES)
	cmake -S . -B build-python -DCMAKE_BUILD_TYPE=Release -DRADCON_TESTS=OFF -DRADCON_PYTHON=ON \
	  -DPython3_EXECUTABLE=/usr/bin/python3
	cmake --build build-python -j $(JOBS) --target _radcon
	cmake --install build-python --component python

# Debian packages the tests need beyond a fresh machine, installed when missing.
TEST_PACKAGES := python3-biopython snakemake chromium $(PAGE_PACKAGES) $(PYTHON_PACKAGES) python3-pytest

test:
	@.ci/install-missing $(TEST_PACKAGES)
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DRADCON_WERROR=ON -DRADCON_SANITIZE=ON -DRADCON_PYTHON=ON
	cmake --build build-test -j $(JOBS)
	cd build-test && ctest --output-on-failure -j $(JOBS)

# The same tests built with clang against LLVM's libc++ (the nearest to macOS here).
check-clang:
	@.ci/install-missing clang libc++-dev libc++abi-dev googletest $(TEST_PACKAGES)
	cmake -S . -B build-libcxx -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DRADCON_WERROR=ON \
	  -DRADCON_SANITIZE=ON -DRADCON_LIBCXX=ON
	cmake --build build-libcxx -j $(JOBS)
	cd build-libcxx && ctest --output-on-failure -j $(JOBS)

# The tests that run radcon's threads (workers, the progress thread, signals
# between them), built with ThreadSanitizer and without the kernel's
# target_clones: any data race fails them (a race report ends radcon with 66).
TSAN_TESTS := Cli.*:OptionsE2E.*:FaultTable.*:GeneticCodeE2E.*:StreamingE2E.*:BatchE2E.*:ProfileE2E.*
check-tsan:
	@.ci/install-missing $(TEST_PACKAGES)
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRADCON_WERROR=ON -DRADCON_TSAN=ON
	cmake --build build-tsan -j $(JOBS) --target radcon radcon_tests
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" tests/radcon_tests --gtest_filter='$(TSAN_TESTS)'

# A 64-bit ARM build under qemu-user prints the same bytes as the native one.
check-aarch64:
	JOBS=$(JOBS) tests/e2e/check-aarch64.sh

bench:
	$(MAKE) -C bench

# libFuzzer on every parser of untrusted input, FUZZ_SECONDS each (clang).
fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRADCON_TESTS=OFF -DRADCON_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	@mkdir -p build-fuzz/artifacts
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t && cp fuzz/corpus/$$t/* build-fuzz/corpus/$$t/ && \
	  echo "fuzzing $$t for $(FUZZ_SECONDS) s" && \
	  build-fuzz/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
	    -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/$$t- build-fuzz/corpus/$$t > build-fuzz/$$t.log 2>&1; \
	  rc=$$?; tail -n 14 build-fuzz/$$t.log; [ $$rc -eq 0 ] || { echo "fuzz target $$t failed"; exit 1; }; \
	done

# The demo under valgrind memcheck: any error or leak fails.
memcheck:
	cmake -S . -B build-memcheck -DCMAKE_BUILD_TYPE=Debug -DRADCON_TESTS=OFF
	cmake --build build-memcheck -j $(JOBS) --target radcon
	@rm -rf build-memcheck/run && mkdir -p build-memcheck/run
	cd build-memcheck/run && printf '1\n0.5\n1\n1\n' | valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
	  ../radcon --threads 2 ../../examples/lysozymeLarge.seq > trace.txt
	@echo "memcheck: no errors"

clean:
	rm -rf build build-test build-python build-libcxx build-aarch64 build-bench build-fuzz build-memcheck build-tsan $(DEMO_DIR)
