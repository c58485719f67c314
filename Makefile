# The two commands of the README. Each installs what is missing (Debian packages, as root), then
# configures and builds.
#   make demo   build zel, create a catalogue from the bundled example data and show it
#   make test   build everything once with the sanitizers and fuzzing instrumentation (clang), and run
#               every C++ and Python test in that build
#   make fuzz   run each fuzz target for FUZZ_SECONDS (default 60) on its seed corpus, from the same
#               build as make test
#   make install  install zel, the Python module, the library, its headers, CMake and pkg-config
#                 files under PREFIX (default /usr/local)
#   make build  the optimised build of everything, benchmarks included (bench/)

PACKAGES := cmake g++ make libsqlite3-dev libxml2-dev libssl-dev pybind11-dev python3-dev \
            libgtest-dev libcli11-dev nlohmann-json3-dev libboost-dev zlib1g-dev libcpp-httplib-dev \
            sqlite3
# The test build uses clang (libFuzzer needs it) with its sanitizer runtimes, and lld; the browser
# test of zel serve needs a headless Chromium. Only `make test` and `make fuzz` install them.
TEST_PACKAGES := clang libclang-rt-dev lld chromium
JOBS ?= $(shell nproc)
DEMO := build/demo.zel

PREFIX ?= /usr/local

FUZZ_SECONDS ?= 60
FUZZ_TARGETS := title_import award_text award_xml sql_dialect value_rules

.PHONY: demo test deps test-deps build build-check fuzz clean install

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  if [ "$$(id -u)" != 0 ]; then echo "run as root to install the packages above" >&2; exit 1; fi; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	fi

test-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(TEST_PACKAGES)"

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

build-check: deps test-deps
	cmake --preset check >/dev/null
	cmake --build --preset check -j $(JOBS)

test: build-check
	ctest --preset check -j $(JOBS)

# Only what the demo runs: zel.
demo: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS) --target zel
	@rm -f $(DEMO) $(DEMO)-wal $(DEMO)-shm
	build/bin/zel create $(DEMO)
	build/bin/zel import $(DEMO) examples/collection.xml
	build/bin/zel info $(DEMO)
	build/bin/zel sql $(DEMO) "SELECT p.Title, p.Medium, p.Locality, COUNT(c.Name) AS Credits FROM Profiles AS p LEFT JOIN CastCrew AS c ON c.ProfileID = p.ProfileID GROUP BY p.Title, p.Medium, p.Locality ORDER BY p.Title"
	@echo "Browse the demo catalogue: build/bin/zel serve $(DEMO) --images examples/images  then open http://127.0.0.1:8080/"

install: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS) --target zel zelcontrol_core zelcontrol_py
	cmake --install build --prefix $(PREFIX) --strip

# Findings (inputs that crash or trip a sanitizer) are written to build/check/fuzz/findings/TARGET/.
FUZZ_DIR := build/check/fuzz
fuzz: deps test-deps
	cmake --preset check >/dev/null
	cmake --build --preset check -j $(JOBS) $(foreach t,$(FUZZ_TARGETS),--target $(t)_fuzzer)
	rm -rf $(FUZZ_DIR)/seeds && python3 fuzz/make_seeds.py $(FUZZ_DIR)/seeds
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/findings/$$t; \
	  echo "fuzzing $$t for $(FUZZ_SECONDS) s"; \
	  build/check/bin/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=20 -rss_limit_mb=3072 \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/findings/$$t/ \
	    $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/seeds/$$t 2>$(FUZZ_DIR)/$$t.log || \
	    { tail -60 $(FUZZ_DIR)/$$t.log; exit 1; }; \
	  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' $(FUZZ_DIR)/$$t.log | tail -2; \
	done

clean:
	rm -rf build
