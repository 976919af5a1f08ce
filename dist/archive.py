#!/usr/bin/env python3
"""Packs a staged folder into a .tar.gz or a .zip that is the same bytes on every run: members
sorted by name, every date SOURCE_DATE_EPOCH, owner and group root (0), modes 755 for
folders and programs and 644 for the rest, whatever the umask and the files' own dates. A
Windows program's link date (its COFF header's, which Zig's linker sets to the hour of the
link and has no option against) is set to SOURCE_DATE_EPOCH too.

Usage: archive.py OUT.tar.gz|OUT.zip FOLDER   (the members are FOLDER's name and below)"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def members(folder):
    """(name in the archive, path, is a folder) for FOLDER and all below it, sorted by name."""
    base = os.path.dirname(os.path.abspath(folder))
    found = [(os.path.basename(os.path.abspath(folder)), folder, True)]
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            arcname = os.path.relpath(os.path.abspath(path), base).replace(os.sep, "/")
            found.append((arcname, path, os.path.isdir(path)))
    return sorted(found)


def content(path, epoch):
    """The file's bytes; in a PE program, the COFF header's date set to EPOCH."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if data[:2] == b"MZ" and len(data) >= 64:
        header = int.from_bytes(data[60:64], "little")
        if data[header:header + 4] == b"PE\0\0":
            data[header + 8:header + 12] = (epoch & 0xFFFFFFFF).to_bytes(4, "little")
    return bytes(data)


def mode(path, is_folder):
    return 0o755 if is_folder or os.access(path, os.X_OK) else 0o644


def write_tar(out, entries, epoch):
    """A ustar archive, gzip-compressed with no file name and the fixed date in its header."""
    packed = io.BytesIO()
    with tarfile.open(fileobj=packed, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        for arcname, path, is_folder in entries:
            info = tarfile.TarInfo(arcname + ("/" if is_folder else ""))
            info.mtime, info.mode = epoch, mode(path, is_folder)
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            if is_folder:
                info.type = tarfile.DIRTYPE
                tar.addfile(info)
            else:
                body = content(path, epoch)
                info.size = len(body)
                tar.addfile(info, io.BytesIO(body))
    with open(out, "wb") as f, gzip.GzipFile(filename="", mode="wb", compresslevel=9, mtime=epoch, fileobj=f) as z:
        z.write(packed.getvalue())


def write_zip(out, entries, epoch):
    """A zip whose members carry Unix modes and the fixed date (zip dates start in 1980)."""
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as z:
        for arcname, path, is_folder in entries:
            info = zipfile.ZipInfo(arcname + ("/" if is_folder else ""), date_time=stamp)
            info.create_system = 3
            info.external_attr = ((0o040000 if is_folder else 0o100000) | mode(path, is_folder)) << 16
            if is_folder:
                z.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                z.writestr(info, content(path, epoch), compresslevel=9)


def main():
    if len(sys.argv) != 3 or not os.path.isdir(sys.argv[2]):
        sys.exit(__doc__)
    out, folder = sys.argv[1], sys.argv[2].rstrip("/")
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    entries = members(folder)
    (write_zip if out.endswith(".zip") else write_tar)(out, entries, epoch)


if __name__ == "__main__":
    main()
