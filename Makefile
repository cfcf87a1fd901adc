# Tombrix: the two commands are `make run` and `make test`.
PROGRAM_DIR ?= $(HOME)/Tombrix
BUILD_DIR   ?= build
BUILD_TYPE  ?= RelWithDebInfo
JOBS        ?= $(shell nproc)
# Worktrees of one checkout share compiled objects through ccache.
export CCACHE_BASEDIR ?= $(CURDIR)

# Debian packages the build, the tests and the program need.
PACKAGES := cmake make g++ pkg-config qt6-base-dev libgl-dev \
            libsqlite3-dev sqlite3 fonts-liberation ccache poppler-utils pxlib-dev \
            libcups2-dev libxlsxwriter-dev unzip \
            libpq-dev postgresql-15 postgresql-client-15 qt6-l10n-tools \
            libharfbuzz-dev fonts-urw-base35

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build install run test bench clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) -j$(JOBS)

install: build
	cmake --install $(BUILD_DIR) --prefix "$(PROGRAM_DIR)"

run: install
	cd "$(PROGRAM_DIR)" && ./tombrix

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	for n in 10000 100000; do $(BUILD_DIR)/bench/tombrix_bench $$n; done
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/bench_reports
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/bench_reports decisions 2500

clean:
	rm -rf $(BUILD_DIR)
