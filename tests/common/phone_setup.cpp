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
    DWORD deadline = GetTickCount() + 60000;
    DWORD woke = WAIT_TIMEOUT;
    for (;;) {
        LONG left = (LONG)(deadline - GetTickCount());
        if (left <= 0) break;
        woke = MsgWaitForMultipleObjects(1, &thread, FALSE, (DWORD)left, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (woke != WAIT_OBJECT_0) woke = WaitForSingleObject(thread, 0);
    CloseHandle(thread);
    return woke == WAIT_OBJECT_0;
}

}  // namespace test_support
