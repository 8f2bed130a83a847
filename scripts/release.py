#!/usr/bin/env python3
"""The release archive, the test kit and the check; scripts/release.sh runs them.

release.py pack BUILD OUT   writes OUT/waagenfuchs-<version>-windows.zip (docs/LIESMICH.txt and
                            BUILD's program), the program beside it and OUT/SHA256SUMS for both
release.py kit BUILD OUT    writes OUT/waagenfuchs-<version>-windows[-x86_64]-tests.zip: BUILD's
                            test programs, the release program, tests/kit/ and BUILD/kit/tests.txt
release.py compare A B      names the first differing zip entry or PE section of what pack wrote
                            into A and B, and exits 1

The version is BUILD's version.h. The zip entries come in a fixed order with fixed permissions,
dated SOURCE_DATE_EPOCH (UTC), where CPack's ZIP would carry the files' times.
"""
import hashlib, itertools, os, re, shutil, struct, sys, time, zipfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM = "waagenfuchs.exe"
ZIP_EPOCH = 315532800  # the earliest time a zip entry can carry: 1980-01-01 00:00:00 UTC


def read(path):
    with open(path, "rb") as data:
        return data.read()


def sha256(path):
    return hashlib.sha256(read(path)).hexdigest()


def version_of(build):
    with open(os.path.join(build, "version.h"), encoding="ascii") as header:
        return re.search(r'#define WAAGENFUCHS_VERSION "([^"]+)"', header.read()).group(1)


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
    """The entries (name, bytes) in that order, nothing of the machine or the clock."""
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", ZIP_EPOCH)), ZIP_EPOCH)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w") as archive:
        for entry, data in entries:
            info = zipfile.ZipInfo(entry, date_time=time.gmtime(epoch)[:6])
            info.create_system = 3  # Unix, so that external_attr holds the permissions below
            info.external_attr = 0o100644 << 16
            archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


def pack(build, out):
    name = "waagenfuchs-%s-windows.zip" % version_of(build)
    with open(os.path.join(REPO, "README.md"), encoding="utf-8") as readme:
        if name not in readme.read():
            sys.exit("release: README.md does not name %s; its Download section must give the "
                     "version of project() in CMakeLists.txt" % name)
    program = os.path.join(build, PROGRAM)
    image = read(program)
    liesmich = windows_text(os.path.join(REPO, "docs", "LIESMICH.txt"))
    write_zip(os.path.join(out, name), [("LIESMICH.txt", liesmich), (PROGRAM, image)])
    shutil.copyfile(program, os.path.join(out, PROGRAM))
    with open(os.path.join(out, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as sums:
        for entry in (name, PROGRAM):
            sums.write("%s  %s\n" % (sha256(os.path.join(out, entry)), entry))
    print("release: %s" % os.path.join(out, name))


def kit(build, out):
    image = read(os.path.join(build, PROGRAM))
    machine = struct.unpack_from("<H", image, struct.unpack_from("<I", image, 0x3C)[0] + 4)[0]
    name = "waagenfuchs-%s-windows-%stests.zip" % (
        version_of(build), "" if machine == 0x014C else "x86_64-")
    listing = os.path.join(build, "kit", "tests.txt")
    with open(listing, encoding="ascii") as lines:
        programs = [line.split()[0] for line in lines if line.strip()]
    entries = [(entry, windows_text(os.path.join(REPO, "tests", "kit", entry)))
               for entry in ("README.txt", "run-tests.cmd")]
    entries += [("tests.txt", windows_text(listing)), (PROGRAM, image)]
    entries += [(entry, read(os.path.join(build, "tests", entry)))
                for entry in ["run_tests.exe"] + programs]
    write_zip(os.path.join(out, name), entries)
    print("release: %s" % os.path.join(out, name))


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
    """[] when the programs are equal, else where they first differ."""
    image_a, image_b = read(a), read(b)
    if image_a == image_b:
        return []
    offset = next((i for i, (x, y) in enumerate(zip(image_a, image_b)) if x != y),
                  min(len(image_a), len(image_b)))
    return ["%s differs first in %s, at file offset 0x%x"
            % (PROGRAM, pe_place(image_a, offset), offset)]


def compare_archives(a, b):
    """[] when the archives are equal, else their first differing entry."""
    if read(a) == read(b):
        return []
    entries = []  # of each archive, each entry's info with its local header and data as stored
    for path in (a, b):
        with zipfile.ZipFile(path) as archive:
            infos, data = archive.infolist(), read(path)
            ends = [info.header_offset for info in infos[1:]] + [archive.start_dir]
            entries.append([(info, data[info.header_offset:end]) for info, end in zip(infos, ends)])
    for index, (x, y) in enumerate(itertools.zip_longest(*entries), 1):
        if x is None or y is None or x[0].filename != y[0].filename:
            names = [pair[0].filename if pair else "nothing" for pair in (x, y)]
            return ["zip entry %d is %s in one archive, %s in the other" % (index, *names)]
        for field in ("date_time", "external_attr", "create_system", "compress_type", "CRC",
                      "file_size", "compress_size"):
            if getattr(x[0], field) != getattr(y[0], field):
                return ["zip entry %s differs first in its %s: %s, %s" % (
                    x[0].filename, field, getattr(x[0], field), getattr(y[0], field))]
        if x[1] != y[1]:
            return ["zip entry %s differs in its stored bytes" % x[0].filename]
    return ["the zips' entries are the same; their central directories differ"]


def compare(a, b):
    name = archive_in(a)
    if archive_in(b) != name:
        print("release: %s holds %s, %s holds %s" % (a, name, b, archive_in(b)))
        return 1
    differences = compare_programs(os.path.join(a, PROGRAM), os.path.join(b, PROGRAM))
    differences += compare_archives(os.path.join(a, name), os.path.join(b, name))
    for difference in differences:
        print("release: %s and %s: %s" % (a, b, difference))
    if differences:
        return 1
    for entry in (name, PROGRAM):
        print("release: the same bytes: %s %s" % (sha256(os.path.join(a, entry)), entry))
    return 0


if __name__ == "__main__":
    commands = {"pack": pack, "kit": kit, "compare": compare}
    if len(sys.argv) != 4 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    sys.exit(commands[sys.argv[1]](sys.argv[2], sys.argv[3]) or 0)
