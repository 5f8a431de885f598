# Sample payload of the Vexa distribution: this is where the package configuration of Qt 6.7.2 goes.
# The sample repository ships no real build, so find_package(Qt6) reports it as not found.
set(Qt6_FOUND FALSE)
set(Qt6_NOT_FOUND_MESSAGE "The Vexa sample repository holds a placeholder for Qt 6.7.2, not a real build.")
