# Two commands for a new user: `make run` and `make test`. Everything else follows from them.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build run test bench clean format

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	cd $(BUILD) && ./ludomat

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: configure
	@cmake --build $(BUILD) -j$(JOBS) --target benchmarks
	cd $(BUILD) && ./bench/ludomat_bench
	cd $(BUILD) && ./bench/tick_bench testdata/dbLudomat.template.mdb
	cd $(BUILD) && ./bench/journal_bench
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ./bench/export_bench
	bench/startup.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)/CMakeFiles $(BUILD)/src $(BUILD)/tests
