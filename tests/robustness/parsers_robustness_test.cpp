// Every text that reaches the program from outside (command line, web pages,
// other processes, INI and registry values, server answers) goes through one
// of these parsers. Each gets 10,000 random inputs made of the characters that
// matter to it; every input ends exactly at an inaccessible page, so reading
// past its terminator is a crash, not luck.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/endpoints.h"
#include "base/http_fetch.h"
#include "base/settings.h"
#include "browser/app_command.h"
#include "gamewnd/page_text.h"
#include "login/login_command.h"
#include "settings/hotkey.h"
#include "update/down_game_dlg.h"
#include "update/flash_check.h"
#include "update/program_image.h"
#include "update/self_update.h"
#include "update/version_key.h"

namespace {

constexpr int kCases = 10000;

// A buffer whose last byte lies right before a PAGE_NOACCESS page.
class GuardedBytes {
public:
    GuardedBytes() {
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        m_page = si.dwPageSize;
        m_base = static_cast<BYTE*>(::VirtualAlloc(nullptr, m_page * 3, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        ::VirtualProtect(m_base + m_page * 2, m_page, PAGE_NOACCESS, &old);
    }
    ~GuardedBytes() { ::VirtualFree(m_base, 0, MEM_RELEASE); }
    // Copies size bytes so that they end at the guard page.
    void* Place(const void* data, size_t size) {
        size = std::min<size_t>(size, m_page * 2);
        BYTE* at = m_base + m_page * 2 - size;
        memcpy(at, data, size);
        return at;
    }
    const wchar_t* Place(const std::wstring& text) {
        return static_cast<const wchar_t*>(Place(text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
    }

private:
    BYTE* m_base = nullptr;
    size_t m_page = 4096;
};

class RandomText {
public:
    explicit RandomText(unsigned seed) : m_rng(seed) {}
    std::wstring Make(const std::wstring& alphabet, size_t maxLen) {
        std::uniform_int_distribution<size_t> len(0, maxLen), pick(0, alphabet.size() - 1);
        std::wstring s(len(m_rng), L' ');
        for (auto& c : s) c = alphabet[pick(m_rng)];
        return s;
    }
    // Sometimes a known-good prefix, so the parsers get past their first check.
    std::wstring MakeAfter(const std::vector<std::wstring>& prefixes, const std::wstring& alphabet, size_t maxLen) {
        std::uniform_int_distribution<size_t> which(0, prefixes.size());
        size_t i = which(m_rng);
        return (i < prefixes.size() ? prefixes[i] : L"") + Make(alphabet, maxLen);
    }
    unsigned Next() { return m_rng(); }

private:
    std::mt19937 m_rng;
};

const std::wstring kUrlChars = L"httpHTTP:/?&=%|.-_0123456789abcxyzS服》 \\@#";
const std::wstring kNumberChars = L"0123456789,,, -+x\t";

int g_tried = 0;

}  // namespace

TEST(Robustness, CommandLine) {
    GuardedBytes guard;
    RandomText rnd(1);
    const std::vector<std::wstring> switches = {L"/newgm", L"/GMHALL", L"/KvrD", L"/uninst", L"/update", L"/webMarvoleD"};
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        std::wstring a0 = rnd.MakeAfter(switches, L"/0123456789-x ", 40);
        std::wstring a1 = rnd.MakeAfter({L"/"}, L"0123456789-+x ", 600);
        std::wstring a2 = rnd.MakeAfter({L"/"}, L"0123456789-+x ", 600);
        // Each argument in its own guarded block would need three guards; the
        // longest one is the one that matters.
        const wchar_t* args[] = {a0.c_str(), a1.c_str(), guard.Place(a2)};
        const int argc = static_cast<int>(rnd.Next() % 4);
        kvr::StartArgs r = kvr::ParseStartArgs(argc, args, L"C:\\x\\kvr.exe", L"C:\\ProgramData\\Marvole\\GameLogin");
        ASSERT_GE(static_cast<int>(r.mode), 0);
        ASSERT_LE(static_cast<int>(r.mode), 7);
    }
}

TEST(Robustness, UrlSplitting) {
    GuardedBytes guard;
    RandomText rnd(2);
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        const std::wstring url = rnd.MakeAfter({L"http://", L"HTTP://127.0.0.1:", L"http://a:99999999/"}, kUrlChars, 900);
        kvr::UrlParts parts;
        if (kvr::SplitUrl(guard.Place(url), &parts)) {
            ASSERT_LT(wcsnlen(parts.host, 260), 260u);
            ASSERT_LT(wcsnlen(parts.object, 512), 512u);
            ASSERT_GE(parts.port, 1);
        }
        (void)kvr::IsTrustedDownloadUrl(guard.Place(url));
    }
}

TEST(Robustness, AppCommandsAndLoginText) {
    GuardedBytes guard;
    RandomText rnd(3);
    const std::vector<std::wstring> prefixes = {L"app://loadgame|", L"app://loadgame?", L"app://entergame|",
                                                L"app://exitgame", L"APP:", L"app:"};
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        const std::wstring url = rnd.MakeAfter(prefixes, kUrlChars + L"%E6%9C%8D%FF%", 800);
        const wchar_t* placed = guard.Place(url);
        bool cancel = false;
        kvr::FilterAppUrl(placed, &cancel);
        (void)kvr::AppCommandName(placed);
        (void)kvr::SplitAppArgs(placed);
        (void)kvr::FindOAuthRedirect(placed);
        const kvr::LoadGameCommand cmd = kvr::ParseLoadGame(placed);
        ASSERT_LE(cmd.accountText.size(), kvr::kMaxAccountText);
        const std::wstring decoded = kvr::DecodeAccountText(cmd.accountText);
        ASSERT_LE(decoded.size(), kvr::kMaxAccountText);
        const std::wstring key = kvr::ComposeKey(kvr::NormalizeCaption(kvr::SplitAccountText(decoded)));
        (void)kvr::KeyFits(key);
        (void)kvr::IsValidClientName(placed);
    }
}

TEST(Robustness, CaptionsAndTheirRecords) {
    RandomText rnd(4);
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        const std::wstring caption = rnd.Make(L"S12服-》&=% ?#+abc账号\x00e9", 300);
        // Whatever the caption holds, it cannot add query fields (a record cut
        // at its buffer may lose its last ones).
        const std::wstring login = kvr::LoginRecordUrl(caption, 1 + i % 3);
        const std::wstring play = kvr::PlayTimeUrl(caption, static_cast<DWORD>(rnd.Next()), static_cast<DWORD>(rnd.Next()));
        ASSERT_LE(std::count(login.begin(), login.end(), L'&'), 3) << login;
        ASSERT_LE(std::count(play.begin(), play.end(), L'&'), 4) << play;
        ASSERT_LE(login.size(), 511u);
        ASSERT_EQ(login.find(L' '), std::wstring::npos);
        ASSERT_EQ(play.find(L'#'), std::wstring::npos);
    }
}

TEST(Robustness, CopyDataPayloads) {
    GuardedBytes guard;
    RandomText rnd(5);
    std::vector<BYTE> bytes;
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        bytes.resize(rnd.Next() % 700);
        for (auto& b : bytes) b = static_cast<BYTE>(rnd.Next() % 4 == 0 ? 0 : rnd.Next());
        COPYDATASTRUCT cds{};
        cds.dwData = rnd.Next() % 3;
        cds.cbData = static_cast<DWORD>(bytes.size());
        cds.lpData = bytes.empty() ? nullptr : guard.Place(bytes.data(), bytes.size());
        std::wstring caption;
        if (kvr::ReadCopyDataCaption(&cds, &caption)) {
            ASSERT_LE((caption.size() + 1) * sizeof(wchar_t), cds.cbData);
            ASSERT_EQ(caption.find(L'\0'), std::wstring::npos);
        }
    }
}

TEST(Robustness, IniValuesAndVersions) {
    GuardedBytes guard;
    RandomText rnd(6);
    SYSTEMTIME now{2026, 12, 2, 8, 15, 0, 0, 0};
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        const std::wstring hot = rnd.Make(kNumberChars + L"99999999999", 40);
        (void)kvr::ParseHotKey(guard.Place(hot));

        const std::wstring lst = rnd.Make(L"0123456789//-- 9999999", 40);
        int y = 0, m = 0, d = 0;
        (void)kvr::ParseLstTime(guard.Place(lst), now, &y, &m, &d);
        (void)kvr::DaysSinceLstTime(guard.Place(lst), now);

        // An installed version equal to the required one never passes.
        const std::wstring version = rnd.Make(kNumberChars, 30);
        const std::wstring copy = version;
        ASSERT_FALSE(kvr::FlashVersionPasses(guard.Place(version), copy.c_str())) << version;
        (void)kvr::FlashVersionPasses(guard.Place(version));
    }
}

TEST(Robustness, VersionResources) {
    // The program's own version resource, cut and with bytes changed.
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const BYTE* own = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found)));
    const std::vector<BYTE> original(own, own + ::SizeofResource(nullptr, found));
    GuardedBytes guard;
    RandomText rnd(8);
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        std::vector<BYTE> bytes(original.begin(), original.begin() + rnd.Next() % (original.size() + 1));
        for (unsigned k = rnd.Next() % 8; k > 0 && !bytes.empty(); --k) bytes[rnd.Next() % bytes.size()] ^= rnd.Next();
        kvr::ProgramImage image;
        (void)kvr::ReadVersionResource(static_cast<const BYTE*>(guard.Place(bytes.data(), bytes.size())), bytes.size(), &image);
        ASSERT_LE(image.productName.size() + image.internalName.size(), bytes.size() / 2);
    }
}

TEST(Robustness, UpdateConfigurationPage) {
    // Pages as a broken or hostile server might send them: sections and keys
    // in any case and order, over-long values, stray bytes, no line ends.
    RandomText rnd(7);
    const std::vector<std::string> pieces = {"[VerKey]", "[verkey]", "[Other]", "Kvr=", "kvr =", "UpdAddr=",
                                             "UPDADDR=", "\r\n", "\n", "\r", "=", ";", "[", "]", "\"", " ",
                                             "0123456789abcdef", "http://127.0.0.1/x.exe", std::string(700, 'a'),
                                             std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE"),
                                             std::string(1, '\0'), "\xE6\x9C\x8D"};
    for (int i = 0; i < kCases; ++i, ++g_tried) {
        std::string page;
        const unsigned count = rnd.Next() % 24;
        for (unsigned k = 0; k < count; ++k) page += pieces[rnd.Next() % pieces.size()];
        kvr::UpdateConfig config;
        kvr::ParseUpdateConfig(page, &config);
        ASSERT_LE(config.key.size(), 63u);
        ASSERT_LE(config.address.size(), 511u);
        // What the check does with them next: compare, and test the address.
        (void)kvr::VersionKeysMatch(config.key, L"0123456789abcdef0123456789ab3003");
        (void)kvr::IsTrustedDownloadUrl(config.address.c_str());
    }
    std::printf("robustness: %d cases tried, none crashed or overflowed\n", g_tried);
}
