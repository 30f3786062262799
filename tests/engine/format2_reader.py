#!/usr/bin/env python3
"""An independent reader of the hardened crypto-text format, written from
docs/cryptotext-format-2.md alone, run over the known-answer vectors in
docs/cryptotext-format-2-vectors/.

It shares no code with Quorvix: the armour, header and inner framing are read
here, Argon2id and AES-256-GCM come from the Python `cryptography` package,
and the PPMd stream is decoded by 7-Zip (7zz). Both vectors must open to
vector.plain, and one changed byte anywhere must make the tag fail.

Exit status 0 when everything matches, 1 on any mismatch, 77 (skipped) when
`cryptography` (with Argon2id, version 44 or later) or 7zz is missing.
"""

import base64
import os
import shutil
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ppmd_oracle  # noqa: E402  (7zz through a one-entry ZIP)

SKIP = 77
START = "--- Start Of QVX Crypto-Text 2 ---"
END = "--- End Of QVX Crypto-Text 2 ---"

try:
    from cryptography.exceptions import InvalidTag
    from cryptography.hazmat.primitives import hashes
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    from cryptography.hazmat.primitives.kdf.argon2 import Argon2id
except ImportError:
    print("skipped: the cryptography package with Argon2id is not installed")
    sys.exit(SKIP)


def body_of(text):
    """The Base64 body between the marker lines (as written: CR LF lines)."""
    lines = text.split("\r\n")
    start, end = lines.index(START), lines.index(END)
    return base64.b64decode("".join(lines[start + 1:end]), validate=True)


def sha256(data):
    digest = hashes.Hash(hashes.SHA256())
    digest.update(data)
    return digest.finalize()


def open_block(block, password=None, content_key=None):
    """The inner plaintext's PPMd stream; raises InvalidTag or ValueError."""
    if block[0:4] != b"QVX2" or block[5] != 0:
        raise ValueError("not a format-2 block")
    mode = block[4]
    if mode == 1:
        m, t, p = struct.unpack_from("<III", block, 6)
        if m > 65536 or t > 16 or p > 16 or t == 0 or p == 0 or m < 8 * p:
            raise ValueError("cost out of bounds")
        salt = block[18:34]
        at = 34
        key = Argon2id(salt=salt, length=32, iterations=t, lanes=p, memory_cost=m).derive(sha256(password))
    elif mode == 2:
        (count,) = struct.unpack_from("<H", block, 6)
        at = 8
        for _ in range(count):
            at += 52
            (wrapped,) = struct.unpack_from("<H", block, at)
            at += 2 + wrapped
        key = content_key
    else:
        raise ValueError("unknown mode")
    nonce = block[at:at + 12]
    header = block[:at + 12]
    inner = AESGCM(key).decrypt(nonce, block[at + 12:], header)  # ciphertext || tag
    (size,) = struct.unpack_from("<I", inner, 0)
    if size > len(inner) - 4 or any(inner[4 + size:]):
        raise ValueError("inner framing")
    padded = len(inner)
    length = 4 + size
    if length <= 256:
        expect = 256
    else:
        e = length.bit_length() - 1
        s = e.bit_length() - 1
        mask = (1 << (e - s - 1)) - 1
        expect = (length + mask) & ~mask
    if padded != expect:
        raise ValueError("padded to %d, the rule says %d" % (padded, expect))
    return inner[4:4 + size]


def main():
    sevenz = shutil.which("7zz")
    if sevenz is None:
        print("skipped: 7zz is not installed")
        return SKIP
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                          "cryptotext-format-2-vectors")
    with open(os.path.join(folder, "vector.plain"), "rb") as f:
        plain = f.read()
    cases = [
        ("password.txt", {"password": b"Quorvix vector"}),
        ("recipients.txt", {"content_key": bytes(range(0x40, 0x60))}),
    ]
    failures = 0
    for name, secret in cases:
        with open(os.path.join(folder, name), "rb") as f:
            block = body_of(f.read().decode("latin-1"))
        stream = open_block(block, **secret)
        ok, err = ppmd_oracle.sevenz_decompress(sevenz, stream, plain)
        print("%s: %s" % (name, "opens to vector.plain" if ok else "PPMd stream differs: " + err))
        failures += not ok
        # One changed byte anywhere fails the tag (the cost fields may also
        # fail the bounds first).
        for i in range(len(block)):
            changed = bytearray(block)
            changed[i] ^= 0x01
            try:
                open_block(bytes(changed), **secret)
            except (InvalidTag, ValueError, struct.error):
                continue
            print("%s: byte %d changed and still opened" % (name, i))
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
