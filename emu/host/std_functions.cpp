#include "std_functions.h"

#include <cstring>
#include <string>

namespace host_emu {

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

// Case folding by the console's code page: names reach the host in OEM, and
// a plain toupper would leave every non-ASCII letter unmatched.
unsigned char OemUpper(unsigned char c) {
    static unsigned char table[256];
    static UINT tableCodePage = 0;
    UINT cp = GetOEMCP();
    if (tableCodePage != cp) {
        for (int i = 0; i < 256; ++i) {
            char in = (char)i;
            wchar_t wide = 0;
            table[i] = (unsigned char)i;
            if (MultiByteToWideChar(CP_OEMCP, 0, &in, 1, &wide, 1) != 1) continue;
            CharUpperBuffW(&wide, 1);
            char out = 0;
            BOOL lossy = FALSE;
            if (WideCharToMultiByte(CP_OEMCP, 0, &wide, 1, &out, 1, nullptr, &lossy) == 1 &&
                !lossy)
                table[i] = (unsigned char)out;
        }
        tableCodePage = cp;
    }
    return table[c];
}

bool SameChar(char a, char b) { return OemUpper((unsigned char)a) == OemUpper((unsigned char)b); }

// [abc] or [a-z] at `p` (just past '['); advances `p` past ']'.
bool MatchSet(const char*& p, char c) {
    bool found = false;
    unsigned char uc = OemUpper((unsigned char)c);
    while (*p && *p != ']') {
        unsigned char lo = OemUpper((unsigned char)*p);
        unsigned char hi = lo;
        if (p[1] == '-' && p[2] && p[2] != ']') {
            hi = OemUpper((unsigned char)p[2]);
            p += 2;
        }
        if (uc >= lo && uc <= hi) found = true;
        ++p;
    }
    if (*p == ']') ++p;
    return found;
}

bool Match(const char* mask, const char* name) {
    for (;;) {
        char m = *mask++;
        switch (m) {
        case 0:
            return *name == 0;
        case '?':
            if (!*name) return false;
            ++name;
            break;
        case '*':
            if (!*mask) return true;
            for (;; ++name) {
                if (Match(mask, name)) return true;
                if (!*name) return false;
            }
        case '[':
            if (!std::strchr(mask, ']')) {  // no closing bracket: a plain character
                if (!SameChar(m, *name)) return false;
                ++name;
                break;
            }
            if (!*name || !MatchSet(mask, *name)) return false;
            ++name;
            break;
        default:
            // "name.*" and "name." also match a name without any extension.
            if (m == '.' && *name == 0 && (*mask == 0 || (mask[0] == '*' && mask[1] == 0)))
                return true;
            if (!SameChar(m, *name)) return false;
            ++name;
            break;
        }
    }
}

// The name generator: walks the mask's name part against the source's name
// part, DOS-rename style.
std::string GenerateName(const std::string& maskName, const std::string& sourceName) {
    std::string out;
    const char* m = maskName.c_str();
    const char* s = sourceName.c_str();
    while (*m) {
        char c = *m++;
        if (c == '?') {
            if (*s) out += *s++;
        } else if (c == '*') {
            const char* lastDot = std::strrchr(s, '.');
            if (*m == '.' && lastDot && !std::strchr(m + 1, '.')) {
                while (s < lastDot) out += *s++;
            } else {
                while (*s && *s != *m) out += *s++;
            }
        } else if (c == '.') {
            out += '.';
            if (std::strpbrk(m, "*?")) {
                const char* dot = std::strchr(s, '.');
                s = dot ? dot + 1 : s + std::strlen(s);
            }
        } else {
            out += c;
            if (*s && *s != '.') ++s;
        }
    }
    if (!out.empty() && out.back() == '.') out.pop_back();
    return out;
}

}  // namespace

char* WINAPI TruncStr(char* str, int maxLength) {
    if (!str) return str;
    if (maxLength < 0) maxLength = 0;
    int length = (int)std::strlen(str);
    if (length <= maxLength) return str;
    if (maxLength > 3) {
        int keep = maxLength - 3;
        std::memmove(str + 3, str + length - keep, keep + 1);
        std::memcpy(str, "...", 3);
    } else {
        str[maxLength] = 0;
    }
    return str;
}

char* WINAPI TruncPathStr(char* str, int maxLength) {
    if (!str) return str;
    int length = (int)std::strlen(str);
    if (length <= maxLength) return str;

    int rootLength = 0;
    if (str[0] && str[1] == ':' && str[2] == '\\') {
        rootLength = 3;
    } else if (str[0] == '\\' && str[1] == '\\') {
        const char* server = std::strchr(str + 2, '\\');
        const char* share = server ? std::strchr(server + 1, '\\') : nullptr;
        if (share) rootLength = (int)(share - str) + 1;
    }
    if (rootLength == 0 || rootLength > maxLength - 5) return TruncStr(str, maxLength);

    int keep = maxLength - rootLength - 3;
    std::memmove(str + rootLength + 3, str + length - keep, keep + 1);
    std::memcpy(str + rootLength, "...", 3);
    return str;
}

BOOL WINAPI AddEndSlash(char* path) {
    if (!path) return FALSE;
    int forward = 0, backward = 0;
    for (const char* p = path; *p; ++p) {
        if (*p == '/') ++forward;
        else if (*p == '\\') ++backward;
    }
    char slash = forward > backward ? '/' : '\\';
    size_t length = std::strlen(path);
    if (length > 0 && IsSlash(path[length - 1])) {
        path[length - 1] = slash;
    } else {
        path[length] = slash;
        path[length + 1] = 0;
    }
    return TRUE;
}

char* WINAPI PointToName(const char* path) {
    if (!path) return nullptr;
    const char* name = path;
    if (path[0] && path[1] == ':') name = path + 2;
    for (const char* p = name; *p; ++p)
        if (IsSlash(*p)) name = p + 1;
    return const_cast<char*>(name);
}

int WINAPI CmpName(const char* mask, const char* name, int skipPath) {
    if (!mask || !name) return FALSE;
    if (skipPath) name = PointToName(name);
    return Match(mask, name) ? TRUE : FALSE;
}

int WINAPI ProcessName(const char* param1, char* param2, DWORD flags) {
    if (!param1 || !param2) return FALSE;

    if (flags & PN_GENERATENAME) {
        std::string mask = param2;
        std::string source = param1;
        size_t selected = flags & 0xFF;
        if (selected && selected < source.size()) source.resize(selected);

        size_t maskNameAt = PointToName(mask.c_str()) - mask.c_str();
        std::string maskName = mask.substr(maskNameAt);
        if (maskName.find_first_of("*?") == std::string::npos) return FALSE;
        size_t sourceNameAt = PointToName(source.c_str()) - source.c_str();

        std::string result = maskNameAt ? mask.substr(0, maskNameAt)
                                        : source.substr(0, sourceNameAt);
        result += GenerateName(maskName, source.substr(sourceNameAt));
        std::memcpy(param2, result.c_str(), result.size() + 1);
        return TRUE;
    }

    if (flags & PN_CMPNAMELIST) {
        int skipPath = (flags & PN_SKIPPATH) ? TRUE : FALSE;
        std::string list = param1;
        size_t start = 0;
        while (start <= list.size()) {
            size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            std::string mask = list.substr(start, comma - start);
            if (!mask.empty() && CmpName(mask.c_str(), param2, skipPath)) return TRUE;
            start = comma + 1;
        }
        return FALSE;
    }

    // The 1.70 host tests this case with `flags & 0`, so it never matches.
    return FALSE;
}

}  // namespace host_emu
