# The two commands of the README, `make test` and `make run`, and `make package`.
SHELL := /bin/bash
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# dpkg-dev, file and pkg-config: the package test builds a Debian package and reads it.
DEBIAN_PACKAGES := cmake g++ make qt6-base-dev libpugixml-dev libgtest-dev libxxhash-dev libgl-dev \
	xvfb xauth dpkg-dev file pkg-config python3

.PHONY: test run deps configure build clean fuzz bench package

deps:
	@missing=""; \
	for p in $(DEBIAN_PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		if ! command -v apt-get >/dev/null; then \
			echo "Please install:$$missing (Debian/Ubuntu package names)"; exit 1; \
		fi; \
		echo "Installing:$$missing"; \
		SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
		$$SUDO apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# What the build says of targets it did not have to touch.
BUILD_CHATTER := ^\[ *[0-9]+%\] (Built target|Automatic MOC)|^Consolidate compiler generated|^g?make(\[[0-9]+\])?: (Entering|Leaving) directory

# Builds the host alone, and says only what it compiles: nothing when it is up to date.
run: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
		echo "Configuring $(BUILD_DIR) ($(BUILD_TYPE))"; \
		cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null || exit 1; \
	fi
	@set -o pipefail; cmake --build $(BUILD_DIR) -j $(JOBS) --target globalstab-host 2>&1 | \
		{ grep -v -E '$(BUILD_CHATTER)' || true; }
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
		echo "No display found. To use the tab, serve it over VNC on this machine and connect a"; \
		echo "VNC viewer to localhost:5900:  QT_QPA_PLATFORM=vnc:size=1020x700 make run"; \
		echo "Taking a picture of it instead (ARGS apply, e.g. ARGS='--pick \"Edit:Global Page\"')."; \
		QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/globalstab-host --screenshot $(BUILD_DIR)/globals-tab.png $(ARGS) && \
		echo "Wrote $(BUILD_DIR)/globals-tab.png."; \
	else \
		$(BUILD_DIR)/globalstab-host $(ARGS); \
	fi

clean:
	rm -rf $(BUILD_DIR)

# The Debian package a distribution would ship: Release, no tests, installed under /usr;
# dpkg-shlibdeps computes what it depends on.
PACKAGE_DIR ?= build-package

package: deps
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
		-DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(PACKAGE_DIR) -j $(JOBS) --target package
	@echo "Built $$(ls $(PACKAGE_DIR)/*.deb); install it with: sudo apt install ./$$(ls $(PACKAGE_DIR)/*.deb)"

# libFuzzer targets of the core library, built apart with clang and the sanitizers. Each runs
# FUZZ_SECONDS on a copy of its corpus (new inputs stay in $(FUZZ_DIR)); a crash fails the
# target, and its input lands in $(FUZZ_DIR)/crashes/<target>/.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= /usr/bin/clang++
FUZZ_TARGETS := fuzz_xml fuzz_text_decode fuzz_text_checks fuzz_page_tokens

# The fuzz targets need clang and its libFuzzer runtime as well.
fuzz: DEBIAN_PACKAGES += clang libclang-rt-14-dev
fuzz: deps
	cmake -S fuzz -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	@failed=""; \
	for t in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/crashes/$$t; \
		cp -n fuzz/corpus/$$t/* $(FUZZ_DIR)/corpus/$$t/; \
		echo "== $$t for $(FUZZ_SECONDS) s"; \
		$(FUZZ_DIR)/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=30 -print_final_stats=1 \
			-artifact_prefix=$(FUZZ_DIR)/crashes/$$t/ $(FUZZ_DIR)/corpus/$$t \
			|| failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "Fuzzing found crashes in:$$failed (see $(FUZZ_DIR)/crashes)"; exit 1; fi

# The tab's actions on generated projects at scale, each against the floor of the file work it
# needs; built apart in Release. BENCH_ARGS go to the runner, e.g. BENCH_ARGS=--quick.
BENCH_DIR ?= build-bench
BENCH_ARGS ?=

bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DGLOBALSTAB_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS) --target globalstab_scale globalstab-gendata
	$(BENCH_DIR)/bench/globalstab_scale $(BENCH_ARGS)
