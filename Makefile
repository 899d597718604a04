# Two set-up commands for a fresh machine:
#   make demo   build radcon and run it on the bundled example alignment
#   make test   build with sanitizers and warnings as errors, run every test
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEMO_DIR ?= demo-output

.PHONY: all build demo test bench clean

all: build

build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DRADCON_TESTS=OFF
	cmake --build build -j $(JOBS) --target radcon

demo: build
	@rm -rf $(DEMO_DIR) && mkdir -p $(DEMO_DIR)
	@echo "Answers: corrected sites (1), Ts/Tv 0.5, Ka/Ks 1, grouping 1 (charge)"
	cd $(DEMO_DIR) && printf '1\n0.5\n1\n1\n' | ../build/radcon ../examples/lysozymeLarge.seq > trace.txt
	@head -n 7 $(DEMO_DIR)/trace.txt; echo "..."
	@cat $(DEMO_DIR)/outfile | head -n 25; echo; echo "..."
	@echo "Reports written to $(CURDIR)/$(DEMO_DIR): sn.rst cr.rst n.dis s.dis r.dis c.dis outfile (dialogue and trace lines in trace.txt)"

test:
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DRADCON_WERROR=ON -DRADCON_SANITIZE=ON
	cmake --build build-test -j $(JOBS)
	cd build-test && ctest --output-on-failure -j $(JOBS)

bench:
	$(MAKE) -C bench

clean:
	rm -rf build build-test build-bench $(DEMO_DIR)
