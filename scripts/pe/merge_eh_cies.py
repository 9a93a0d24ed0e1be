#!/usr/bin/env python3
"""Merges the duplicate CIEs of a 32-bit PE file's .eh_frame, in place.

GNU ld merges them for ELF, not for PE: there every object, and every
template or inline function that the compiler put in a section of its own,
brings its own copy of the same CIE (about a sixth of Hotfix.exe's unwind
tables). This keeps the first copy of each, points every FDE at it, packs
the records and ends them with the zero the unwinder stops at (dropping
what lay beyond it, which the unwinder never reads). It drops the FDEs of
the compiler's this-adjusting thunks (sub ecx, N; jmp), 24 in Hotfix.exe:
a thunk calls nothing and keeps no frame, so no return address ever points
into one and the unwinder never looks one up. The section
keeps its address and size in memory (the loader zero-fills what the file no
longer holds), so nothing else in the program changes. The file's later
sections move down by the whole 512-byte blocks saved.

Every pointer is re-encoded for the place its record moves to, and the
result is parsed again and checked to describe the very same code: each
FDE's code range, its LSDA and its CIE's content and personality. Anything
this script does not understand stops it with status 1, the file untouched.

  merge_eh_cies.py FILE [--check | --build]
    --check  report, change nothing
    --build  as a build step: on failure the file is removed, so that the
             next build links it again instead of shipping it unmerged
"""
import os
import struct
import sys

SECTION = b".eh_fram"  # ".eh_frame" cut to PE's eight characters


class Unsupported(Exception):
    pass


def leb128(d, i, signed=False):
    """The LEB128 number at d[i] and the index past it."""
    r = s = 0
    while True:
        b = d[i]
        i += 1
        r |= (b & 0x7F) << s
        s += 7
        if b < 0x80:
            return (r - (1 << s) if signed and b & 0x40 else r), i


def enc_leb128(v, signed=False):
    out = bytearray()
    while True:
        b = v & 0x7F
        v >>= 7
        done = (v == 0 and not (signed and b & 0x40)) or (signed and v == -1 and b & 0x40)
        out.append(b | (0 if done else 0x80))
        if done:
            return bytes(out)


# Pointer encodings GCC uses on i386: absolute or pc-relative 4-byte values,
# optionally through an indirect cell (0x80).
def read_ptr(d, i, enc, addr):
    if enc & 0x0F not in (0x00, 0x03, 0x0B) or enc & 0x70 not in (0x00, 0x10) or enc & ~0xFF:
        raise Unsupported("pointer encoding 0x%02x" % enc)
    raw = struct.unpack_from("<i" if enc & 0x0F == 0x0B else "<I", d, i)[0]
    value = (raw + addr) & 0xFFFFFFFF if enc & 0x70 == 0x10 else raw & 0xFFFFFFFF
    return value, i + 4


def write_ptr(value, enc, addr):
    if enc & 0x70 == 0x10:
        value = (value - addr) & 0xFFFFFFFF
    return struct.pack("<I", value)


def parse(d, base, read_cell):
    """The records as dicts, in order; stops at the zero terminator.
    read_cell(address) is the 4-byte value the image holds there."""
    records, cies, i = [], {}, 0
    while i + 4 <= len(d):
        length = struct.unpack_from("<I", d, i)[0]
        if length == 0:
            break
        if length == 0xFFFFFFFF:
            raise Unsupported("64-bit record length")
        start, end = i, i + 4 + length
        cie_id = struct.unpack_from("<I", d, i + 4)[0]
        if cie_id == 0:
            j = i + 8
            version = d[j]
            j += 1
            if version not in (1, 3):
                raise Unsupported("CIE version %d" % version)
            aug_end = d.index(0, j)
            aug = d[j:aug_end]
            j = aug_end + 1
            code_align, j = leb128(d, j)
            data_align, j = leb128(d, j, signed=True)
            if version == 1:
                ra, j = d[j], j + 1
            else:
                ra, j = leb128(d, j)
            cie = {"kind": "cie", "start": start, "aug": aug, "version": version,
                   "code_align": code_align, "data_align": data_align, "ra": ra,
                   "penc": None, "personality": None, "lenc": None, "renc": 0}
            if aug[:1] == b"z":
                _, j = leb128(d, j)
                for c in aug[1:]:
                    if c == ord("P"):
                        cie["penc"] = d[j]
                        cie["personality"], j = read_ptr(d, j + 1, d[j], base + j + 1)
                        # Every object has its own cell holding the routine's
                        # address (0x80, indirect): the routine is what counts.
                        cie["routine"] = (read_cell(cie["personality"]) if cie["penc"] & 0x80
                                          else cie["personality"])
                    elif c == ord("L"):
                        cie["lenc"], j = d[j], j + 1
                    elif c == ord("R"):
                        cie["renc"], j = d[j], j + 1
                    else:
                        raise Unsupported("augmentation %r" % aug)
            elif aug:
                raise Unsupported("augmentation %r" % aug)
            cie["instructions"] = d[j:end]
            cies[start] = cie
            records.append(cie)
        else:
            cie = cies.get(i + 4 - cie_id)
            if cie is None:
                raise Unsupported("FDE at 0x%x names no CIE before it" % i)
            j = i + 8
            pc_begin, j = read_ptr(d, j, cie["renc"], base + j)
            pc_range, j = read_ptr(d, j, cie["renc"] & 0x0F, 0)
            lsda = None
            if cie["aug"][:1] == b"z":
                aug_len, j = leb128(d, j)
                if cie["lenc"] is not None and aug_len:
                    if aug_len != 4:
                        raise Unsupported("LSDA of %d bytes" % aug_len)
                    lsda, _ = read_ptr(d, j, cie["lenc"], base + j)
                elif aug_len:
                    raise Unsupported("FDE augmentation data without an LSDA")
                j += aug_len
            records.append({"kind": "fde", "start": start, "cie": cie, "pc_begin": pc_begin,
                            "pc_range": pc_range, "lsda": lsda, "instructions": d[j:end]})
        i = end
    return records, i


def cie_key(c):
    return (c["version"], c["aug"], c["code_align"], c["data_align"], c["ra"], c["penc"],
            c.get("routine"), c["lenc"], c["renc"], bytes(c["instructions"]))


def emit_cie(c, base, at):
    body = bytearray(struct.pack("<I", 0))
    body.append(c["version"])
    body += c["aug"] + b"\0"
    body += enc_leb128(c["code_align"])
    body += enc_leb128(c["data_align"], signed=True)
    body += bytes([c["ra"]]) if c["version"] == 1 else enc_leb128(c["ra"])
    if c["aug"][:1] == b"z":
        aug = bytearray()
        for ch in c["aug"][1:]:
            if ch == ord("P"):
                aug.append(c["penc"])
                aug_placeholder = len(aug)
                aug += b"\0\0\0\0"
            elif ch == ord("L"):
                aug.append(c["lenc"])
            elif ch == ord("R"):
                aug.append(c["renc"])
        length_field = enc_leb128(len(aug))
        if c["penc"] is not None:
            field = at + 4 + len(body) + len(length_field) + aug_placeholder
            aug[aug_placeholder:aug_placeholder + 4] = write_ptr(c["personality"], c["penc"],
                                                                 base + field)
        body += length_field + aug
    body += c["instructions"]
    return pad(body)


def pad(body):
    # A record's length keeps the next one 4-byte aligned (DW_CFA_nop is 0).
    while (len(body) + 4) % 4:
        body.append(0)
    return struct.pack("<I", len(body)) + bytes(body)


def emit_fde(f, cie_at, base, at):
    c = f["cie"]
    body = bytearray(struct.pack("<I", at + 4 - cie_at))
    body += write_ptr(f["pc_begin"], c["renc"], base + at + 4 + len(body))
    body += write_ptr(f["pc_range"], c["renc"] & 0x0F, 0)
    if c["aug"][:1] == b"z":
        if f["lsda"] is not None:
            body += enc_leb128(4)
            body += write_ptr(f["lsda"], c["lenc"], base + at + 4 + len(body))
        else:
            body += enc_leb128(0)
    body += f["instructions"]
    return pad(body)


def is_thunk(code):
    """The whole function is `sub ecx, N` (thiscall's this) then a jump."""
    for adjust in (3, 6):  # sub ecx, imm8 (83 E9 ib) or imm32 (81 E9 id)
        if code[:2] != (b"\x83\xe9" if adjust == 3 else b"\x81\xe9"):
            continue
        rest = code[adjust:]
        if (len(rest) == 5 and rest[0] == 0xE9) or (len(rest) == 2 and rest[0] == 0xEB):
            return True
    return False


def merge(d, base, read_cell, read_code=lambda address, size: b""):
    # What follows the terminator (crtend.o's own FDE lands there) is never
    # read by the unwinder, which stops at the zero: it is left out.
    records, _ = parse(d, base, read_cell)
    records = [r for r in records
               if not (r["kind"] == "fde" and r["lsda"] is None and not any(r["instructions"])
                       and is_thunk(read_code(r["pc_begin"], r["pc_range"])))]
    out, placed = bytearray(), {}
    for r in records:
        if r["kind"] == "cie":
            if cie_key(r) not in placed:
                placed[cie_key(r)] = len(out)
                out += emit_cie(r, base, len(out))
        else:
            out += emit_fde(r, placed[cie_key(r["cie"])], base, len(out))
    out += b"\0\0\0\0"
    # The same code described, record for record.
    again, _ = parse(bytes(out), base, read_cell)
    fdes = [(r["pc_begin"], r["pc_range"], r["lsda"], cie_key(r["cie"]), bytes(r["instructions"]))
            for r in records if r["kind"] == "fde"]
    fdes_again = [(r["pc_begin"], r["pc_range"], r["lsda"], cie_key(r["cie"]),
                   bytes(r["instructions"])) for r in again if r["kind"] == "fde"]
    if fdes != fdes_again:
        raise Unsupported("the packed records do not read back the same")
    cies = sum(1 for r in records if r["kind"] == "cie")
    return bytes(out), cies, len(placed), len(fdes)


def main(argv):
    if len(argv) not in (2, 3) or (len(argv) == 3 and argv[2] not in ("--check", "--build")):
        print(__doc__[__doc__.index("  merge_eh_cies.py"):], file=sys.stderr)
        return 2
    path, check = argv[1], argv[2:] == ["--check"]
    status = merge_file(path, check)
    if status != 0 and argv[2:] == ["--build"]:
        os.remove(path)
    return status


def merge_file(path, check):
    pe = bytearray(open(path, "rb").read())
    peo = struct.unpack_from("<I", pe, 0x3C)[0]
    if pe[peo:peo + 4] != b"PE\0\0" or struct.unpack_from("<H", pe, peo + 24)[0] != 0x10B:
        print("%s: not a 32-bit PE file" % path, file=sys.stderr)
        return 1
    nsections = struct.unpack_from("<H", pe, peo + 6)[0]
    opt_size = struct.unpack_from("<H", pe, peo + 20)[0]
    opt = peo + 24
    file_align = struct.unpack_from("<I", pe, opt + 36)[0]
    if struct.unpack_from("<I", pe, opt + 128 + 8 * 4)[0]:  # the certificate table
        print("%s: signed; merge before signing" % path, file=sys.stderr)
        return 1
    table = opt + opt_size
    headers = [table + 40 * k for k in range(nsections)]
    eh = [h for h in headers if pe[h:h + 8] == SECTION]
    if not eh:
        print("%s: no %s section, nothing to do" % (path, SECTION.decode()))
        return 0
    h = eh[0]
    vsize, rva, raw_size, raw_ptr = struct.unpack_from("<IIII", pe, h + 8)
    image_base = struct.unpack_from("<I", pe, opt + 28)[0]
    base = image_base + rva

    def read_cell(address):
        for other in headers:
            o_vsize, o_rva, o_raw_size, o_raw_ptr = struct.unpack_from("<IIII", pe, other + 8)
            offset = address - image_base - o_rva
            if 0 <= offset <= min(o_vsize, o_raw_size) - 4:
                return struct.unpack_from("<I", pe, o_raw_ptr + offset)[0]
        raise Unsupported("personality cell 0x%x outside the file's data" % address)

    def read_code(address, size):
        for other in headers:
            o_vsize, o_rva, o_raw_size, o_raw_ptr = struct.unpack_from("<IIII", pe, other + 8)
            offset = address - image_base - o_rva
            if 0 <= offset and offset + size <= min(o_vsize, o_raw_size):
                return bytes(pe[o_raw_ptr + offset:o_raw_ptr + offset + size])
        raise Unsupported("code 0x%x outside the file's data" % address)

    try:
        packed, cies, kept, fdes = merge(bytes(pe[raw_ptr:raw_ptr + min(vsize, raw_size)]), base,
                                         read_cell, read_code)
    except (Unsupported, IndexError, ValueError, struct.error) as e:
        print("%s: %s left as it is: %s" % (path, SECTION.decode(), e), file=sys.stderr)
        return 1
    new_raw = -(-len(packed) // file_align) * file_align
    saved = raw_size - new_raw
    print("%s: %d FDEs, %d CIEs merged into %d; %d bytes of unwind tables, %d fewer in the file"
          % (path, fdes, cies, kept, len(packed), max(saved, 0)))
    if check or saved <= 0:
        return 0
    section = packed + b"\0" * (new_raw - len(packed))
    pe[raw_ptr:raw_ptr + raw_size] = section
    struct.pack_into("<I", pe, h + 16, new_raw)
    for other in headers:
        ptr = struct.unpack_from("<I", pe, other + 20)[0]
        if ptr > raw_ptr:
            struct.pack_into("<I", pe, other + 20, ptr - saved)
    initialized = struct.unpack_from("<I", pe, opt + 8)[0]
    struct.pack_into("<I", pe, opt + 8, initialized - saved)
    open(path, "wb").write(pe)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
