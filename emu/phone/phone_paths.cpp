// Phone paths to PC paths. The phone side must never reach outside its drive
// folder, whatever the plug-in sends, so every component is checked before
// the PC's path rules (which strip, collapse and reinterpret) get to see it.
#include "phone_emulator.h"

#include <cwctype>

namespace phone_emu {

namespace {

bool IsDeviceName(const std::wstring& name) {
    // Windows opens a device for these whatever the extension.
    std::wstring base = name.substr(0, name.find(L'.'));
    for (auto& c : base) c = static_cast<wchar_t>(towupper(c));
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$",
                                             L"CONOUT$"};
    for (auto d : devices)
        if (base == d) return true;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
        base[3] >= L'0' && base[3] <= L'9')
        return true;
    return false;
}

bool SoundComponent(const std::wstring& c) {
    if (c.empty() || c == L"." || c == L"..") return false;
    for (wchar_t ch : c) {
        if (ch < 32) return false;
        switch (ch) {
            case L'/': case L':': case L'*': case L'?': case L'"':
            case L'<': case L'>': case L'|':
                return false;
            default:
                break;
        }
    }
    wchar_t last = c.back();
    if (last == L'.' || last == L' ') return false;
    return !IsDeviceName(c);
}

}  // namespace

LONG MapPhonePath(const std::wstring& root, const WCHAR* phonePath, bool directory,
                  std::wstring* pcPath) {
    if (!phonePath) return StatusBadPath;
    std::wstring p(phonePath);
    if (p.size() < 3 || p[1] != L':' || p[2] != L'\\') return StatusBadPath;
    wchar_t letter = static_cast<wchar_t>(towupper(p[0]));
    if (letter < L'A' || letter > L'Z') return StatusBadPath;

    std::wstring rest = p.substr(3);
    if (directory) {
        if (!rest.empty()) {
            if (rest.back() != L'\\') return StatusBadPath;
            rest.pop_back();
            if (rest.empty()) return StatusBadPath;  // a doubled final backslash: an empty name
        }
    } else if (rest.empty() || rest.back() == L'\\') {
        return StatusBadPath;
    }

    std::wstring drive = root + L'\\' + letter;
    std::wstring out = drive;
    size_t start = 0;
    while (!rest.empty() && start <= rest.size()) {
        size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos) end = rest.size();
        std::wstring component = rest.substr(start, end - start);
        if (!SoundComponent(component)) return StatusBadPath;
        out += L'\\';
        out += component;
        start = end + 1;
    }

    DWORD attributes = GetFileAttributesW(drive.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return StatusNoDrive;
    *pcPath = out;
    return 0;
}

}  // namespace phone_emu
