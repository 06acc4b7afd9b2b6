#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz/corpus/<target>/.

The seeds are the blobs and files the plug-in itself reads, valid and a little off: host and preset
state blobs of every known length, preset files with and without header, and data folders holding
the start-up preset. Run it again after changing the state or preset file format.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MAGIC = 0x5461726E
SECOND = 1450076024
VERSION = 16777216


def floats(values):
    return b"".join(struct.pack("<f", v) for v in values)


def ints(values):
    return b"".join(struct.pack("<i", v) for v in values)


def host_values():
    values = [0.8163265, 0.8163265] + [0.0] * 20
    values[18] = values[19] = 0.5
    return values


def blob(host=True, band_gains=True, styles=(1, 0, 0, 0, 0, 0, 0, 0), module_value=0.5, hashes=(0, 0)):
    data = floats(host_values()) + floats([module_value] * 80) + ints(styles) + ints([1, 1, 1, 1]) + ints([0])
    if host:
        data += ints([0, 0, 0]) + ints([0]) + ints(hashes)
    if band_gains:
        data += floats([0.5] * 4)
    return data


def preset_file(payload, size_word=None):
    size = len(payload) + 16 if size_word is None else size_word
    return struct.pack("<IIII", MAGIC, SECOND, VERSION, size & 0xFFFFFFFF) + payload


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def load_state_seeds():
    hostile = bytearray(blob())
    hostile[0:4] = struct.pack("<I", 0x7FC00000)                 # NaN input gain
    hostile[4:8] = struct.pack("<f", float("inf"))
    hostile[88:92] = struct.pack("<f", -1e30)                     # first module parameter
    hostile[408:412] = struct.pack("<i", 99)                      # high-pass style out of range
    hostile[412:416] = struct.pack("<i", -1)
    # First byte: bit 0 loads as a preset, bit 1 uses the mono processor.
    seeds = {
        "host-500": bytes([0]) + blob(),
        "host-484-no-band-gains": bytes([0]) + blob(band_gains=False),
        "host-500-unknown-preset-hashes": bytes([0]) + blob(hashes=(-123456, 987654)),
        "host-hostile-values": bytes([0]) + bytes(hostile),
        "host-408-fixed-part-only": bytes([0]) + blob()[:408],
        "host-407-refused": bytes([0]) + blob()[:407],
        "preset-476": bytes([1]) + blob(host=False),
        "preset-460-legacy": bytes([1]) + blob(host=False, band_gains=False),
        "preset-476-mono": bytes([3]) + blob(host=False, styles=(2, 2, 3, 1, 2, 1, 1, 2)),
        "host-500-mono-extremes": bytes([2]) + blob(module_value=1.0),
    }
    for name, data in seeds.items():
        write("fuzz_load_state", name, data)


def unpack_seeds():
    payload = blob(host=False)
    seeds = {
        "file-492": preset_file(payload),
        "raw-460": blob(host=False, band_gains=False),
        "raw-476-refused": payload,
        "file-size-word-too-large": preset_file(payload, 0xFFFFFFF0),
        "file-size-word-one-short": preset_file(payload, len(payload) + 15),
        "header-only": preset_file(b""),
        "magic-only": struct.pack("<I", MAGIC),
    }
    for name, data in seeds.items():
        write("fuzz_unpack_preset", name, data)


class FolderInput:
    """Encodes choices the way libFuzzer's FuzzedDataProvider decodes them: byte strings from the
    front of the input, integers and booleans from the back."""

    def __init__(self):
        self.front = b""
        self.back = []

    def integer(self, low, high, value):
        span, offset, taken = high - low, 0, []
        while offset < 64 and (span >> offset) > 0:
            offset += 8
            taken.append(0)
        value -= low
        for index in range(len(taken)):                          # first byte taken is the highest
            taken[index] = (value >> (8 * (len(taken) - 1 - index))) & 0xFF
        self.back += taken

    def boolean(self, value):
        self.integer(0, 255, 1 if value else 0)

    def data(self):
        return self.front + bytes(reversed(self.back))


def folder_seed(construct, files):
    """files: (place 0-7, preset name index, contents kind 0-3, payload) tuples."""
    encoder = FolderInput()
    encoder.boolean(construct)
    encoder.integer(1, 8, len(files))
    for place, name_index, kind, payload in files:
        encoder.integer(0, 7, place)
        encoder.boolean(True)                                     # a name from the table
        encoder.integer(0, 12, name_index)
        encoder.integer(0, 9, 5)                                  # an ordinary file
        encoder.integer(0, 3, kind)
        encoder.integer(0, 600, len(payload))
        encoder.front += payload
        if kind == 1:
            encoder.boolean(True)                                 # the right second word
    return encoder.data()


def folder_seeds():
    preset = blob(host=False)
    legacy = blob(host=False, band_gains=False)
    # Place 0 is the factory category "01_Master", name 0 "01_Default.valmora", place 7 the user
    # root; kind 1 writes a header with the true size, kind 3 a legacy 460-byte raw blob.
    seeds = {
        "startup-preset": folder_seed(True, [(0, 0, 1, preset)]),
        "factory-and-user": folder_seed(False, [(1, 1, 1, preset), (7, 2, 3, legacy), (5, 5, 0, preset[:100])]),
        "odd-names": folder_seed(False, [(3, 3, 1, preset), (6, 7, 1, preset), (4, 9, 3, legacy), (2, 11, 1, preset)]),
    }
    for name, data in seeds.items():
        write("fuzz_preset_folder", name, data)


if __name__ == "__main__":
    load_state_seeds()
    unpack_seeds()
    folder_seeds()
