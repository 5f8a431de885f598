#!/usr/bin/env python3
"""Writes a zip archive as a release would be packed on Linux, recording every file's mode.

Usage: writezip.py OUT [--dir DIR] [--entry NAME TEXT]...
  --dir DIR          the tree below DIR, its top level becoming the archive's top level
  --entry NAME TEXT  one file stored under NAME exactly as given (even "../x" or "/x")
"""
import os
import sys
import zipfile

out, args = sys.argv[1], sys.argv[2:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
    while args:
        if args[0] == "--dir":
            root = args[1]
            for folder, _, files in os.walk(root):
                for name in sorted(files):
                    path = os.path.join(folder, name)
                    archive.write(path, os.path.relpath(path, root))
            args = args[2:]
        else:
            archive.writestr(zipfile.ZipInfo(args[1]), args[2])
            args = args[3:]
