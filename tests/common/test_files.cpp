#include "test_files.h"

#include <objbase.h>

#include <algorithm>

namespace test_files {

// Folders of ours ("kelp-...") in the temporary folder that nothing has
// written to for this long are left over from a run that crashed or was
// killed; no test or benchmark runs nearly this long.
static const ULONGLONG kLeftoverAge = 30ull * 60 * 10000000;  // 30 minutes, in 100 ns

static ULONGLONG Ticks(const FILETIME& t)
{
    return ((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

static void RemoveLeftovers(const std::wstring& temp)
{
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    ULONGLONG now = Ticks(nowTime);
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((temp + L"kelp-*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        bool old = Ticks(fd.ftLastWriteTime) + kLeftoverAge < now;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && old)
            RemoveTree(temp + fd.cFileName);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

std::wstring MakeTempFolder(const wchar_t* prefix, const std::wstring& base)
{
    // Wine hands out the same process ids in every session, so a name made
    // from one would meet the folder a killed run left behind. Random names
    // instead, kept short (some tests expect a path to fit a box), and a
    // name already taken is simply drawn again.
    static LONG cleaned = 0;
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    if (InterlockedExchange(&cleaned, 1) == 0) RemoveLeftovers(temp);

    std::wstring path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        GUID guid;
        CoCreateGuid(&guid);  // random bits, not one of the process's numbers
        WCHAR name[64];
        wsprintfW(name, L"%s-%08lx", prefix, guid.Data1);
        path = (base.empty() ? std::wstring(temp) : base) + name;
        if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return path;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = bytes.empty() ||
              (WriteFile(h, bytes.data(), DWORD(bytes.size()), &put, nullptr) && put == bytes.size());
    CloseHandle(h);
    return ok;
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) out.append(buffer, got);
    CloseHandle(h);
    return out;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> Names(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace test_files
