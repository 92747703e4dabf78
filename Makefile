# Entry points for users and CI. Every target first installs what is missing.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE    ?= examples/fischer3-correct.txt
PACKAGES   := cmake g++ make libgtest-dev libgmock-dev libbdd-dev

.PHONY: all setup build run test sanitize bench clean

all: build

setup:
	@if command -v dpkg >/dev/null 2>&1; then \
	  missing=""; \
	  for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
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

run: build
	$(BUILD)/src/tickcheck $(EXAMPLE)

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
	bench/fischer.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
