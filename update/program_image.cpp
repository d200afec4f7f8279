#include "update/program_image.h"

#include <cstring>
#include <vector>

namespace kvr {
namespace {

constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;
constexpr DWORD kMaxSections = 96;              // what the loader accepts
constexpr DWORD kMaxVersionBytes = 64 * 1024;   // a version resource is a few KiB
constexpr WORD kMaxDirectoryEntries = 4096;
constexpr DWORD kVersionType = 16;  // RT_VERSION

WORD U16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
DWORD U32(const BYTE* p) { return static_cast<DWORD>(U16(p) | static_cast<DWORD>(U16(p + 2)) << 16); }
size_t Align4(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }

// size bytes at offset of the file; false unless all of them were read.
bool ReadAt(HANDLE file, ULONGLONG offset, DWORD size, std::vector<BYTE>* out) {
    out->assign(size, 0);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
    DWORD done = 0;
    while (done < size) {
        DWORD read = 0;
        if (!::ReadFile(file, out->data() + done, size - done, &read, nullptr) || read == 0) return false;
        done += read;
    }
    return true;
}

// One block of a version resource: length, value length, type, key, value,
// children; offsets from the start of the resource, which alignment counts from.
struct Block {
    size_t end = 0;
    std::wstring key;
    size_t value = 0, valueBytes = 0;
    size_t children = 0;
};

bool ReadBlock(const BYTE* data, size_t limit, size_t at, Block* b) {
    if (at + 6 > limit) return false;
    const size_t length = U16(data + at);
    if (length < 6 || at + length > limit) return false;
    b->end = at + length;
    const WORD valueLength = U16(data + at + 2);
    const bool text = U16(data + at + 4) == 1;
    b->key.clear();
    size_t p = at + 6;
    for (; p + 2 <= b->end && U16(data + p) != 0; p += 2) b->key += static_cast<wchar_t>(U16(data + p));
    if (p + 2 > b->end) return false;  // no terminated key
    b->value = Align4(p + 2);
    if (b->value > b->end) b->value = b->end;
    // A text value counts characters, any other bytes.
    b->valueBytes = static_cast<size_t>(valueLength) * (text ? 2 : 1);
    if (b->valueBytes > b->end - b->value) b->valueBytes = b->end - b->value;
    b->children = Align4(b->value + b->valueBytes);
    if (b->children > b->end) b->children = b->end;
    return true;
}

std::wstring TextValue(const BYTE* data, const Block& b) {
    std::wstring text;
    for (size_t p = b.value; p + 2 <= b.value + b.valueBytes && U16(data + p) != 0; p += 2)
        text += static_cast<wchar_t>(U16(data + p));
    return text;
}

// Calls visit(block) for each child block of parent.
template <typename Visit>
void EachChild(const BYTE* data, const Block& parent, Visit visit) {
    Block child;
    for (size_t at = parent.children; ReadBlock(data, parent.end, at, &child); at = Align4(child.end)) visit(child);
}

// The file offset of rva through the section table; false outside every
// section's data in the file.
bool FileOffset(const std::vector<BYTE>& sections, DWORD rva, DWORD* offset) {
    for (size_t s = 0; s + 40 <= sections.size(); s += 40) {
        const BYTE* h = sections.data() + s;
        const DWORD virtualSize = U32(h + 8), address = U32(h + 12), rawSize = U32(h + 16), raw = U32(h + 20);
        const DWORD span = virtualSize > rawSize ? virtualSize : rawSize;
        if (rva >= address && rva - address < span) {
            if (rva - address >= rawSize) return false;
            *offset = raw + (rva - address);
            return true;
        }
    }
    return false;
}

// The version resource of a file whose resource directory starts at
// resources (a file offset) and spans size bytes: type 16, its first name,
// its first language.
bool ReadVersionOfFile(HANDLE file, const std::vector<BYTE>& sections, DWORD resources, DWORD size,
                       ProgramImage* image) {
    std::vector<BYTE> bytes;
    DWORD directory = 0;  // offset inside the resource directory
    for (int level = 0; level < 3; ++level) {
        if (directory > size || size - directory < 16 || !ReadAt(file, resources + directory, 16, &bytes))
            return false;
        const DWORD count = static_cast<DWORD>(U16(bytes.data() + 12)) + U16(bytes.data() + 14);
        if (count == 0 || count > kMaxDirectoryEntries || (size - directory - 16) / 8 < count) return false;
        if (!ReadAt(file, resources + directory + 16, count * 8, &bytes)) return false;
        DWORD entry = 0;
        bool found = level > 0;  // below the type, the first name and language
        for (DWORD i = 0; i < count && !found; ++i) {
            const DWORD name = U32(bytes.data() + 8 * i);
            if (name == kVersionType) {
                entry = i;
                found = true;
            }
        }
        if (!found) return false;
        const DWORD target = U32(bytes.data() + 8 * entry + 4);
        // Types and names lead to directories; the language to the data.
        if (((target & 0x80000000) != 0) != (level < 2)) return false;
        directory = target & 0x7FFFFFFF;
    }
    if (directory > size || size - directory < 16 || !ReadAt(file, resources + directory, 16, &bytes)) return false;
    const DWORD dataRva = U32(bytes.data()), dataSize = U32(bytes.data() + 4);
    DWORD dataOffset = 0;
    return dataSize <= kMaxVersionBytes && FileOffset(sections, dataRva, &dataOffset) &&
           ReadAt(file, dataOffset, dataSize, &bytes) && ReadVersionResource(bytes.data(), bytes.size(), image);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && !b.empty() && ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

}  // namespace

bool ReadVersionResource(const BYTE* data, size_t size, ProgramImage* image) {
    Block root;
    if (!data || !ReadBlock(data, size, 0, &root) || root.key != L"VS_VERSION_INFO" || root.valueBytes < 52 ||
        U32(data + root.value) != kFixedInfoSignature)
        return false;
    image->hasVersion = true;
    image->fileVersion = static_cast<ULONGLONG>(U32(data + root.value + 8)) << 32 | U32(data + root.value + 12);
    EachChild(data, root, [&](const Block& info) {
        if (info.key != L"StringFileInfo") return;
        EachChild(data, info, [&](const Block& table) {
            EachChild(data, table, [&](const Block& value) {
                std::wstring* field = value.key == L"InternalName"       ? &image->internalName
                                      : value.key == L"OriginalFilename" ? &image->originalFilename
                                      : value.key == L"ProductName"      ? &image->productName
                                                                         : nullptr;
                if (field && field->empty()) *field = TextValue(data, value);
            });
        });
    });
    return true;
}

ProgramImage ReadProgramImage(HANDLE file) {
    ProgramImage image;
    std::vector<BYTE> dos, nt, optional, sections;
    if (file == INVALID_HANDLE_VALUE || !ReadAt(file, 0, 64, &dos) || U16(dos.data()) != IMAGE_DOS_SIGNATURE)
        return image;
    const DWORD pe = U32(dos.data() + 0x3C);
    if (pe > 1024 * 1024 || !ReadAt(file, pe, 24, &nt) || U32(nt.data()) != IMAGE_NT_SIGNATURE) return image;
    const WORD machine = U16(nt.data() + 4), sectionCount = U16(nt.data() + 6);
    const WORD optionalSize = U16(nt.data() + 20), characteristics = U16(nt.data() + 22);
    if (!ReadAt(file, pe + 24, optionalSize, &optional) || optionalSize < 2 || sectionCount > kMaxSections ||
        !ReadAt(file, pe + 24 + optionalSize, sectionCount * 40u, &sections))
        return image;
    const WORD magic = U16(optional.data());
    if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return image;
    image.machine = machine;
    image.executable = (characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) && !(characteristics & IMAGE_FILE_DLL);
    // The resource directory: the third entry of the data directories.
    const size_t directories = magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? 96 : 112;
    if (optional.size() < directories + 3 * 8 || U32(optional.data() + directories - 4) < 3) return image;
    const DWORD rva = U32(optional.data() + directories + 16), size = U32(optional.data() + directories + 20);
    DWORD offset = 0;
    if (rva && FileOffset(sections, rva, &offset)) ReadVersionOfFile(file, sections, offset, size, &image);
    return image;
}

ProgramImage RunningProgramImage() {
    ProgramImage image;
    const auto* base = reinterpret_cast<const BYTE*>(::GetModuleHandleW(nullptr));
    if (!base) return image;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    image.machine = nt->FileHeader.Machine;
    image.executable = !(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (data) ReadVersionResource(static_cast<const BYTE*>(data), ::SizeofResource(nullptr, found), &image);
    return image;
}

bool NamesProgram(const ProgramImage& image, const ProgramImage& program) {
    for (const std::wstring* a : {&image.internalName, &image.originalFilename, &image.productName})
        for (const std::wstring* b : {&program.internalName, &program.originalFilename, &program.productName})
            if (SameName(*a, *b)) return true;
    return false;
}

bool IsNextVersionOf(const ProgramImage& image, const ProgramImage& running) {
    return image.executable && image.machine == running.machine && image.hasVersion && running.hasVersion &&
           NamesProgram(image, running) && image.fileVersion > running.fileVersion;
}

}  // namespace kvr
