#!/bin/sh
# Rewrites the reference texts in state-data/ from the current code. Review the diff before committing.
# Usage: tests/engine/update-state-references.sh <build directory>
set -e
build=${1:?build directory}
for test in tst_manifestfiles tst_lockdocument; do
    VEXA_UPDATE_REFERENCES=1 "$build/tests/engine/$test"
done
git -C "$(dirname "$0")" diff --stat -- state-data
