#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into OUT/<target>/.

Seeds come from the default data files (data/) and from the texts the tests
use: the command lines and program lines of their tables, and the replies of
the simulated controllers as the protocol tests expect them.

usage: seeds.py OUT
"""
import hashlib
import os
import re
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
TESTS = os.path.join(ROOT, "tests")

KEYWORDS = ("F", "B", "Joy", "Delay", "Wait", "CON", "!", "Show", "Hide", "Unload",
            "CommandCount", "Ver", "Repeat", "Endrepeat", "Stop", "End", "Call")


def data_file(name):
    with open(os.path.join(DATA, name), "rb") as f:
        return f.read()


def test_literals():
    """Every C++ string literal of the tests, unescaped as far as is simple."""
    out = []
    for d, _, files in os.walk(TESTS):
        for name in files:
            if not name.endswith(".cpp"):
                continue
            with open(os.path.join(d, name), encoding="utf-8", errors="replace") as f:
                text = f.read()
            for m in re.finditer(r'"((?:[^"\\\n]|\\.)*)"', text):
                s = m.group(1)
                s = s.replace("\\r", "\r").replace("\\n", "\n").replace('\\"', '"').replace("\\\\", "\\")
                out.append(s)
    return out


def command_lines(literals):
    lines = set()
    for s in literals:
        first = s.strip().split(" ")[0].split(";")[0] if s.strip() else ""
        if first in KEYWORDS and "\n" not in s and len(s) < 200:
            lines.add(s)
    return sorted(lines)


def write(out, target, seeds):
    d = os.path.join(out, target)
    os.makedirs(d, exist_ok=True)
    for s in seeds:
        if isinstance(s, str):
            s = s.encode("latin-1", errors="replace")
        name = hashlib.sha1(s).hexdigest()
        with open(os.path.join(d, name), "wb") as f:
            f.write(s)


def js_event(time, value, type_, number):
    return struct.pack("<IhBB", time, value, type_, number)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    literals = test_literals()
    commands = command_lines(literals)
    par_files = [data_file(n) for n in sorted(os.listdir(DATA)) if n.startswith("ZR_")]
    program = data_file("SAMPLE.PRG")

    write(out, "parfile", par_files + [
        b'"KEY",1e300\r\n"K2", -.5 ,remark\n"",x\n"Q"\n',
        b'"A",1\n"A",2\n  "B" ,  text , more\r\n"C",1E-7\n',
    ])
    write(out, "textfile", [program, data_file("ZR_JOYCMDS.TXT"),
                            b'"quoted, field",plain , "open\nRepeat 2 Times\nEndrepeat\n',
                            b"Endrepeat\nRepeat x Times\n  F 1\n"])
    progs = [program,
             b"Repeat 2 Times\nRepeat 2 Times\nVer\nEndrepeat\nEndrepeat\nEnd\n",
             b"Repeat 3 Times : Rep.# 1\nF Next;F Wait\nEndrepeat\nStop\nCall x\n",
             b"Ver\nDelay 100\nJoy WZ\nCON AZ\nB ??\n! message\nUnload\nF 1\n"]
    progs += ["\n".join(commands[i:i + 6]).encode("latin-1", "replace") for i in range(0, len(commands), 6)]
    write(out, "program", [p if p[:1] else b"\n" + p for p in progs])
    write(out, "commands", commands + ["F 3;F Wait;F ??", "B Home;B ?", "CON /1?0", "Delay RED;F SLOW",
                                       "Joy On;Joy ToggleAxes", "Unload;F 2", "Wait", "F 1;;B 2"])

    rs = "\x1e"
    ez_ready = "\xff/0`"   # start, "/0", ready status 0x60
    write(out, "replies", [
        # IM483I: echo and value, line feed.
        "Izm3wgf" + rs + "AZ 1067\n" + rs + "A+251\n" + rs + "A^ 0\n" + rs + "A^ 0\n" + rs + "AZ 0\n"
        + rs + "A+1067\n" + rs + "AZ 1067\n",
        "IH" + rs + "AF 500 1\n" + rs + "A^ 0\n" + rs + "A] 1 1\n" + rs + "AM-125\n" + rs + "A] 1 0\n"
        + rs + "AM0\n" + rs + "AE 50\n" + rs + "AO\n",
        "ICp" + rs + "AH 0\n" + rs + "AD 4\n" + rs + "sAY 5 25\n" + rs + "tAV 2000\n" + rs + "az 0\n"
        + rs + "## 0\n" + rs + "AZ?\n" + rs + "hAZ 0",
        # EZHR17: 0xFF "/0" status data 0x03 CR LF.
        "Ezmwgf" + rs + ez_ready + "1000\x03\r\n" + rs + ez_ready + "\x03\r\n" + rs + ez_ready + "\x03\r\n"
        + rs + ez_ready + "0\x03\r\n" + rs + "s" + ez_ready + "\x03\r\n" + rs + ez_ready + "533\x03\r\n",
        "EH" + rs + ez_ready + "\x03\r\n" + rs + ez_ready + "\x03\r\n" + rs + "\xff/0@\x03\r\n"
        + rs + ez_ready + "\x03\r\n" + rs + ez_ready + "\x03\r\n" + rs + ez_ready + "0\x03\r\n",
        "Epc1l" + rs + ez_ready + "\x03\r\n" + rs + "\xff#?`0\x03\r\n" + rs + "\xff/0i0\x03\r\n"
        + rs + "t" + rs + "e" + ez_ready + "\x03" + rs + "h",
    ])

    init = b"".join(js_event(0, v, 0x82, n) for n, v in ((0, 0), (1, 0))) + js_event(0, 0, 0x81, 0)
    write(out, "joystick", [
        init,
        init + js_event(10, 32767, 2, 0) + js_event(20, 0, 2, 0) + js_event(30, -32767, 2, 0),
        js_event(1, 1, 1, 0) + js_event(2, 0, 1, 0) + js_event(3, 1, 1, 3) + js_event(4, 1, 1, 31),
        js_event(5, -20000, 2, 1) + js_event(6, 12000, 2, 0) + js_event(7, 1, 1, 7) + b"\x01\x02\x03",
    ])

    write(out, "dbus", [
        "\x00Exec\x00F 3;F Wait;F ??", "\x00ExecReplies\x00Ver;B ?", "\x01Execute\x00F Home",
        "\x00Create\x00", "\x02Release\x00", "\x10Get\x00org.norvantix.NorvantixCmd\x00NorvantixCmd", "\x11GetAll\x00", "\x08Release\x00",
        "\x4aExecReplies\x00F Home;F Wait\x00extra", "\x00Exec\x03F 1\x1fB 2",
        "\x03Exec\x00" + "\xff\xfe invalid utf-8 \x00 NUL", "\x00Exec\x01" + "42",
    ] + ["\x00Exec\x00" + c for c in commands[:40]])


if __name__ == "__main__":
    main()
