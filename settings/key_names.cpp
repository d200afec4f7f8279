#include "settings/key_names.h"

namespace kvr {

namespace {

struct Named {
    unsigned vk;
    const wchar_t* name;
};

// Keys whose name is not derived from a range.
const Named kNames[] = {
    {8, L"Back"},         {9, L"Tab"},          {13, L"Enter"},        {16, L"Shift"},
    {17, L"Ctrl"},        {18, L"Alt"},         {19, L"Pause Break"},  {20, L"Caps"},
    {27, L"Esc"},         {33, L"Page Up"},     {34, L"Page Down"},    {35, L"End"},
    {36, L"Home"},        {37, L"Left"},        {38, L"Up"},           {39, L"Right"},
    {40, L"Down"},        {45, L"Insert"},      {46, L"Del"},          {91, L"LWin"},
    {92, L"RWin"},        {106, L"Num *"},      {107, L"Num +"},       {109, L"Num -"},
    {110, L"Num Del"},    {111, L"Num /"},      {144, L"Num Lock"},    {145, L"Scroll Lock"},
    {186, L";"},          {187, L"+"},          {188, L","},           {189, L"-"},
    {190, L"."},          {191, L"/"},          {192, L"`"},           {219, L"["},
    {220, L"\\"},         {221, L"]"},          {222, L"'"},
};

void Copy(wchar_t* buffer, const wchar_t* text) {
    int i = 0;
    for (; i + 1 < kKeyNameChars && text[i]; ++i) buffer[i] = text[i];
    buffer[i] = L'\0';
}

}  // namespace

wchar_t* KeyName(wchar_t* buffer, unsigned vk) {
    if (!buffer) return nullptr;
    buffer[0] = L'\0';
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        buffer[0] = static_cast<wchar_t>(vk);  // the digit or capital letter itself
        buffer[1] = L'\0';
    } else if (vk >= 96 && vk <= 105) {
        const wchar_t text[] = {L'N', L'u', L'm', L' ', static_cast<wchar_t>(L'0' + (vk - 96)), L'\0'};
        Copy(buffer, text);
    } else if (vk >= 112 && vk <= 123) {
        const unsigned n = vk - 111;  // F1 .. F12
        wchar_t text[4] = {L'F', 0, 0, 0};
        if (n < 10) {
            text[1] = static_cast<wchar_t>(L'0' + n);
        } else {
            text[1] = L'1';
            text[2] = static_cast<wchar_t>(L'0' + (n - 10));
        }
        Copy(buffer, text);
    } else {
        for (const Named& k : kNames) {
            if (k.vk == vk) {
                Copy(buffer, k.name);
                break;
            }
        }
    }
    return buffer;
}

}  // namespace kvr
