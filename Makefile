# make test  - install what is missing, build, run the C++ and Python tests
# make demo  - install what is missing, build the module, run examples/quickstart.py
# make bench - install what is missing, build the module, run the benchmarks
VENV  ?= .venv
BUILD ?= build
PY    := $(VENV)/bin/python
CMAKE := $(VENV)/bin/cmake
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all setup build module test demo bench clean

all: build

setup: $(VENV)/.ready

$(VENV)/.ready: pyproject.toml tools/setup.sh
	bash tools/setup.sh $(VENV)
	touch $@

$(BUILD)/build.ninja: $(VENV)/.ready CMakeLists.txt
	$(CMAKE) -S . -B $(BUILD) -G Ninja \
	  -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV)/bin/ninja) \
	  -DCMAKE_BUILD_TYPE=Release \
	  -DPython_EXECUTABLE=$(abspath $(PY)) \
	  -Dpybind11_DIR=$$($(PY) -m pybind11 --cmakedir)

build: $(BUILD)/build.ninja
	$(CMAKE) --build $(BUILD) -j $(JOBS)

# The module alone, without the test programs and the layers' nesting checks: all the demo and the
# benchmarks import.
module: $(BUILD)/build.ninja
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target marvane

test: build
	cd $(BUILD) && $(abspath $(VENV))/bin/ctest --output-on-failure -j $(JOBS)
	MARVANE_REQUIRE_BUILD_TREE=1 PYTHONPATH=$(BUILD) $(PY) -m pytest -q -rs tests/python

demo: module
	PYTHONPATH=$(BUILD) $(PY) examples/quickstart.py

bench: module
	PYTHONPATH=$(BUILD) $(PY) bench/run.py

clean:
	rm -rf $(BUILD)
