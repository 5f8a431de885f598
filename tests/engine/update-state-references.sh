#!/bin/sh
# Rewrites the reference texts in state-data/ from the current build. Review the diff before
# committing: a reference changes only when the texts are meant to change.
# Usage: tests/engine/update-state-references.sh <build directory>
set -eu
build_dir=${1:?usage: $0 <build directory>}
VEXA_UPDATE_REFERENCES=1 ctest --test-dir "$build_dir" -R '^tst_(manifestfiles|lockdocument)$' --output-on-failure
git -C "$(dirname "$0")" status --short -- state-data
