#!/usr/bin/env python3
"""What a Windows program says about itself: its machine, the version in its
version resource (VS_FIXEDFILEINFO) and the libraries it loads on first use
(delay_imports), read from the PE file.

  pe_info.py FILE...    prints "FILE: x86-64, version 3.0.0.3, stripped" per file
"""
import re
import struct
import sys

MACHINES = {0x8664: "x86-64", 0x14c: "i386"}
RT_VERSION = 16
FIXED_SIGNATURE = 0xFEEF04BD


class NotAProgram(Exception):
    pass


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ" or len(d) < 0x40:
            raise NotAProgram("%s: no MZ header" % path)
        pe = self.u32(0x3C)
        if d[pe:pe + 4] != b"PE\0\0":
            raise NotAProgram("%s: no PE header" % path)
        self.machine, sections, _, self.symbols, _, optional_size, _ = struct.unpack_from("<HHIIIHH", d, pe + 4)
        optional = pe + 24
        magic = self.u16(optional)
        if magic not in (0x10B, 0x20B):
            raise NotAProgram("%s: unknown optional header" % path)
        self.pointer_size = 8 if magic == 0x20B else 4
        self.image_size = self.u32(optional + 56)
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva = self.u32(directories + 2 * 8)
        self.sections = []
        self.section_names = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw = struct.unpack_from("<8sIIII", d, table + 40 * i)
            self.sections.append((rva, max(vsize, raw_size), raw))
            self.section_names.append(name.rstrip(b"\0").decode("latin-1"))

    def u16(self, at):
        return struct.unpack_from("<H", self.data, at)[0]

    def u32(self, at):
        return struct.unpack_from("<I", self.data, at)[0]

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise NotAProgram("address %#x outside every section" % rva)

    def resource(self, type_id):
        """The bytes of the first resource of a type (any name, any language)."""
        if not self.resource_rva:
            return None
        base = self.offset(self.resource_rva)
        entry = self.first_entry(base, base, type_id)
        for _ in range(2):  # name, then language
            if entry is None or not entry & 0x80000000:
                return None
            entry = self.first_entry(base, base + (entry & 0x7FFFFFFF), None)
        if entry is None or entry & 0x80000000:
            return None
        rva, size = struct.unpack_from("<II", self.data, base + entry)
        at = self.offset(rva)
        return self.data[at:at + size]

    def delay_imports(self):
        """{dll (lower case): [function names, or '#ordinal']} of the delay-load
        descriptors. GNU ld leaves the header's delay-import directory empty,
        so they are found by their shape (ImgDelayDescr): attributes 1
        (addresses are RVAs), a DLL name, module handle, address and name
        table inside the image, no bound or unload table, no time stamp."""
        found = {}
        for (_, size, raw), section in zip(self.sections, self.section_names):
            if not raw or section.startswith(("/", ".debug")):
                continue
            end = min(raw + size, len(self.data)) - 32
            for at in range(raw, end, 4):
                attributes, name, module, iat, names, bound, unload, stamp = struct.unpack_from(
                    "<8I", self.data, at)
                if attributes != 1 or bound or unload or stamp:
                    continue
                if not all(0 < rva < self.image_size for rva in (name, module, iat, names)):
                    continue
                dll = self.c_string(name)
                if dll is None or not re.fullmatch(rb"[A-Za-z0-9_.-]+\.dll", dll, re.I):
                    continue
                found.setdefault(dll.decode("ascii").lower(), []).extend(self.name_table(names))
        return found

    def name_table(self, rva):
        names, ordinal = [], 1 << (8 * self.pointer_size - 1)
        fmt = "<Q" if self.pointer_size == 8 else "<I"
        while True:
            entry = struct.unpack_from(fmt, self.data, self.offset(rva))[0]
            if not entry:
                return names
            if entry & ordinal:
                names.append("#%d" % (entry & 0xFFFF))
            else:
                name = self.c_string(entry + 2)  # after the hint
                names.append(name.decode("ascii", "replace") if name else "?")
            rva += self.pointer_size

    def c_string(self, rva):
        try:
            at = self.offset(rva)
        except NotAProgram:
            return None
        end = self.data.find(b"\0", at, at + 256)
        return self.data[at:end] if end > at else None

    def first_entry(self, base, directory, wanted_id):
        named, ids = struct.unpack_from("<HH", self.data, directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            if wanted_id is None or (not name & 0x80000000 and name == wanted_id):
                return target
        return None


def machine(path):
    pe = PeFile(path)
    return MACHINES.get(pe.machine, "machine %#x" % pe.machine)


def stripped(path):
    """No symbol table and no debug sections (long names such as .debug_info
    are kept in the symbol table's strings and show as "/4")."""
    pe = PeFile(path)
    return pe.symbols == 0 and not any(n.startswith(("/", ".debug")) for n in pe.section_names)


def version(path):
    """"3.0.0.3" from the file version of the version resource; None without one."""
    info = PeFile(path).resource(RT_VERSION)
    if not info:
        return None
    # VS_VERSIONINFO: three words, the key "VS_VERSION_INFO", padding to 32
    # bits, then VS_FIXEDFILEINFO.
    key_end = info.find("VS_VERSION_INFO\0".encode("utf-16-le"), 6)
    if key_end != 6:
        return None
    at = (6 + 32 + 3) & ~3
    signature, _, ms, ls = struct.unpack_from("<IIII", info, at)
    if signature != FIXED_SIGNATURE:
        return None
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main(paths):
    status = 0
    for path in paths:
        try:
            print("%s: %s, version %s, %s" % (path, machine(path), version(path) or "NONE",
                                              "stripped" if stripped(path) else "NOT STRIPPED"))
        except (OSError, NotAProgram, struct.error) as e:
            print("%s: %s" % (path, e))
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
