# Sample payload of the Vexa distribution: this is where the package configuration of Qt SVG 6.7.2 goes.
# The sample repository ships no real build, so find_package(Qt6Svg) reports it as not found.
set(Qt6Svg_FOUND FALSE)
set(Qt6Svg_NOT_FOUND_MESSAGE "The Vexa sample repository holds a placeholder for Qt SVG 6.7.2, not a real build.")
