# Sample payload of the Vexa distribution: this is where the package configuration of OpenSSL 3.0.13 goes.
# The sample repository ships no real build, so find_package(OpenSSL) reports it as not found.
set(OpenSSL_FOUND FALSE)
set(OpenSSL_NOT_FOUND_MESSAGE "The Vexa sample repository holds a placeholder for OpenSSL 3.0.13, not a real build.")
