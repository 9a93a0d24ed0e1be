#!/usr/bin/env python3
"""A share of N machines' logs, as /log:\\\\server\\share\\%COMPUTERNAME%.log
leaves them: mostly finished runs, some still running, a few foreign files.

  fleet_logs.py DIR N
"""
import os
import sys

out, count = sys.argv[1], int(sys.argv[2])
os.makedirs(out, exist_ok=True)
results = [
    ("check", "applies", "checks-passed", "Windows XP", "3.3.1000.0", "0"),
    ("check", "not-applicable", "trk-version", "Windows XP", "3.3.900.0", "1642"),
    ("install", "installed", "restart-requested", "Windows XP", "3.3.1000.0", "1641"),
    ("install", "failed", "installer-failed", "Windows XP", "3.3.1000.0", "1603"),
]
for i in range(count):
    stamp = "2026-12-%02d 09:%02d:%02d.%03d  " % (1 + i % 28, i % 60, (i // 60) % 60, i % 1000)
    name = "PC%05d" % i
    if i % 97 == 0:
        data = b"MZ\x90\x00" + os.urandom(64)
    else:
        mode, verdict, reason, windows, version, status = results[i % len(results)]
        lines = ["Hotfix.exe 1.00 (CR40517) started on %s by Administrator, mode %s" % (name, mode),
                 "Command line: \"\\\\server\\hotfix\\Hotfix.exe\" /%s /quiet" % mode,
                 "Report: File version: %s" % version,
                 "Windows: \"%s\" (version 5.1, build 2600)" % windows]
        if i % 50 != 1:
            lines.append("Result: verdict=%s; reason=%s; windows=%s; trk_version=%s; exit_status=%s"
                         % (verdict, reason, windows, version, status))
        data = ("\ufeff" + "".join(stamp + line + "\r\n" for line in lines)).encode("utf-8")
    with open(os.path.join(out, name + ".log"), "wb") as f:
        f.write(data)
