# Sample payload of the Vexa distribution: this is where the package configuration of OnnxRuntime 1.18.1 (CPU) goes.
# The sample repository ships no real build, so find_package(OnnxRuntime) reports it as not found.
set(OnnxRuntime_FOUND FALSE)
set(OnnxRuntime_NOT_FOUND_MESSAGE "The Vexa sample repository holds a placeholder for OnnxRuntime 1.18.1 (CPU), not a real build.")
