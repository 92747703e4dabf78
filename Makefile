# Entry points for users and CI. Every target first installs what is missing.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE    ?= examples/fischer.tck
PACKAGES   := cmake g++ make libgtest-dev libgmock-dev libbdd-dev libcli11-dev nlohmann-json3-dev \
              libpugixml-dev
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := $(PACKAGES) clang-14 libclang-rt-14-dev
FUZZ_TARGETS ?= profile expression run language xml
# Another tickcheck binary that `make bench` runs beside this build's, on the same models.
BASELINE   ?=
# Options for this build's binary alone in `make bench`'s scaling runs, e.g. -n.
OPTIONS    ?=
# Where `make install` puts the binary: $(PREFIX)/bin/tickcheck.
PREFIX     ?= /usr/local

.PHONY: all setup fuzz-setup build binary run install test sanitize bench fuzz clean

all: build

setup fuzz-setup:
	@if command -v dpkg >/dev/null 2>&1; then \
	  missing=""; \
	  for p in $(if $(filter fuzz-setup,$@),$(FUZZ_PACKAGES),$(PACKAGES)); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	  if [ -n "$$missing" ]; then \
	    echo "Installing missing packages:$$missing"; \
	    if [ "$$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	    $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	  fi; \
	fi

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The binary alone, $(BUILD)/src/tickcheck, without the tests and tools.
binary: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target tickcheck

run: binary
	$(BUILD)/src/tickcheck $(EXAMPLE)

install: binary
	cmake --install $(BUILD) --prefix $(PREFIX)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(SAN_BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTICKCHECK_SANITIZE=ON

sanitize: setup $(SAN_BUILD)/CMakeCache.txt
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: build
	@command -v /usr/bin/time >/dev/null 2>&1 || { if [ "$$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO apt-get install -y -qq time; }
	BASELINE=$(BASELINE) bench/fischer.sh $(BUILD)
	BASELINE=$(BASELINE) BENCH_LARGE=$(BENCH_LARGE) OPTIONS="$(OPTIONS)" bench/scale.sh $(BUILD)
	BASELINE=$(BASELINE) bench/csma.sh $(BUILD)
	BASELINE=$(BASELINE) bench/trace.sh $(BUILD)
	BENCH_LARGE=$(BENCH_LARGE) bench/symmetry.sh $(BUILD)
	bench/liveness.sh $(BUILD)

# Builds the libFuzzer targets with clang 14 in their own tree and runs each for FUZZ_SECONDS,
# one after the other. The corpora grow in $(FUZZ_BUILD)/corpus, seeded from the examples and
# from models written by the model-file writer; a failing input is kept in
# $(FUZZ_BUILD)/artifacts and stops the run.
fuzz: fuzz-setup
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTICKCHECK_FUZZ=ON \
	  -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	$(FUZZ_BUILD)/fuzz/tickcheck-fuzz-seeds $(FUZZ_BUILD)/seeds examples/*.txt examples/*.tck \
	  $(wildcard examples/*.xml)
	mkdir -p $(FUZZ_BUILD)/artifacts $(FUZZ_BUILD)/scratch
	set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  case $$t in expression) dict=;; language|xml) dict=-dict=fuzz/$$t.dict;; \
	    *) dict=-dict=fuzz/model.dict;; esac; \
	  echo "== $${t}_fuzzer for $(FUZZ_SECONDS) s"; \
	  TMPDIR=$(CURDIR)/$(FUZZ_BUILD)/scratch $(FUZZ_BUILD)/fuzz/$${t}_fuzzer \
	    -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=8192 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/artifacts/$$t- $$dict \
	    $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/seeds/$$t; \
	done

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
