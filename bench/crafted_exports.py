#!/usr/bin/env python3
"""The two crafted exports that once stalled the simulator, written again:
a key line 40 KB long with 20,000 levels, and 40,000 values under one key.

  crafted_exports.py DIR   (writes DIR/deep-key.reg and DIR/many-values.reg)
"""
import os
import sys

out = sys.argv[1]
header = "Windows Registry Editor Version 5.00\r\n\r\n"
deep = header + "[HKEY_LOCAL_MACHINE\\" + "\\".join(["a"] * 20000) + "]\r\n@=\"deep\"\r\n"
many = header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Many]\r\n" + "".join(
    '"%d"=""\r\n' % i for i in range(40000))
for name, text in (("deep-key.reg", deep), ("many-values.reg", many)):
    with open(os.path.join(out, name), "wb") as f:
        f.write(text.encode("utf-8"))
