# The two commands of the README. Each installs what is missing (Debian packages, as root), then
# configures and builds.
#   make demo   create a catalogue from the bundled example data and show it
#   make test   build everything and run every test, also under the sanitizers

PACKAGES := cmake g++ make libsqlite3-dev libxml2-dev libssl-dev pybind11-dev python3-dev \
            libgtest-dev libcli11-dev nlohmann-json3-dev libcpp-httplib-dev sqlite3
# The browser test of zel serve needs a headless Chromium; only `make test` installs it.
TEST_PACKAGES := chromium
JOBS ?= $(shell nproc)
DEMO := build/demo.zel

.PHONY: demo test deps test-deps build build-asan clean

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
	@echo "Browse the demo catalogue: build/bin/zel serve $(DEMO)  then open http://127.0.0.1:8080/"

clean:
	rm -rf build
