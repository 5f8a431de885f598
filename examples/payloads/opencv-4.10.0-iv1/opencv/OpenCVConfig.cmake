# Sample payload of the Vexa distribution: this is where the package configuration of OpenCV 4.10.0 goes.
# The sample repository ships no real build, so find_package(OpenCV) reports it as not found.
set(OpenCV_FOUND FALSE)
set(OpenCV_NOT_FOUND_MESSAGE "The Vexa sample repository holds a placeholder for OpenCV 4.10.0, not a real build.")
