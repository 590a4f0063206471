#include "link_test_support.h"

namespace link_test {

std::wstring MakeTempFolder()
{
    static LONG counter = 0;
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    WCHAR name[64];
    wsprintfW(name, L"kelp-link-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
    std::wstring path = std::wstring(temp) + name;
    CreateDirectoryW(path.c_str(), nullptr);
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
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
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
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) out.append(buffer, got);
    CloseHandle(h);
    return out;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int CountEntries(const std::wstring& folder)
{
    int n = 0;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) ++n;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return n;
}

static LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto probe = reinterpret_cast<MessageProbe*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (probe && message == WM_APP) {
        ++probe->dispatched;
        if (lparam) SetEvent(reinterpret_cast<HANDLE>(lparam));
        return 0;
    }
    if (probe && message == WM_TIMER) {
        KillTimer(window, wparam);
        ++probe->timers;
        if (probe->timerEvent) SetEvent(probe->timerEvent);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

MessageProbe::MessageProbe()
{
    static const WCHAR className[] = L"KelpLinkTestProbe";
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);  // already registered by an earlier probe: fine
    window = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageProbe::~MessageProbe() { DestroyWindow(window); }

void MessageProbe::Post(HANDLE eventToSet) { PostMessageW(window, WM_APP, 0, (LPARAM)eventToSet); }

void MessageProbe::SetEventAfter(UINT ms, HANDLE eventToSet)
{
    timerEvent = eventToSet;
    SetTimer(window, 1, ms, nullptr);
}

void LinkTest::SetUp()
{
    CoInitialize(nullptr);
    root = MakeTempFolder();
    pc = MakeTempFolder();
    CreateDirectoryW((root + L"\\C").c_str(), nullptr);
    CreateDirectoryW((root + L"\\E").c_str(), nullptr);
    emu.reset(new phone_emu::PhoneEmulator(root));
    link.AddRef();  // the panel's own reference, never given back
}

void LinkTest::TearDown()
{
    link.Disconnect();
    emu.reset();
    RemoveTree(root);
    RemoveTree(pc);
    CoUninitialize();
}

void LinkTest::ConnectAll()
{
    ASSERT_EQ(S_OK, emu->RegisterAll());
    ASSERT_EQ(remote::StatusOk, link.Connect());
}

}  // namespace link_test
