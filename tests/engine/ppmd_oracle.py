#!/usr/bin/env python3
"""Cross-check of `qvx ppmd` against 7-Zip's PPMd coder (7zz).

7-Zip writes raw PPMd variant I streams inside ZIP entries of method 98: the
entry data is a 2-byte little-endian parameter word followed by the stream.
For order 4, 10 MB of model memory and model restart the word is 0x0093
((order - 1) | (MB - 1) << 4 | restore << 12).

For every input this script checks both directions:
  * 7zz compresses it (data through a pipe, so that 7zz neither shrinks the
    model for small inputs nor falls back to storing) and `qvx ppmd compress`
    must write the same stream byte for byte;
  * `qvx ppmd decompress` must restore the input from 7zz's stream, and 7zz
    must restore it from ours (wrapped into a one-entry ZIP).
The large varied text must exhaust the 10 MB model (its stream differs from
the one written with 256 MB), so the model restart is covered.

Exit status 0 when everything matches, 1 on any mismatch, 77 (skipped) when
7zz is not installed. Standard library only.
"""

import argparse
import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

SKIP = 77
METHOD_PPMD = 98
ENTRY = "payload.bin"


def props_word(order, mem_mb, restore):
    return (order - 1) | ((mem_mb - 1) << 4) | (restore << 12)


EXPECTED_PROPS = props_word(4, 10, 0)  # 0x0093


class Failure(Exception):
    pass


# ---------------------------------------------------------------------------
# 7zz through ZIP method 98


def sevenz_compress(sevenz, data, mem_mb=10):
    """Raw stream and parameter word of 7zz's PPMd entry for data."""
    with tempfile.TemporaryDirectory(prefix="qvx-ppmd-") as tmp:
        archive = os.path.join(tmp, "out.zip")
        cmd = [sevenz, "a", "-tzip", "-mm=PPMd", "-mo=4", "-mmem=%dm" % mem_mb, "-mmt=1",
               "-bso0", "-bsp0", "-si" + ENTRY, archive]
        run = subprocess.run(cmd, input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if run.returncode != 0:
            raise Failure("7zz a failed: " + run.stderr.decode(errors="replace").strip())
        with zipfile.ZipFile(archive) as z:
            (info,) = z.infolist()
        if info.compress_type != METHOD_PPMD:
            raise Failure("7zz stored the entry with method %d" % info.compress_type)
        if info.file_size != len(data) or info.CRC != zlib.crc32(data):
            raise Failure("7zz entry has the wrong size or CRC")
        with open(archive, "rb") as f:
            f.seek(info.header_offset)
            local = f.read(30)
            name_len, extra_len = struct.unpack_from("<HH", local, 26)
            f.seek(info.header_offset + 30 + name_len + extra_len)
            entry = f.read(info.compress_size)
    (word,) = struct.unpack_from("<H", entry)
    return word, entry[2:]


def one_entry_zip(stream, size, crc):
    """A ZIP holding one method-98 entry of the given stream."""
    data = struct.pack("<H", EXPECTED_PROPS) + stream
    name = ENTRY.encode()
    version = 63  # what 7-Zip writes for PPMd entries
    date = ((2024 - 1980) << 9) | (1 << 5) | 1
    if size >= 0xFFFFFFFF or len(data) >= 0xFFFFFFFF:
        raise Failure("input too large for this check")
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, version, 0, METHOD_PPMD, 0, date,
                        crc, len(data), size, len(name), 0) + name
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, version, version, 0, METHOD_PPMD,
                          0, date, crc, len(data), size, len(name), 0, 0, 0, 0, 0, 0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central),
                      len(local) + len(data), 0)
    return local + data + central + end


def sevenz_decompress(sevenz, stream, expected):
    """True when 7zz decodes stream to exactly expected without complaint."""
    with tempfile.TemporaryDirectory(prefix="qvx-ppmd-") as tmp:
        archive = os.path.join(tmp, "in.zip")
        with open(archive, "wb") as f:
            f.write(one_entry_zip(stream, len(expected), zlib.crc32(expected)))
        run = subprocess.run([sevenz, "e", "-so", "-bso0", "-bsp0", "-y", archive],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return run.returncode == 0 and run.stdout == expected, run.stderr.decode(errors="replace").strip()


# ---------------------------------------------------------------------------
# qvx


def qvx_run(qvx, action, data):
    run = subprocess.run([qvx, "ppmd", action], input=data, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE)
    return run.returncode, run.stdout, run.stderr.decode(errors="replace").strip()


# ---------------------------------------------------------------------------
# Inputs


def ordinary_text(limit):
    """Licence texts of the system, or generated prose when there are none."""
    folder = "/usr/share/common-licenses"
    out = bytearray()
    if os.path.isdir(folder):
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    out += f.read()
            if len(out) >= limit:
                break
    if not out:
        rng = random.Random(3)
        words = ("the of and to in is that for it as with was on be by this are or "
                 "license software program copy work any you may under terms").split()
        while len(out) < limit:
            out += (" ".join(rng.choice(words) for _ in range(12)) + ".\r\n").encode()
    return bytes(out[:limit])


def runs():
    rng = random.Random(5)
    out = bytearray(b"a" * 200000)
    for _ in range(400):
        out += bytes([rng.randrange(256)]) * rng.choice((1, 2, 3, 50, 700, 5000))
    return bytes(out)


def xorshift_text(size, seed=0x9E3779B9):
    """Varied synthetic text from a 32-bit xorshift generator: words from a
    vocabulary of 65536 random words, some capitalised, between blanks and
    punctuation. So many different contexts fill the order-4 model quickly.
    The unit tests build the same text, so its stream digest is a golden
    value there too."""
    state = seed

    def nxt():
        nonlocal state
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        return state

    vocab = []
    for _ in range(65536):
        word = bytearray(97 + nxt() % 26 for _ in range(1 + nxt() % 12))
        if nxt() % 8 == 0:
            word[0] -= 32
        vocab.append(bytes(word))
    separators = [b" "] * 10 + [b", ", b". ", b"; ", b"\r\n", b" - ", b": "]
    out = bytearray()
    while len(out) < size:
        r = nxt()
        out += vocab[r & 0xFFFF]
        out += separators[(r >> 16) % 16]
    return bytes(out[:size])


def cases(quick):
    rng = random.Random(11)
    big = (2 if quick else 4) << 20
    return [
        ("empty", b""),
        ("one byte", b"\x00"),
        ("abc", b"abc"),
        ("all 256 byte values", bytes(range(256)) + bytes(range(255, -1, -1))),
        ("random binary", rng.randbytes(256 << 10)),
        ("ordinary text", ordinary_text(600 << 10) + b"\0"),
        ("long runs", runs()),
        ("varied text, model restarts", xorshift_text(big)),
    ]


# ---------------------------------------------------------------------------
# Golden vectors for the unit tests, which run without 7zz


SAMPLE_TEXT = (
    "Dear Anna,\r\n\r\n"
    "the minutes of Tuesday's meeting are below. Please check the figures in the\r\n"
    "third paragraph before Friday; the auditors asked for the final version by\r\n"
    "the end of the month, and we still have two open questions about the budget.\r\n\r\n"
    "1. The new office in Leipzig opens on 1 March. Keys: ask the front desk.\r\n"
    "2. Travel costs rose by 14 % against last year (see table 3).\r\n"
    "3. The server migration is postponed until the backups have been tested.\r\n\r\n"
    "Password hints, account numbers and similar details are not sent by e-mail.\r\n"
    "If anything is unclear, call me on my mobile: +49 170 5550123.\r\n\r\n"
    "Kind regards,\r\nMartin\r\n"
).encode() * 3 + b"\0"


def vectors():
    rng = random.Random(21)
    return [
        ("empty", b""),
        ("one_byte", b"A"),
        ("abc", b"abc"),
        ("all_bytes", bytes(range(256)) + bytes(range(255, -1, -1))),
        ("random", rng.randbytes(4096)),
        ("runs", b"a" * 20000 + b"".join(bytes([i]) * (i * 7 % 300 + 1) for i in range(256))),
        ("letter", SAMPLE_TEXT),
    ]


def write_vectors(sevenz, folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in vectors():
        word, stream = sevenz_compress(sevenz, data)
        if word != EXPECTED_PROPS:
            raise Failure("7zz parameter word 0x%04x" % word)
        for ext, content in ((".in", data), (".ppmd", stream)):
            with open(os.path.join(folder, name + ext), "wb") as f:
                f.write(content)
        print("%-10s %6d bytes -> %6d bytes" % (name, len(data), len(stream)))
    return 0


# ---------------------------------------------------------------------------


def check_case(sevenz, qvx, name, data, report):
    ok = True

    def expect(cond, what):
        nonlocal ok
        report(("ok  " if cond else "FAIL") + " %-30s %s" % (name, what))
        ok = ok and cond

    t0 = time.perf_counter()
    word, reference = sevenz_compress(sevenz, data)
    expect(word == EXPECTED_PROPS, "7zz parameter word 0x%04x" % word)
    rc, ours, err = qvx_run(qvx, "compress", data)
    if rc != 0:
        expect(False, "qvx ppmd compress failed: " + err)
        return False
    if ours == reference:
        expect(True, "same stream (%d bytes from %d)" % (len(ours), len(data)))
    else:
        at = next((i for i in range(min(len(ours), len(reference))) if ours[i] != reference[i]),
                  min(len(ours), len(reference)))
        expect(False, "streams differ at byte %d (ours %d bytes, 7zz %d bytes)"
               % (at, len(ours), len(reference)))
    rc, text, err = qvx_run(qvx, "decompress", reference)
    expect(rc == 0 and text == data, "qvx decodes 7zz's stream" + ("" if rc == 0 else ": " + err))
    decoded, err = sevenz_decompress(sevenz, ours, data)
    expect(decoded, "7zz decodes our stream" + ("" if decoded else ": " + err))
    if len(reference) > 4:
        for label, bad in (("one byte short", reference[:-1]),
                           ("one byte extra", reference + b"\0")):
            rc, _, err = qvx_run(qvx, "decompress", bad)
            expect(rc == 4, "qvx rejects the stream %s (exit %d: %s)" % (label, rc, err))
    if name.startswith("varied"):
        _, unbounded = sevenz_compress(sevenz, data, mem_mb=256)
        expect(unbounded != reference, "the 10 MB model was exhausted (256 MB stream differs)")
        report("info %-30s stream SHA-256 %s" % (name, hashlib.sha256(reference).hexdigest()))
    report("info %-30s %.1f s" % (name, time.perf_counter() - t0))
    return ok


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--qvx", help="the qvx program to check")
    ap.add_argument("--write-vectors", metavar="DIR",
                    help="write the golden vectors of the unit tests (input.in, stream.ppmd)")
    ap.add_argument("--7zz", dest="sevenz", default=os.environ.get("QVX_7ZZ", "7zz"))
    ap.add_argument("--quick", action="store_true", help="smaller varied text (2 MiB)")
    args = ap.parse_args()
    sevenz = shutil.which(args.sevenz)
    if sevenz is None:
        print("SKIPPED: 7zz not found (Debian package 7zip); the PPMd cross-check did not run")
        return SKIP
    if args.write_vectors:
        return write_vectors(sevenz, args.write_vectors)
    if not args.qvx:
        ap.error("--qvx is required")
    failures = 0
    for name, data in cases(args.quick):
        try:
            if not check_case(sevenz, args.qvx, name, data, lambda line: print(line, flush=True)):
                failures += 1
        except Failure as e:
            print("FAIL %-30s %s" % (name, e), flush=True)
            failures += 1
    print("%d of %d inputs failed" % (failures, len(cases(args.quick))) if failures
          else "all inputs match")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
