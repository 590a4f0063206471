#include "phone_setup.h"

namespace test_support {

bool MakePhoneDrives(const std::wstring& root)
{
    for (const wchar_t* drive : {L"\\C", L"\\E"})
        if (!CreateDirectoryW((root + drive).c_str(), nullptr)) return false;
    return true;
}

namespace {

DWORD WINAPI RunFunction(void* f)
{
    (*static_cast<std::function<void()>*>(f))();
    return 0;
}

}  // namespace

bool RunOnOwnThread(std::function<void()> f)
{
    HANDLE thread = CreateThread(nullptr, 0, RunFunction, &f, 0, nullptr);
    if (!thread) return false;
    DWORD woke;
    while ((woke = MsgWaitForMultipleObjects(1, &thread, FALSE, 60000, QS_ALLINPUT)) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CloseHandle(thread);
    return woke == WAIT_OBJECT_0;
}

}  // namespace test_support
