#!/bin/sh
# Rewrites the reference texts in references/ from the current build. Review the diff before
# committing: a reference changes only when the texts are meant to change.
# Usage: tests/controller/update-references.sh <build directory>
set -eu
build_dir=${1:?usage: $0 <build directory>}
VEXA_UPDATE_REFERENCES=1 ctest --test-dir "$build_dir" -R '^tst_(plansummary|cmakeguidance)$' --output-on-failure
git -C "$(dirname "$0")" status --short -- references
