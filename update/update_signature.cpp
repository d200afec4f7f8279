#include "update/update_signature.h"

#include <wincrypt.h>
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include "base/owned.h"
#include "base/system_library.h"
#include "update_key_config.h"

namespace kvr {
namespace {

int Base64Value(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return c - L'A';
    if (c >= L'a' && c <= L'z') return c - L'a' + 26;
    if (c >= L'0' && c <= L'9') return c - L'0' + 52;
    if (c == L'+') return 62;
    if (c == L'/') return 63;
    return -1;
}

// The DER bytes between the PEM lines of a public key.
bool PemBody(const char* pem, std::vector<BYTE>* der) {
    static const std::string kBegin = "-----BEGIN PUBLIC KEY-----", kEnd = "-----END PUBLIC KEY-----";
    const std::string text(pem);
    const size_t begin = text.find(kBegin);
    const size_t end = begin == std::string::npos ? begin : text.find(kEnd, begin);
    if (end == std::string::npos) return false;
    std::wstring body;
    for (size_t i = begin + kBegin.size(); i < end; ++i)
        if (text[i] != '\r' && text[i] != '\n') body += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    return DecodeBase64(body.c_str(), der);
}

bool HashWholeFile(HANDLE file, HCRYPTHASH hash) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    std::vector<BYTE> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) return true;
        if (!::CryptHashData(hash, buffer.data(), read, 0)) return false;
    }
}

// The CryptoAPI objects of one check, released in reverse order.
struct Crypto {
    OwnedCryptProvider prov;
    OwnedCryptKey key;
    OwnedCryptHash hash;
};

bool ImportRsaKey(const std::vector<BYTE>& der, Crypto* c) {
    CERT_PUBLIC_KEY_INFO* info = nullptr;
    DWORD infoSize = 0;
    if (!EnsureSystemLibrary(L"crypt32.dll") ||
        !::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), static_cast<DWORD>(der.size()),
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &infoSize))
        return false;
    const OwnedLocal infoMemory(info);
    const bool rsa = info->Algorithm.pszObjId && std::strcmp(info->Algorithm.pszObjId, szOID_RSA_RSA) == 0;
    // PROV_RSA_AES: the provider that knows SHA-256 (Windows XP SP3 on).
    return rsa && ::CryptAcquireContextW(c->prov.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
           ::CryptImportPublicKeyInfo(c->prov.get(), X509_ASN_ENCODING, info, c->key.put());
}

}  // namespace

const char* BuiltInUpdateKey() { return KVR_CFG_UPDATE_PUBLIC_KEY; }

bool DecodeBase64(const wchar_t* text, std::vector<BYTE>* out) {
    out->clear();
    if (!text) return false;
    const size_t n = std::wcslen(text);
    if (n == 0 || n % 4 != 0) return false;
    const size_t padding = text[n - 1] != L'=' ? 0 : text[n - 2] != L'=' ? 1 : 2;
    unsigned long bits = 0;
    for (size_t i = 0; i < n - padding; ++i) {
        const int v = Base64Value(text[i]);
        if (v < 0) return false;
        bits = (bits << 6) | static_cast<unsigned long>(v);
        if (i % 4 == 3) {
            out->push_back(static_cast<BYTE>(bits >> 16));
            out->push_back(static_cast<BYTE>(bits >> 8));
            out->push_back(static_cast<BYTE>(bits));
            bits = 0;
        }
    }
    // The last group: one or two bytes, and the bits past them must be 0.
    if (padding == 2) {
        if (bits & 0x0F) return false;
        out->push_back(static_cast<BYTE>(bits >> 4));
    } else if (padding == 1) {
        if (bits & 0x03) return false;
        out->push_back(static_cast<BYTE>(bits >> 10));
        out->push_back(static_cast<BYTE>(bits >> 2));
    }
    return true;
}

bool VerifyFileSignature(HANDLE file, const char* publicKeyPem, const wchar_t* signatureBase64) {
    std::vector<BYTE> der, signature;
    if (file == INVALID_HANDLE_VALUE || !publicKeyPem || !PemBody(publicKeyPem, &der) ||
        !DecodeBase64(signatureBase64, &signature))
        return false;
    Crypto c;
    if (!ImportRsaKey(der, &c)) return false;
    DWORD bits = 0, size = sizeof bits;
    if (!::CryptGetKeyParam(c.key.get(), KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &size, 0) || bits < 2048 ||
        bits > 4096 || signature.size() != bits / 8)
        return false;
    if (!::CryptCreateHash(c.prov.get(), CALG_SHA_256, 0, 0, c.hash.put()) || !HashWholeFile(file, c.hash.get()))
        return false;
    // CryptoAPI reads the signature as a little-endian number: the reverse
    // of the byte order PKCS#1 (and openssl) write.
    std::reverse(signature.begin(), signature.end());
    return ::CryptVerifySignatureW(c.hash.get(), signature.data(), static_cast<DWORD>(signature.size()), c.key.get(),
                                   nullptr, 0) != FALSE;
}

HeldFile::HeldFile(const wchar_t* path, Use use) {
    if (!path) return;
    const DWORD share = FILE_SHARE_READ | (use == Use::Move ? FILE_SHARE_DELETE : 0);
    m_file.reset(::CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool HeldFile::SignatureVerifies(const wchar_t* signatureBase64, const char* publicKeyPem) const {
    if (!IsOpen()) return false;
    if (!publicKeyPem || !*publicKeyPem) return true;  // a build without a key
    return VerifyFileSignature(m_file.get(), publicKeyPem, signatureBase64);
}

bool HeldFile::IsAt(const wchar_t* path) const {
    if (!IsOpen() || !path) return false;
    const OwnedFile other(::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!other) return false;
    // The file id is unique within a volume; the moves this serves stay in
    // one folder. (Wine can report 0 as the volume serial of an open file
    // that was renamed, so the serial is not compared.)
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return ::GetFileInformationByHandle(m_file.get(), &a) && ::GetFileInformationByHandle(other.get(), &b) &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

void HeldFile::Close() { m_file.reset(); }

void DiscardDownload(const wchar_t* path) {
    if (!path || !*path) return;
    if (!::DeleteFileW(path) && ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        ::MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace kvr
