#!/usr/bin/env python3
"""The release archive and its check; scripts/release.sh runs both.

release.py pack BUILD OUT
    Writes OUT/waagenfuchs-<version>-windows.zip with BUILD's waagenfuchs.exe and
    docs/LIESMICH.txt (kept in UTF-8 with LF, shipped in code page 1252 with CRLF), the program
    beside it and OUT/SHA256SUMS for both. The version is BUILD's version.h, configured from
    project() in CMakeLists.txt. The archive holds nothing of the machine or the clock: its
    entries come in a fixed order with fixed permissions, dated SOURCE_DATE_EPOCH (UTC). CMake
    3.25's CPack honours SOURCE_DATE_EPOCH in its DEB generator only; its ZIP would carry the
    files' times, hence these few lines.

release.py kit BUILD OUT
    Writes OUT/waagenfuchs-<version>-windows-tests.zip, the test kit for Windows PCs: BUILD's test
    programs, the program they drive (the very bytes of the release), the runner and its list of
    programs (tests/kit/, BUILD/kit/tests.txt) and the kit's read-me, dated like the release. A
    64-bit BUILD makes waagenfuchs-<version>-windows-x86_64-tests.zip.

release.py compare A B
    Compares the archives and programs that pack wrote into A and B; on a difference it names the
    first differing zip entry or PE section and exits 1.
"""
import hashlib
import itertools
import os
import re
import shutil
import struct
import sys
import time
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM = "waagenfuchs.exe"
README = "LIESMICH.txt"
# The earliest time a zip entry can carry: 1980-01-01 00:00:00 UTC.
ZIP_EPOCH = 315532800


def version_of(build):
    with open(os.path.join(build, "version.h"), encoding="ascii") as header:
        return re.search(r'#define WAAGENFUCHS_VERSION "([^"]+)"', header.read()).group(1)


def archive_name(version):
    return "waagenfuchs-%s-windows.zip" % version


def archive_in(folder):
    names = [name for name in os.listdir(folder) if name.endswith("-windows.zip")]
    if len(names) != 1:
        sys.exit("release: %s holds %d archives, not one" % (folder, len(names)))
    return names[0]


def windows_text(path):
    """A UTF-8 text file as Windows Notepad reads it: code page 1252, CRLF line ends."""
    with open(path, encoding="utf-8") as text:
        return text.read().replace("\n", "\r\n").encode("cp1252")


def write_zip(path, entries):
    """The entries (name, bytes) in that order, dated SOURCE_DATE_EPOCH, nothing of the machine."""
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", ZIP_EPOCH)), ZIP_EPOCH)
    with zipfile.ZipFile(path, "w") as archive:
        for entry, data in entries:
            info = zipfile.ZipInfo(entry, date_time=time.gmtime(epoch)[:6])
            info.create_system = 3  # Unix, so that external_attr holds the permissions below
            info.external_attr = 0o100644 << 16
            archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


def pack(build, out):
    version = version_of(build)
    name = archive_name(version)
    with open(os.path.join(REPO, "README.md"), encoding="utf-8") as readme:
        if name not in readme.read():
            sys.exit("release: README.md does not name %s; its Download section must give the "
                     "version of project() in CMakeLists.txt" % name)
    with open(os.path.join(build, PROGRAM), "rb") as program:
        program_bytes = program.read()
    entries = [
        (README, windows_text(os.path.join(REPO, "docs", "LIESMICH.txt"))),
        (PROGRAM, program_bytes),
    ]
    os.makedirs(out, exist_ok=True)
    write_zip(os.path.join(out, name), entries)
    shutil.copyfile(os.path.join(build, PROGRAM), os.path.join(out, PROGRAM))
    with open(os.path.join(out, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as sums:
        for entry in (name, PROGRAM):
            with open(os.path.join(out, entry), "rb") as packed:
                sums.write("%s  %s\n" % (hashlib.sha256(packed.read()).hexdigest(), entry))
    print("release: %s" % os.path.join(out, name))


def kit(build, out):
    with open(os.path.join(build, PROGRAM), "rb") as program:
        image = program.read()
    machine = struct.unpack_from("<H", image, struct.unpack_from("<I", image, 0x3C)[0] + 4)[0]
    name = "waagenfuchs-%s-windows-%stests.zip" % (
        version_of(build), "" if machine == 0x014C else "x86_64-")
    with open(os.path.join(build, "kit", "tests.txt"), encoding="ascii") as listing:
        programs = [line.split()[0] for line in listing if line.strip()]
    kit_sources = os.path.join(REPO, "tests", "kit")
    entries = [
        ("README.txt", windows_text(os.path.join(kit_sources, "README.txt"))),
        ("run-tests.cmd", windows_text(os.path.join(kit_sources, "run-tests.cmd"))),
        ("tests.txt", windows_text(os.path.join(build, "kit", "tests.txt"))),
        (PROGRAM, image),
    ]
    for entry in ["run_tests.exe"] + programs:
        with open(os.path.join(build, "tests", entry), "rb") as test_program:
            entries.append((entry, test_program.read()))
    os.makedirs(out, exist_ok=True)
    write_zip(os.path.join(out, name), entries)
    print("release: %s" % os.path.join(out, name))


def first_difference(a, b):
    """The offset of the first byte in which a and b differ, or None when they are equal."""
    if a == b:
        return None
    return next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))


def pe_place(image, offset):
    """Where offset lies in a PE image: a section, a header field or the headers."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, _, _, _, optional_size = struct.unpack_from("<HIIIH", image, pe + 6)
    table = pe + 24 + optional_size
    for index in range(count):
        name, _, _, raw_size, raw_offset = struct.unpack_from("<8sIIII", image, table + 40 * index)
        if raw_offset <= offset < raw_offset + raw_size:
            return "section %s" % name.rstrip(b"\0").decode("latin-1")
    fields = {pe + 8: "the header's TimeDateStamp", pe + 24 + 64: "the header's CheckSum"}
    for start, field in fields.items():
        if start <= offset < start + 4:
            return field
    return "the headers" if offset < table + 40 * count else "no section (after the last one)"


def compare_programs(a, b):
    with open(a, "rb") as first, open(b, "rb") as second:
        image_a, image_b = first.read(), second.read()
    offset = first_difference(image_a, image_b)
    if offset is None:
        return None
    return "%s differs first in %s, at file offset 0x%x" % (PROGRAM, pe_place(image_a, offset), offset)


def zip_entry_bytes(archive, path):
    """Each entry's info with its local header and data as stored, in the archive's order."""
    with open(path, "rb") as raw:
        data = raw.read()
    infos = archive.infolist()
    ends = [info.header_offset for info in infos[1:]] + [archive.start_dir]
    return [(info, data[info.header_offset:end]) for info, end in zip(infos, ends)]


def compare_archives(a, b):
    with zipfile.ZipFile(a) as first, zipfile.ZipFile(b) as second:
        pairs = itertools.zip_longest(zip_entry_bytes(first, a), zip_entry_bytes(second, b))
        for index, (x, y) in enumerate(pairs, 1):
            if x is None or y is None or x[0].filename != y[0].filename:
                names = [pair[0].filename if pair else "nothing" for pair in (x, y)]
                return "zip entry %d is %s in one archive, %s in the other" % (index, *names)
            for field in ("date_time", "external_attr", "create_system", "compress_type", "CRC",
                          "file_size", "compress_size"):
                if getattr(x[0], field) != getattr(y[0], field):
                    return "zip entry %s differs first in its %s: %s, %s" % (
                        x[0].filename, field, getattr(x[0], field), getattr(y[0], field))
            if x[1] != y[1]:
                return "zip entry %s differs in its stored bytes" % x[0].filename
    return "the zips' entries are the same; their central directories differ"


def compare(a, b):
    name = archive_in(a)
    if archive_in(b) != name:
        print("release: %s holds %s, %s holds %s" % (a, name, b, archive_in(b)))
        return 1
    differences = []
    program = compare_programs(os.path.join(a, PROGRAM), os.path.join(b, PROGRAM))
    if program:
        differences.append(program)
    with open(os.path.join(a, name), "rb") as first, open(os.path.join(b, name), "rb") as second:
        if first.read() != second.read():
            differences.append(compare_archives(os.path.join(a, name), os.path.join(b, name)))
    for difference in differences:
        print("release: %s and %s: %s" % (a, b, difference))
    if differences:
        return 1
    for entry in (name, PROGRAM):
        with open(os.path.join(a, entry), "rb") as same:
            print("release: the same bytes: %s %s" % (hashlib.sha256(same.read()).hexdigest(), entry))
    return 0


def main(argv):
    if len(argv) == 4 and argv[1] == "pack":
        pack(argv[2], argv[3])
        return 0
    if len(argv) == 4 and argv[1] == "kit":
        kit(argv[2], argv[3])
        return 0
    if len(argv) == 4 and argv[1] == "compare":
        return compare(argv[2], argv[3])
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
