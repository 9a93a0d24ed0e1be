#!/usr/bin/env python3
"""Writes the bundled scenarios under scenarios/: each a machine.reg as regedit
exports it and a scenario.toml with the rest of the machine and the expected
outcome. Run it again after changing a scenario here; the tests read the
folders it wrote."""
import os
import shutil
import sys

UNINSTALL = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}"
FIREWALL = r"HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Orvane firewall"
FW_DIR = "C:\\Program Files\\Orvane\\Firewall\\"
TRK = FW_DIR + "trk.exe"
WARNING = "Orvane Firewall v3.03 Hotfix (CR 40517)"
NOTICE = "Hotfix"
REBOOT = "Reboot"
FIRST = "C:\\Hotfix\\40517.exe"
SECOND = "C:\\Hotfix\\40517-2.exe"


def reg_string(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


def utf16_hex(text, nul=True):
    data = text.encode('utf-16-le') + (b'\0\0' if nul else b'')
    return ','.join('%02x' % b for b in data)


def default_entries(display='"Orvane Firewall v3.03"', installpath=None):
    """Registry entries of a machine with the firewall installed."""
    if installpath is None:
        installpath = reg_string(FW_DIR)
    entries = [(UNINSTALL, [])]
    if display is not None:
        entries[0][1].append('"DisplayName"=' + display)
    entries[0][1].append('"Publisher"="Orvane"')
    if installpath is not False:
        entries.append((FIREWALL, ['"Installpath"=' + installpath, '"Version"="3.03"']))
    else:
        entries.append((FIREWALL, ['"Version"="3.03"']))
    return entries


def write_reg(path, entries, regedit4=False):
    lines = ['REGEDIT4' if regedit4 else 'Windows Registry Editor Version 5.00', '']
    for key, values in entries:
        lines.append('[' + key + ']')
        for v in values:
            # Long hex lines are continued the way regedit wraps them.
            while len(v) > 78 and ',' in v[60:]:
                cut = v.index(',', 60) + 1
                lines.append(v[:cut] + '\\')
                v = '  ' + v[cut:]
            lines.append(v)
        lines.append('')
    text = '\r\n'.join(lines) + '\r\n'
    with open(path, 'wb') as f:
        if regedit4:
            f.write(text.encode('cp1252'))
        else:
            f.write(b'\xff\xfe' + text.encode('utf-16-le'))


def toml_string(text):
    return "'" + text + "'" if "'" not in text else '"' + text.replace('\\', '\\\\') + '"'


def write_toml(path, s):
    out = ['description = ' + toml_string(s['description'])]
    out.append('windows = ' + toml_string(s.get('windows', 'winxp')))
    if s.get('sim_only'):
        out.append('simulated_only = true  # no real PE file carries such a block')
    if 'folder' in s:
        out.append('program_folder = ' + toml_string(s['folder']))
    if s.get('answers'):
        out.append('answers = [' + ', '.join(toml_string(a) for a in s['answers']) + ']')
    if 'installers' in s:
        out.append('')
        out.append('[installers]')
        for name, setting in s['installers']:
            out.append(toml_string(name) + ' = ' + setting)
    if s.get('security'):
        out.append('')
        out.append('[security]')
        for k, v in s['security'].items():
            out.append('%s = %s' % (k, v))
    for f in s.get('files', [{'path': TRK, 'version': '3.3.1000.0'}]):
        out.append('')
        out.append('[[files]]')
        for k, v in f.items():
            out.append('%s = %s' % (k, toml_string(v) if isinstance(v, str) else v))
    e = s['expect']
    out.append('')
    out.append('[expect]')
    out.append('exit_code = %d' % e['exit'])
    out.append('boxes = [' + ', '.join(toml_string(b) for b in e['boxes']) + ']')
    out.append('started = [' + ', '.join(toml_string(c) for c in e['started']) + ']')
    out.append('restart = ' + ('true' if e.get('restart') else 'false'))
    with open(path, 'w', encoding='utf-8') as f:
        f.write('\n'.join(out) + '\n')


APPLIES = {'exit': 3010, 'boxes': [REBOOT], 'started': [FIRST, SECOND]}
NOT_APPLICABLE = {'exit': 1642, 'boxes': [WARNING], 'started': []}
NOTICE_THEN_WARNING = {'exit': 1642, 'boxes': [NOTICE, WARNING], 'started': []}


def trk(version='3.3.1000.0', **extra):
    f = {'path': TRK, 'version': version}
    f.update(extra)
    return f


SCENARIOS = {
    'applies': dict(description='Windows XP SP3, firewall 3.03, trk.exe 3.3.1000.0: the fix applies; restart declined',
                    answers=['no'], expect=APPLIES),
    'applies-restart-yes': dict(description='The fix applies; the user accepts the restart',
                                answers=['yes'], expect=dict(APPLIES, exit=1641, restart=True)),
    'applies-restart-enter': dict(description='The fix applies; Enter at the restart question means No',
                                  answers=['enter'], expect=APPLIES),
    'applies-restart-refused': dict(description='The user accepts the restart but Windows refuses it',
                                    answers=['yes'], security={'refuse_restart': 'true'},
                                    expect=dict(APPLIES, restart=True)),
    'applies-winxp64': dict(description='Windows XP x64 (NT 5.2) counts as Windows XP', windows='winxp64',
                            answers=['no'], expect=APPLIES),
    'applies-win2003': dict(description='Windows Server 2003 (NT 5.2) counts as Windows XP', windows='win2003',
                            answers=['no'], expect=APPLIES),
    'applies-folder-with-blanks': dict(description='Program folder with blanks: exact unquoted command lines',
                                       folder='C:\\hf test\\app', answers=['no'],
                                       expect=dict(APPLIES, started=['C:\\hf test\\app\\40517.exe',
                                                                     'C:\\hf test\\app\\40517-2.exe'])),
    'applies-slow-installers': dict(description='Installers that run for a while are waited for',
                                    answers=['no'],
                                    installers=[('40517.exe', '{ runs_for = 5 }'),
                                                ('40517-2.exe', '{ runs_for = 3, held_open = true }')],
                                    expect=APPLIES),
    'applies-displayname-empty': dict(description='DisplayName empty but stored with its NUL: installed',
                                      reg=default_entries(display='""'), answers=['no'], expect=APPLIES),
    'applies-displayname-dword': dict(description='DisplayName REG_DWORD 0: installed',
                                      reg=default_entries(display='dword:00000000'), answers=['no'],
                                      expect=APPLIES),
    'applies-installpath-nul-inside': dict(description='Installpath with a NUL inside: read up to the NUL',
                                           reg=default_entries(installpath='hex(1):' + utf16_hex(FW_DIR + '\0junk')),
                                           answers=['no'], expect=APPLIES),
    'applies-regedit4': dict(description='A REGEDIT4 (ANSI) export with an accented install path',
                             reg=default_entries(installpath=reg_string('C:\\Programmi\\Orvane\u00e8\\')),
                             regedit4=True, answers=['no'],
                             files=[trk(path='C:\\Programmi\\Orvane\u00e8\\trk.exe')], expect=APPLIES),
    'no-firewall': dict(description='Nothing of the firewall in the registry', reg=[], expect=NOT_APPLICABLE),
    'no-displayname': dict(description='Uninstall entry without DisplayName',
                           reg=default_entries(display=None), expect=NOT_APPLICABLE),
    'displayname-blank-no-nul': dict(description='DisplayName of blanks stored without its NUL',
                                     reg=default_entries(display='hex(1):20,00,20,00'), expect=NOT_APPLICABLE),
    'displayname-expand-sz': dict(description='DisplayName stored as REG_EXPAND_SZ',
                                  reg=default_entries(display='hex(2):' + utf16_hex('Orvane Firewall v3.03')),
                                  expect=NOT_APPLICABLE),
    'displayname-binary': dict(description='DisplayName stored as REG_BINARY',
                               reg=default_entries(display='hex:4f,00,72,00'), expect=NOT_APPLICABLE),
    'displayname-dword-8-bytes': dict(description='DisplayName REG_DWORD with 8 bytes of data',
                                      reg=default_entries(display='hex(4):01,00,00,00,00,00,00,00'),
                                      expect=NOT_APPLICABLE),
    'installpath-missing': dict(description='Firewall key without Installpath',
                                reg=default_entries(installpath=False), expect=NOTICE_THEN_WARNING),
    'installpath-no-backslash': dict(description='Installpath without its trailing backslash',
                                     reg=default_entries(installpath=reg_string(FW_DIR.rstrip('\\'))),
                                     expect=NOTICE_THEN_WARNING),
    'installpath-expand-sz': dict(description='Installpath stored as REG_EXPAND_SZ reads as missing',
                                  reg=default_entries(installpath='hex(2):' + utf16_hex(FW_DIR)),
                                  expect=NOTICE_THEN_WARNING),
    'installpath-sentinel-text': dict(description="Installpath holding the reader's own absence text",
                                      reg=default_entries(installpath=reg_string("No! Value or Key Doesn't exist")),
                                      expect=NOTICE_THEN_WARNING),
    'version-3.3.1000.1': dict(description='trk.exe 3.3.1000.1', files=[trk('3.3.1000.1')], expect=NOT_APPLICABLE),
    'version-3.3.1001.0': dict(description='trk.exe 3.3.1001.0', files=[trk('3.3.1001.0')], expect=NOT_APPLICABLE),
    'version-3.30.1000.0': dict(description='trk.exe 3.30.1000.0', files=[trk('3.30.1000.0')], expect=NOT_APPLICABLE),
    'version-negative-part': dict(description='trk.exe 65535.0.0.0 prints as -1.0.0.0',
                                  files=[trk('65535.0.0.0')], expect=NOT_APPLICABLE),
    'version-driver-flags': dict(description='A printer driver with every flag: the report shows them all',
                                 files=[trk('3.3.1000.1', flags=0x3F, type=3, subtype=1)], expect=NOT_APPLICABLE),
    'version-font-unknown-os': dict(description='A TrueType font for an unknown OS value',
                                    files=[trk('3.3.1000.1', os=4, type=4, subtype=3)], expect=NOT_APPLICABLE),
    'version-type-6': dict(description='File type 6 reads as Unknown', files=[trk('3.3.1000.1', type=6)],
                           expect=NOT_APPLICABLE),
    'trk-no-version-resource': dict(description='trk.exe without version information',
                                    files=[{'path': TRK}], expect=NOTICE_THEN_WARNING),
    'trk-missing': dict(description='No trk.exe in the install folder', files=[], expect=NOTICE_THEN_WARNING),
    'trk-truncated-block': dict(description='A version block shorter than its record', sim_only=True,
                                files=[trk(value_length=40)], expect=NOTICE_THEN_WARNING),
    'win2k': dict(description='Windows 2000', windows='win2k', expect=NOT_APPLICABLE),
    'win7': dict(description='Windows 7 (NT 6.1): an empty name', windows='win7', expect=NOT_APPLICABLE),
    'nt40': dict(description='Windows NT 4.0', windows='nt40', expect=NOT_APPLICABLE),
    'win98': dict(description='Windows 98', windows='win98', expect=NOT_APPLICABLE),
    'winme': dict(description='Windows Millennium', windows='winme', expect=NOT_APPLICABLE),
    'first-installer-missing': dict(description='40517.exe absent from the program folder',
                                    installers=[('40517.exe', 'false'), ('40517-2.exe', '{ runs_for = 0 }')],
                                    expect={'exit': 1603, 'boxes': [NOTICE], 'started': []}),
    'second-installer-missing': dict(description='40517-2.exe absent from the program folder',
                                     installers=[('40517.exe', '{ runs_for = 0 }'), ('40517-2.exe', 'false')],
                                     expect={'exit': 1603, 'boxes': [NOTICE], 'started': [FIRST]}),
}


def main(root):
    for name, s in SCENARIOS.items():
        d = os.path.join(root, name)
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
        reg = s.get('reg', default_entries())
        write_reg(os.path.join(d, 'machine.reg'), reg, s.get('regedit4', False))
        write_toml(os.path.join(d, 'scenario.toml'), s)
    print('%d scenarios written to %s' % (len(SCENARIOS), root))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'scenarios'))
