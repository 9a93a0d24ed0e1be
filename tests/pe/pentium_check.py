#!/usr/bin/env python3
"""No instruction a Pentium lacks: disassembles a linked i686 program and
names, for each instruction that the Pentium (i586) lacks, the object file it
came from, using the linker map (ld -Map). Exception tables that the linker
places inside .text are data, not code, and are skipped.

  pentium_check.py PROGRAM.exe PROGRAM.map [--pending FILE]

Looked for: CMOVcc, FCMOVcc, FCOMI(P), FUCOMI(P), the multi-byte NOP, MMX and
SSE (any %mm or %xmm register, EMMS, the fences, PREFETCH, LDMXCSR, STMXCSR),
RDRAND and RDSEED.

--pending names runtime objects (one "COUNT OBJECT" per line, # comments)
that are known to hold COUNT such instructions until they are rebuilt for the
i586; each may hold at most that many. Any other object with one fails.
Exit status 0 when nothing else was found, 1 otherwise, 2 for bad input."""
import bisect
import collections
import re
import subprocess
import sys

FORBIDDEN = re.compile(r'^(cmov\w+|fcmov\w+|fcomip?|fucomip?|rdrand|rdseed|nop[wlq]?|emms|'
                       r'[lms]fence|prefetch\w*|ldmxcsr|stmxcsr)$')
DATA_SECTIONS = ('.gcc_except_table',)


def text_sections(map_lines):
    """(start, size, input section, object) of every input section in .text."""
    sections, in_text, pending = [], False, None
    for line in map_lines:
        if re.match(r'^\.text\s', line):
            in_text = True
            continue
        if in_text and re.match(r'^\.\S', line):
            break
        if not in_text:
            continue
        one_line = re.match(r'^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$', line)
        if one_line:
            name, start, size, obj = one_line.groups()
            sections.append((int(start, 16), int(size, 16), name, obj))
            pending = None
            continue
        name_only = re.match(r'^ (\S+)$', line)
        if name_only:
            pending = name_only.group(1)
            continue
        continued = re.match(r'^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$', line)
        if continued and pending:
            start, size, obj = continued.groups()
            sections.append((int(start, 16), int(size, 16), pending, obj))
            pending = None
    return sorted(s for s in sections if s[1] > 0)


def object_name(path):
    """libfoo.a(member.o) or file.o, without folders."""
    return path.rsplit('/', 1)[-1]


def forbidden(mnemonic, operands):
    if mnemonic == 'nop':
        return bool(operands.strip())  # the plain one-byte NOP is fine
    return bool(FORBIDDEN.match(mnemonic)) or '%mm' in operands or '%xmm' in operands


def main(argv):
    if len(argv) not in (3, 5) or (len(argv) == 5 and argv[3] != '--pending'):
        print(__doc__, file=sys.stderr)
        return 2
    program, map_file = argv[1], argv[2]
    pending = {}
    if len(argv) == 5:
        for line in open(argv[4], encoding='utf-8'):
            line = line.split('#', 1)[0].strip()
            if line:
                count, obj = line.split(None, 1)
                pending[obj] = int(count)
    sections = text_sections(open(map_file, errors='replace').read().splitlines())
    if not sections:
        print(f'{map_file}: no .text input sections found', file=sys.stderr)
        return 2
    starts = [s[0] for s in sections]
    disassembly = subprocess.run(['i686-w64-mingw32-objdump', '-d', '--no-show-raw-insn', program],
                                 capture_output=True, text=True, check=True).stdout
    found = collections.Counter()
    for line in disassembly.splitlines():
        insn = re.match(r'^\s+([0-9a-f]+):\s+(\S+)(.*)$', line)
        if not insn or not forbidden(insn.group(2), insn.group(3)):
            continue
        address = int(insn.group(1), 16)
        i = bisect.bisect_right(starts, address) - 1
        if i >= 0 and address < sections[i][0] + sections[i][1]:
            start, size, name, obj = sections[i]
            if name.startswith(DATA_SECTIONS):
                continue
            found[(object_name(obj), insn.group(2))] += 1
        else:
            found[('(no object: linker-made code)', insn.group(2))] += 1

    per_object = collections.Counter()
    for (obj, _), n in found.items():
        per_object[obj] += n
    failed = False
    for (obj, mnemonic), n in sorted(found.items()):
        allowed = pending.get(obj)
        verdict = 'pending' if allowed is not None and per_object[obj] <= allowed else 'FAIL'
        failed |= verdict == 'FAIL'
        print(f'{verdict}: {n} x {mnemonic} in {obj}')
    for obj, allowed in sorted(pending.items()):
        if per_object[obj] < allowed:
            print(f'note: {obj} now holds {per_object[obj]}, fewer than the {allowed} pending: '
                  'lower its count')
    total = sum(found.values())
    print(f'{program}: {total} instruction(s) a Pentium lacks, '
          f'{sum(n for (o, _), n in found.items() if o in pending)} of them pending')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
