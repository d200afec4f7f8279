#!/usr/bin/env python3
"""Checks that kvr.exe imports only Known DLLs.

The Windows loader resolves a DLL a program imports before the program runs
a single line, and for a DLL that is not a Known DLL it looks in the
program's own folder first (Microsoft Learn, "Dynamic-link library search
order": https://learn.microsoft.com/en-us/windows/win32/dlls/dynamic-link-library-search-order).
A player starts the downloaded program from the Downloads folder, where any
web page can save a DLL; the program runs as administrator. So its import
table (`objdump -p`, as tools/xp_imports.py reads it) may name only:

  * a DLL that is a Known DLL on every system the program runs on, Windows XP
    SP3 to 11: the intersection of the lists below;
  * comctl32.dll, when the program's manifest asks for the common controls:
    the loader takes them from the side-by-side store (WinSxS) before it
    searches anything.

Every other system library is loaded on first use by its full path
(cmake/delay_load.cmake); those loads are listed, not judged.

The lists (HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs,
lower case; "kernel32" stands for the entry Windows 10 names "*kernel32"):

  Windows XP SP3: the registry list of XP, and the DLLs they import, which
    XP's session manager maps into \\KnownDlls as well (apphelp, comctl32,
    crypt32, cryptui, mpr, msasn1, msvcrt, netapi32, shdocvw, shlwapi,
    userenv, wintrust, wow32), as recorded from the registry and WinObj in
    DynamoRIO's suite/tests/win32/aslr-dll.c (commit 8d20480f2f6a,
    https://github.com/DynamoRIO/dynamorio/blob/8d20480f2f6ad7ce9fa55886123a4427725879b2/suite/tests/win32/aslr-dll.c).
  Windows Vista and 7: the registry list of a Windows 7 x64 machine, read
    through WOW64, in tq5124/autorunForWindow py/output/knownDlls.js (commit
    7ddf5913339d,
    https://github.com/tq5124/autorunForWindow/blob/7ddf5913339dbaeb8489381865886b2c2d10b7ee/py/output/knownDlls.js).
  Windows 8 and 8.1, and Vista: no list was found. Every name allowed below
    is on both the Windows 7 and the Windows 10 list, the systems either side
    of 8, and on XP's, the system before Vista.
  Windows 10 and 11: the registry list of a recent Windows x64 machine (it
    names xtajit64, Windows 11's x64 emulation), which is also the list a
    public script attributes to https://bbs.kanxue.com/thread-254086.htm for
    Windows 10, less wow64base, wow64con and xtajit64.

Their intersection: advapi32, comdlg32, gdi32, imagehlp, kernel32, msvcrt (the
C runtime MinGW-w64 links), ole32, oleaut32, rpcrt4, shell32, shlwapi, user32,
wldap32. Neither version.dll (not on 7's list or 10's) nor wininet or urlmon
(gone from 10's) nor gdiplus (only on 10's) is among them.
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "release"))
import pe_info  # noqa: E402
from xp_imports import read_imports  # noqa: E402

KNOWN_DLLS = {
    "Windows XP SP3": {
        "advapi32", "comdlg32", "gdi32", "imagehlp", "kernel32", "lz32", "ole32", "oleaut32", "olecli32",
        "olecnv32", "olesvr32", "olethk32", "rpcrt4", "shell32", "url", "urlmon", "user32", "version",
        "wininet", "wldap32",
        # imported by those, so in \KnownDlls too
        "apphelp", "comctl32", "crypt32", "cryptui", "mpr", "msasn1", "msvcrt", "netapi32", "shdocvw",
        "shlwapi", "userenv", "wintrust", "wow32",
    },
    "Windows 7": {
        "advapi32", "clbcatq", "comdlg32", "difxapi", "gdi32", "iertutil", "imagehlp", "imm32", "kernel32",
        "lpk", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost",
        "setupapi", "shell32", "shlwapi", "urlmon", "user32", "usp10", "wininet", "wldap32", "ws2_32",
    },
    "Windows 10 and 11": {
        "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp",
        "imm32", "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4",
        "sechost", "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32",
        "wow64", "wow64base", "wow64con", "wow64cpu", "wow64win", "wowarmhw", "xtajit", "xtajit64",
    },
}
ALLOWED = {name + ".dll" for name in set.intersection(*KNOWN_DLLS.values())}
COMMON_CONTROLS = "Microsoft.Windows.Common-Controls"
RT_MANIFEST = 24


def check(exe, objdump):
    """The faults of one program, printing what it imports."""
    imports, _ = read_imports(objdump, exe)
    pe = pe_info.PeFile(exe)
    manifest = pe.resource(RT_MANIFEST) or b""
    allowed = set(ALLOWED)
    if COMMON_CONTROLS.encode("ascii") in manifest:
        allowed.add("comctl32.dll")
    faults = []
    for dll in sorted(imports):
        known = dll in allowed
        print("%s: imports %s%s" % (os.path.basename(exe), dll, "" if known else "  NOT A KNOWN DLL"))
        if not known:
            faults.append(dll)
    for dll, names in sorted(pe.delay_imports().items()):
        print("%s: loads on first use %s (%d functions)" % (os.path.basename(exe), dll, len(names)))
    return faults


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("exe", nargs="+", help="program:objdump, or program (x86_64-w64-mingw32-objdump)")
    args = ap.parse_args()
    faults, checked = [], 0
    for spec in args.exe:
        exe, _, objdump = spec.partition(":")
        if not os.path.isfile(exe):
            if os.environ.get("KVR_SKIP_I686") and "i686" in exe:
                print("%s not built (KVR_SKIP_I686)" % exe)
                continue
            sys.exit("known_dll_imports: %s does not exist" % exe)
        faults += ["%s: %s" % (exe, dll) for dll in check(exe, objdump or "x86_64-w64-mingw32-objdump")]
        checked += 1
    for fault in faults:
        print("NOT A KNOWN DLL ON EVERY SYSTEM:", fault)
    print("known_dll_imports: %d programs, %d imports of other DLLs" % (checked, len(faults)))
    return 1 if faults else (0 if checked else 77)


if __name__ == "__main__":
    sys.exit(main())
