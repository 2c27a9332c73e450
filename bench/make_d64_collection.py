#!/usr/bin/env python3
"""Writes COUNT different 1541 images into FOLDER (spread over subfolders of 1000), made from
one base image of cc1541's: each copy gets its own disk name, ID and file names, and between
two and eight of the base's files. With --gzip, a second folder FOLDER-gz holds the same
images gzipped. Nothing is written when the folder already holds COUNT images.
usage: make_d64_collection.py FOLDER COUNT [--gzip]"""
import gzip
import os
import subprocess
import sys
import tempfile

DIR = 0x16500  # track 18 sector 0: BAM and header
ENTRIES = DIR + 0x100  # track 18 sector 1: the first 8 directory entries


def base_image():
    with tempfile.TemporaryDirectory() as work:
        args = ["cc1541", "-n", "BASE", "-i", "00"]
        for i in range(8):
            host = os.path.join(work, f"f{i}")
            with open(host, "wb") as f:
                f.write(bytes((i * 37 + k) & 0xFF for k in range(300 + 900 * i)))
            args += ["-f", f"FILE{i}", "-w", host]
        image = os.path.join(work, "base.d64")
        subprocess.run(args + [image], check=True, stdout=subprocess.DEVNULL)
        with open(image, "rb") as f:
            return bytearray(f.read())


def petscii_name(text):
    raw = text.upper().encode("ascii")[:16]
    return raw + b"\xa0" * (16 - len(raw))


def variant(base, n):
    image = bytearray(base)
    image[DIR + 0x90:DIR + 0xA0] = petscii_name(f"DISK {n}")
    image[DIR + 0xA2:DIR + 0xA4] = f"{n % 1296:02d}"[-2:].encode("ascii")
    keep = 2 + n % 7
    for i in range(8):
        at = ENTRIES + 32 * i
        image[at + 5:at + 21] = petscii_name(f"G{n % 97}-{i}-{n}")
        if i >= keep:
            image[at + 2] = 0  # a deleted entry: the listing leaves it out
    image[0x100 + (n % 200)] ^= 0x5A  # a changed data byte on track 1
    return image


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    zipped = "--gzip" in sys.argv[3:]
    base = base_image()
    for target, pack in [(folder, False)] + ([(folder + "-gz", True)] if zipped else []):
        marker = os.path.join(target, f".complete-{count}")
        if os.path.exists(marker):
            continue
        for n in range(count):
            sub = os.path.join(target, f"{n // 1000:03d}")
            os.makedirs(sub, exist_ok=True)
            path = os.path.join(sub, f"disk{n:05d}.d64")
            data = bytes(variant(base, n))
            if pack:
                with open(path + ".gz", "wb") as f:
                    f.write(gzip.compress(data, 6))
            else:
                with open(path, "wb") as f:
                    f.write(data)
        open(marker, "w").close()


main()
