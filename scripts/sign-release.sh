#!/usr/bin/env bash
# Signs release files for installers built with VEXA_RELEASE_PUBLIC_KEYS: for each FILE writes
# FILE.sig, the base64 Ed25519 signature of the file's exact bytes on one line. Sign a file only once
# it is final; any later change, even of a line ending, makes the signature fail.
#
# Usage: scripts/sign-release.sh KEY.pem FILE...
#   KEY.pem  an Ed25519 private key, as made by: openssl genpkey -algorithm ed25519 -out KEY.pem
# Needs only the openssl command line (1.1.1 or later).
set -euo pipefail

if [ "$#" -lt 2 ]; then
  echo "Usage: $0 KEY.pem FILE..." >&2
  exit 2
fi
key=$1
shift

for file in "$@"; do
  # Written beside the target and renamed, so a failed run never leaves half a signature.
  temporary=$(mktemp "$file.sig.XXXXXX")
  if ! openssl pkeyutl -sign -inkey "$key" -rawin -in "$file" | openssl base64 -A >"$temporary"; then
    rm -f "$temporary"
    echo "Signing $file failed" >&2
    exit 1
  fi
  echo >>"$temporary"
  chmod 644 "$temporary"
  mv -f "$temporary" "$file.sig"
done
