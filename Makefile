# The two commands a newcomer needs:
#   make demo   run the sample package on the built-in simulated machine
#   make test   install what is missing, build every preset, run every test
PRESETS := linux linux-asan win32 win64

.PHONY: demo test bench deps build $(addprefix build-,$(PRESETS)) $(addprefix test-,$(PRESETS))

demo: build-linux
	build/linux/bin/setup-sim build/linux/package

test: deps
	$(MAKE) $(addprefix test-,$(PRESETS))

deps:
	tools/install-deps

build: $(addprefix build-,$(PRESETS))

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

$(addprefix test-,$(PRESETS)): test-%: build-%
	ctest --preset $*

# Benchmarks for real (make test runs each once, briefly, as a smoke test).
bench: build-linux build-win64
	tools/run-benchmarks build/linux build/win64
