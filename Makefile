# The two commands of the README. Each installs what is missing (Debian packages, as root), then
# configures and builds.
#   make demo   create a catalogue from the bundled example data and show it
#   make test   build everything and run every test, also under the sanitizers
#   make fuzz   run each fuzz target for FUZZ_SECONDS (default 60) on its seed corpus
#   make install  install zel, the Python module, the library, its headers, CMake and pkg-config
#                 files under PREFIX (default /usr/local)

PACKAGES := cmake g++ make libsqlite3-dev libxml2-dev libssl-dev pybind11-dev python3-dev \
            libgtest-dev libcli11-dev nlohmann-json3-dev libcpp-httplib-dev sqlite3
# The browser test of zel serve needs a headless Chromium; only `make test` installs it.
TEST_PACKAGES := chromium
JOBS ?= $(shell nproc)
DEMO := build/demo.zel

PREFIX ?= /usr/local

FUZZ_SECONDS ?= 60
FUZZ_TARGETS := title_import award_text award_xml sql_dialect value_rules

.PHONY: demo test deps test-deps build build-asan fuzz clean install

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

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

test: build build-asan test-deps
	ctest --preset default -j $(JOBS)
	ctest --preset asan -j $(JOBS)

demo: build
	@rm -f $(DEMO) $(DEMO)-wal $(DEMO)-shm
	build/bin/zel create $(DEMO)
	build/bin/zel import $(DEMO) examples/collection.xml
	build/bin/zel info $(DEMO)
	build/bin/zel sql $(DEMO) "SELECT p.Title, p.Medium, p.Locality, COUNT(c.Name) AS Credits FROM Profiles AS p LEFT JOIN CastCrew AS c ON c.ProfileID = p.ProfileID GROUP BY p.Title, p.Medium, p.Locality ORDER BY p.Title"
	@echo "Browse the demo catalogue: build/bin/zel serve $(DEMO) --images examples/images  then open http://127.0.0.1:8080/"

install: build
	cmake --install build --prefix $(PREFIX) --strip

# Findings (inputs that crash or trip a sanitizer) are written to build/fuzz/findings/TARGET/.
fuzz: deps
	@dpkg-query -W -f='$${Status}\n' clang 2>/dev/null | grep -q '^install ok installed' || \
	  $(MAKE) deps PACKAGES=clang
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS) $(foreach t,$(FUZZ_TARGETS),--target $(t)_fuzzer)
	rm -rf build/fuzz/seeds && python3 fuzz/make_seeds.py build/fuzz/seeds
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/findings/$$t; \
	  echo "fuzzing $$t for $(FUZZ_SECONDS) s"; \
	  build/fuzz/bin/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=20 -rss_limit_mb=3072 \
	    -print_final_stats=1 -artifact_prefix=build/fuzz/findings/$$t/ \
	    build/fuzz/corpus/$$t build/fuzz/seeds/$$t 2>build/fuzz/$$t.log || \
	    { tail -60 build/fuzz/$$t.log; exit 1; }; \
	  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' build/fuzz/$$t.log | tail -2; \
	done

clean:
	rm -rf build
