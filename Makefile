# Two commands for a new user: `make run` and `make test`. Everything else follows from them.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The shop's books live in the user's data folder, never in the build: `rm -rf build` loses nothing.
DATA_DIR ?= $(HOME)/.local/share/ludomat

.PHONY: deps test-deps configure build run test package bench clean format

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --test

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Books an earlier build kept in build/dbLudomat.mdb move to the data folder once, by the
# program's own consistent copy; the old file is left where it was.
run: build
	@if [ -f $(BUILD)/dbLudomat.mdb ] && [ ! -e "$(DATA_DIR)/dbLudomat.mdb" ]; then \
	  mkdir -p "$(DATA_DIR)" && \
	  $(BUILD)/bin/ludomat --data-dir $(BUILD) --backup "$(DATA_DIR)/dbLudomat.mdb"; fi
	$(BUILD)/bin/ludomat

test: test-deps build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# A Debian package here, ludomat_<version>_<arch>.deb, for `sudo apt install ./ludomat_1.0_amd64.deb`.
package: build
	@scripts/install-deps --package
	@rm -rf $(BUILD)/package
	@cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/package >/dev/null
	cp $(BUILD)/package/*.deb .

bench: configure
	@cmake --build $(BUILD) -j$(JOBS) --target benchmarks
	cd $(BUILD) && ./bench/ludomat_bench
	cd $(BUILD) && ./bench/tick_bench share/ludomat/dbLudomat.mdb
	cd $(BUILD) && ./bench/journal_bench
	cd $(BUILD) && ./bench/pricing_bench
	cd $(BUILD) && ./bench/print_bench
	cd $(BUILD) && ./bench/shift_bench
	cd $(BUILD) && ./bench/view_bench
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ./bench/export_bench
	bench/startup.sh $(BUILD)
	bench/exit.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)/CMakeFiles $(BUILD)/src $(BUILD)/tests
