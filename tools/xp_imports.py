#!/usr/bin/env python3
"""Checks that Windows XP SP3 can load the 32-bit kvr.exe.

XP's loader refuses to start a program that imports a function its DLLs do
not export, or whose subsystem version is above its own (5.01). This lists the
program's imports (`objdump -p`, binutils-mingw-w64-i686) and fails on:

  * a DLL that is not one of the XP SP3 system DLLs below;
  * a Win32 function that is newer than XP, where "newer" comes from two
    sources:
      1. the MinGW-w64 headers' own version guards, measured now: the headers
         under /usr/share/mingw-w64/include are preprocessed once for XP SP3
         (_WIN32_WINNT and WINVER 0x0501, NTDDI_VERSION 0x05010300,
         _WIN32_IE 0x0603) and once for Windows 10 (0x0A00); a function
         declared only in the second pass is newer than XP. This is how
         GetTickCount64 (guarded by `_WIN32_WINNT >= 0x0600`) is found;
      2. UNGUARDED below: functions those headers declare for every version
         although XP lacks them, each with the Microsoft Learn page whose
         Requirements table says so (GetThreadId is declared unguarded);
  * a msvcrt.dll function that is not in MSVCRT_XP below. The C runtime's
    headers carry no version guards, and XP's msvcrt.dll lacks what
    later systems added to it (every secure `_s` function, the `_l` locale
    forms, ...). So the other way round: every msvcrt.dll function the
    program may import is listed, each checked against the table of
    msvcrt.dll exports by Windows version in the MinGW-w64 sources
    (mingw-w64-crt/lib-common/msvcrt.def.in, commit 007cfa004b46: the
    sections up to "added in Windows XP", plus _get_heap_handle, which it
    notes XP SP3 has). A new import fails until someone looks it up there.
  * an import by ordinal (nothing here can tell what it is).

The functions the program loads on first use (its delay-load descriptors,
cmake/delay_load.cmake) are checked the same way.

Why not compare every import against the exports of XP's own DLLs: no XP
installation or export list can be had reproducibly here; Wine's DLLs export
what later systems have. The header guards are the part that is derived
mechanically; the two lists cover what the headers do not say.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "release"))
import pe_info  # noqa: E402

# System DLLs of Windows XP SP3 the program may import from (lower case).
XP_DLLS = {
    "advapi32.dll", "comctl32.dll", "crypt32.dll", "gdi32.dll", "gdiplus.dll", "imm32.dll",
    "kernel32.dll", "msimg32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "shlwapi.dll", "urlmon.dll", "user32.dll", "version.dll",
    "wininet.dll", "winmm.dll",
}

# Headers that declare the functions of those DLLs.
HEADERS = [
    "windows.h", "commctrl.h", "shellapi.h", "shlobj.h", "shlwapi.h",
    "wininet.h", "urlmon.h", "mmsystem.h", "wincrypt.h", "imm.h", "winver.h",
    "tlhelp32.h", "gdiplus.h",
]

XP_DEFINES = ["-D_WIN32_WINNT=0x0501", "-DWINVER=0x0501", "-DNTDDI_VERSION=0x05010300",
              "-D_WIN32_IE=0x0603", "-DGDIPVER=0x0100"]
NEWER_DEFINES = ["-D_WIN32_WINNT=0x0A00", "-DWINVER=0x0A00", "-D_WIN32_IE=0x0A00",
                 "-DGDIPVER=0x0110"]

LEARN = "https://learn.microsoft.com/en-us/windows/win32/api/"
# Declared by the MinGW-w64 10 headers for every version although XP lacks
# them: the Requirements table of each page names Vista (and Server 2003 or
# XP x64) as the oldest system. Found by preprocessing the headers as above
# and looking up the functions of the same families they declare for XP too.
UNGUARDED = {
    "GetThreadId": LEARN + "processthreadsapi/nf-processthreadsapi-getthreadid",
    "GetCurrentProcessorNumber": LEARN + "processthreadsapi/nf-processthreadsapi-getcurrentprocessornumber",
    "SetThreadStackGuarantee": LEARN + "processthreadsapi/nf-processthreadsapi-setthreadstackguarantee",
    "Wow64DisableWow64FsRedirection": LEARN + "wow64apiset/nf-wow64apiset-wow64disablewow64fsredirection",
    "Wow64RevertWow64FsRedirection": LEARN + "wow64apiset/nf-wow64apiset-wow64revertwow64fsredirection",
    "RegGetValueA": LEARN + "winreg/nf-winreg-reggetvaluea",
    "RegGetValueW": LEARN + "winreg/nf-winreg-reggetvaluew",
}

# msvcrt.dll functions in XP SP3 (see the header of this file for the source).
MSVCRT_XP = {
    "__getmainargs", "__wgetmainargs", "__initenv", "__winitenv", "__mb_cur_max",
    "__p__commode", "__p__fmode", "__p__wcmdln", "__p__acmdln", "__set_app_type",
    "__setusermatherr", "__dllonexit", "__lconv_init",
    "_amsg_exit", "_beginthreadex", "_endthreadex", "_cexit", "_errno", "_initterm",
    "_iob", "_onexit", "_setjmp3", "longjmp", "_lock", "_unlock",
    "_mktime64", "_localtime64", "_gmtime64", "_time64",
    "_ultoa", "_wcsnicmp", "_wcsicmp", "_wfopen", "_strdup", "_read", "_close",
    "_write", "_open", "_lseek", "_fileno", "_isatty", "_setmode", "_get_osfhandle",
    "_vsnwprintf", "_vsnprintf", "_snwprintf", "_snprintf", "_fstat64", "_wstat64",
    "abort", "atoi", "calloc", "exit", "fclose", "fflush", "fopen", "fprintf",
    "fputc", "fputs", "fputwc", "free", "fwprintf", "fwrite", "localeconv",
    "malloc", "memchr", "memcmp", "memcpy", "memmove", "memset", "printf",
    "rand", "srand", "realloc", "setlocale", "signal", "strchr", "strcmp",
    "strerror", "strlen", "strncmp", "strcoll", "strftime", "strtol", "strtoul",
    "towlower", "towupper", "vfprintf", "wcscat", "wcschr", "wcscmp", "wcscpy",
    "wcslen", "wcsncmp", "wcsncpy", "wcsrchr", "wcsstr", "wcstol", "wcstoul",
    "wcscoll", "wcsftime", "mbstowcs", "wcstombs", "mbtowc", "wctomb",
    "getenv", "tolower", "toupper", "isspace", "iswspace", "time", "localtime",
    "mktime", "qsort", "bsearch", "strtod", "wcstod", "sprintf", "swprintf",
    "vsprintf", "vswprintf", "ungetc", "fgetc", "fread", "fseek", "ftell",
}

# Windows XP: subsystem version 5.01 (Microsoft Learn, "-subsystemversion",
# https://learn.microsoft.com/en-us/dotnet/visual-basic/reference/command-line-compiler/subsystemversion).
XP_SUBSYSTEM = (5, 1)


def read_imports(objdump, exe):
    """{dll (lower case): [function names, or '#ordinal']} and the subsystem version."""
    out = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    imports, dll = {}, None
    version = {}
    for line in out.splitlines():
        m = re.match(r"(Major|Minor)SubsystemVersion\s+(\d+)", line)
        if m:
            version[m.group(1)] = int(m.group(2))
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            imports.setdefault(dll, [])
            continue
        if dll is None:
            continue
        if not line.strip():
            if imports[dll]:
                dll = None
            continue
        # "\t<vma>\t<hint> <name>" for a name, "\t<vma>\t<ordinal>  <none>" for an ordinal
        m = re.match(r"\t[0-9a-f]+\t\s*(\d+)\s+(\S+)", line)
        if m:
            name = m.group(2)
            imports[dll].append(("#" + m.group(1)) if name == "<none>" else name)
    if "Major" not in version:
        sys.exit(f"xp_imports: no PE header in the output of {objdump} -p {exe}")
    return imports, (version["Major"], version.get("Minor", 0))


def declared_names(compiler, include, defines):
    """Identifiers followed by '(' in the preprocessed headers."""
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", delete=False) as tu:
        tu.write("".join(f"#include <{h}>\n" for h in HEADERS))
    try:
        run = subprocess.run([compiler, "-E", "-P", "-x", "c++", "-std=c++17", "-DUNICODE", "-D_UNICODE",
                              "-isystem", include, *defines, tu.name], capture_output=True, text=True)
    finally:
        os.unlink(tu.name)
    if run.returncode != 0:
        sys.exit(f"xp_imports: the headers did not preprocess:\n{run.stderr}")
    out = run.stdout
    return set(re.findall(r"\b([A-Za-z_]\w*)\s*\(", out))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("exe")
    ap.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    ap.add_argument("--compiler", default="i686-w64-mingw32-g++-win32")
    ap.add_argument("--include", default="/usr/share/mingw-w64/include")
    args = ap.parse_args()
    if not os.path.isfile(args.exe):
        if os.environ.get("KVR_SKIP_I686"):
            print(f"xp_imports: {args.exe} not built (KVR_SKIP_I686)")
            return 77
        sys.exit(f"xp_imports: {args.exe} does not exist")

    imports, subsystem = read_imports(args.objdump, args.exe)
    # What it loads on first use must be there on XP as well, or the first
    # call fails.
    for dll, names in pe_info.PeFile(args.exe).delay_imports().items():
        imports.setdefault(dll, []).extend(names)
    newer = (declared_names(args.compiler, args.include, NEWER_DEFINES)
             - declared_names(args.compiler, args.include, XP_DEFINES))

    faults = []
    if subsystem > XP_SUBSYSTEM:
        faults.append(f"subsystem version {subsystem[0]}.{subsystem[1]:02d} is above Windows XP's 5.01")
    count = 0
    for dll in sorted(imports):
        names = imports[dll]
        count += len(names)
        print(f"{dll}: {' '.join(sorted(names))}")
        if dll not in XP_DLLS:
            faults.append(f"{dll}: not a Windows XP SP3 system DLL this check knows")
            continue
        for name in names:
            if name.startswith("#"):
                faults.append(f"{dll}!{name}: imported by ordinal")
            elif dll == "msvcrt.dll":
                if name not in MSVCRT_XP:
                    faults.append(f"{dll}!{name}: not known to be in XP's msvcrt.dll (look it up in"
                                  " mingw-w64-crt/lib-common/msvcrt.def.in and add it to MSVCRT_XP if it is)")
            elif name in newer:
                faults.append(f"{dll}!{name}: declared by the MinGW-w64 headers only for systems after XP")
            elif name in UNGUARDED:
                faults.append(f"{dll}!{name}: newer than XP ({UNGUARDED[name]})")
    for fault in faults:
        print("NOT ON XP SP3:", fault)
    print(f"xp_imports: {count} functions from {len(imports)} DLLs, subsystem "
          f"{subsystem[0]}.{subsystem[1]:02d}; {len(faults)} that Windows XP SP3 lacks")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
