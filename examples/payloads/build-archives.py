#!/usr/bin/env python3
"""Builds the sample repository's package archives and records their digests in its catalog.

Every directory examples/payloads/<name>/ holds the files of one package as they appear in a Vexa
root. A catalog package whose "payload_archive" file name is "<name>.zip" gets that directory packed
into examples/repository/<payload_archive>, and the package's "sha256" and "size_bytes" in
examples/repository/catalog.json are rewritten to match. The archives are deterministic (sorted
entries, fixed time stamps and permissions), so running the script twice changes nothing.

    python3 examples/payloads/build-archives.py           # rebuild archives, update the catalog
    python3 examples/payloads/build-archives.py --check   # fail if anything is out of date
"""

import argparse
import hashlib
import io
import json
import re
import sys
import zipfile
from pathlib import Path

PAYLOADS_DIR = Path(__file__).resolve().parent
REPOSITORY_DIR = PAYLOADS_DIR.parent / "repository"
CATALOG_PATH = REPOSITORY_DIR / "catalog.json"
FIXED_TIME = (1980, 1, 1, 0, 0, 0)
UNIX_SYSTEM = 3


def payload_entries(source):
    """Directories and files below source, as (archive name, path or None), sorted; hidden ones left out."""
    entries = []
    for path in sorted(source.rglob("*")):
        relative = path.relative_to(source)
        if any(part.startswith(".") for part in relative.parts):
            continue
        name = relative.as_posix()
        entries.append((name + "/", None) if path.is_dir() else (name, path))
    return sorted(entries)


def build_zip(source):
    """The bytes of a deterministic zip archive of the directory."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, path in payload_entries(source):
            info = zipfile.ZipInfo(name, date_time=FIXED_TIME)
            info.create_system = UNIX_SYSTEM
            if path is None:
                info.external_attr = (0o40755 << 16) | 0x10
                archive.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, path.read_bytes(), compresslevel=9)
    return buffer.getvalue()


def replace_in_package(text, package_id, key, value_json):
    """The catalog text with one key of one package object set to value_json, other text untouched."""
    start = text.find('"package_id": %s' % json.dumps(package_id))
    if start < 0:
        raise SystemExit("catalog.json: package %s not found as text" % package_id)
    following = text.find('"package_id":', start + 1)
    end = len(text) if following < 0 else following
    pattern = re.compile(r'("%s"\s*:\s*)("(?:[^"\\]|\\.)*"|-?\d+)' % re.escape(key))
    match = pattern.search(text, start, end)
    if not match:
        raise SystemExit("catalog.json: package %s has no \"%s\" key to update" % (package_id, key))
    return text[: match.start(2)] + value_json + text[match.end(2) :]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only report whether anything is out of date")
    arguments = parser.parse_args()

    catalog_text = CATALOG_PATH.read_text(encoding="utf-8")
    catalog = json.loads(catalog_text)
    updated_text = catalog_text
    stale = []
    built = 0
    for package in catalog["packages"]:
        archive_name = package.get("payload_archive", "")
        if not archive_name:
            continue
        source = PAYLOADS_DIR / Path(archive_name).name.removesuffix(".zip")
        if not source.is_dir():
            continue
        data = build_zip(source)
        target = REPOSITORY_DIR / archive_name
        if not target.is_file() or target.read_bytes() != data:
            stale.append(str(target.relative_to(REPOSITORY_DIR)))
            if not arguments.check:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(data)
        package_id = package["package_id"]
        updated_text = replace_in_package(updated_text, package_id, "sha256", json.dumps(hashlib.sha256(data).hexdigest()))
        updated_text = replace_in_package(updated_text, package_id, "size_bytes", str(len(data)))
        built += 1

    if updated_text != catalog_text:
        stale.append("catalog.json")
        if not arguments.check:
            CATALOG_PATH.write_text(updated_text, encoding="utf-8")
    if arguments.check:
        for name in stale:
            print("out of date: %s" % name)
        return 1 if stale else 0
    print("%d archives, %d files written" % (built, len(stale)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
