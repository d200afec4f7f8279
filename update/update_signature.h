// The maker's signature over everything the program downloads and then runs
// or installs: its own update and game-hall installers. The configuration
// page that names a file (UpdAddr) carries, as UpdSig, the base64 text of an
// RSA PKCS#1 v1.5 signature over the SHA-256 digest of the whole file, made
// with the maker's private key; the public key is built in (CMake cache
// variable KVR_UPDATE_PUBLIC_KEY). The check reads the very file that is then
// moved into place or started, held open so that nobody can change it between
// the two.
#pragma once
#include <windows.h>
#include <vector>
#include "base/owned.h"

namespace kvr {

// Characters read for UpdSig: a 4096-bit signature is 684 in base64. A value
// that does not fit is refused, never cut.
constexpr DWORD kSignatureChars = 1024;

// The maker's public key in PEM ("-----BEGIN PUBLIC KEY-----"); empty in a
// build without one, which then checks no signatures.
const char* BuiltInUpdateKey();

// Strict base64 (standard alphabet, "=" padding, nothing else, no blanks):
// false for any other text.
bool DecodeBase64(const wchar_t* text, std::vector<BYTE>* out);

// True when signatureBase64 is publicKeyPem's signature (RSA, 2048 to 4096
// bits, PKCS#1 v1.5 over SHA-256) of the whole content of file, read from
// its start. Anything malformed is false.
bool VerifyFileSignature(HANDLE file, const char* publicKeyPem, const wchar_t* signatureBase64);

// A downloaded file held open for reading without write sharing, so its
// content cannot change while it is held. One held to be started shares
// nothing but reading: it cannot be renamed or deleted either, so its path
// still names it when the process is created. One held to be moved must
// share deletion, since MoveFileEx opens it for delete on every Windows.
class HeldFile {
public:
    enum class Use { Start, Move };
    HeldFile(const wchar_t* path, Use use);
    ~HeldFile() = default;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool IsOpen() const { return static_cast<bool>(m_file); }
    HANDLE Handle() const { return m_file.get(); }
    // The built-in key's signature check; true without a built-in key.
    bool SignatureVerifies(const wchar_t* signatureBase64, const char* publicKeyPem = BuiltInUpdateKey()) const;
    // True when path, in the held file's folder, names the held file itself
    // (the same file id): after a move, that it was not exchanged on the way.
    bool IsAt(const wchar_t* path) const;
    void Close();

private:
    OwnedFile m_file;
};

// Deletes a failed download; where it cannot be deleted now (held open by
// someone), marks it for deletion at the next restart.
void DiscardDownload(const wchar_t* path);

}  // namespace kvr
