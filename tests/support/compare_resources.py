#!/usr/bin/env python3
"""Compares the resources of two builds of one module (the 32-bit and the 64-bit):

    compare_resources.py A B

Every resource must be in both, with the same type, name and language, and the same
bytes; a type library only has to be the same size, since the two layouts differ in their
system kind and pointer sizes (the tests load both and compare their contents).
"""
import struct
import sys


def resources(path):
    data = open(path, 'rb').read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    sections = struct.unpack_from('<H', data, pe + 6)[0]
    optional_size = struct.unpack_from('<H', data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from('<II', data, directories + 2 * 8)
    table = optional + optional_size
    for i in range(sections):
        name, vsize, vaddr, rawsize, rawptr = struct.unpack_from('<8sIIII', data, table + 40 * i)
        if vaddr <= rsrc_rva < vaddr + max(vsize, rawsize):
            delta = rawptr - vaddr
            break
    else:
        sys.exit(f'{path}: no resource section')
    base = rsrc_rva + delta

    def label(entry_name):
        if entry_name & 0x80000000:
            at = base + (entry_name & 0x7FFFFFFF)
            length = struct.unpack_from('<H', data, at)[0]
            return data[at + 2:at + 2 + 2 * length].decode('utf-16-le')
        return entry_name

    found = {}

    def walk(offset, path_so_far):
        entries = sum(struct.unpack_from('<HH', data, base + offset + 12))
        for i in range(entries):
            entry_name, target = struct.unpack_from('<II', data, base + offset + 16 + 8 * i)
            key = path_so_far + (label(entry_name),)
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, key)
            else:
                rva, size = struct.unpack_from('<II', data, base + target)
                found[key] = data[rva + delta:rva + delta + size]

    walk(0, ())
    return found


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    a, b = resources(sys.argv[1]), resources(sys.argv[2])
    problems = []
    for key in sorted(set(a) | set(b), key=str):
        if key not in a or key not in b:
            problems.append(f'{key}: only in {sys.argv[1] if key in a else sys.argv[2]}')
        elif key[0] == 'TYPELIB':
            if len(a[key]) != len(b[key]):
                problems.append(f'{key}: type libraries of {len(a[key])} and {len(b[key])} bytes')
        elif a[key] != b[key]:
            problems.append(f'{key}: different bytes')
    for problem in problems:
        print(problem)
    print(f'{len(a)} resources compared: {"same" if not problems else "DIFFERENT"}')
    sys.exit(1 if problems else 0)


if __name__ == '__main__':
    main()
