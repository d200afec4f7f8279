// What a Windows program file says about itself, read from its own bytes:
// the machine it was built for and its version resource (file version and
// names). An update is swapped in, and a game-hall installer started, only
// after this was read from the very file that is then moved or run.
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

struct ProgramImage {
    bool executable = false;  // a PE image of a program (not a library)
    WORD machine = 0;         // IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64, ...
    bool hasVersion = false;  // a version resource with its fixed part
    ULONGLONG fileVersion = 0;  // dwFileVersionMS << 32 | dwFileVersionLS
    // From its string tables (the first table that has the value).
    std::wstring internalName, originalFilename, productName;
};

// Reads the image from file, held open by the caller, from its start.
ProgramImage ReadProgramImage(HANDLE file);
// The running program's own image, from memory.
ProgramImage RunningProgramImage();

// Reads a version resource (VS_VERSIONINFO) of size bytes into image; false
// when it is malformed.
bool ReadVersionResource(const BYTE* data, size_t size, ProgramImage* image);

// The image names the program: one of its internal name, original file name
// or product name is program's (letter case ignored).
bool NamesProgram(const ProgramImage& image, const ProgramImage& program);

// The image may replace the running program: a program of its machine whose
// version resource names it with a newer file version.
bool IsNextVersionOf(const ProgramImage& image, const ProgramImage& running);

}  // namespace kvr
