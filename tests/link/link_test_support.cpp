#include "link_test_support.h"

namespace link_test {

HRESULT MakeGivenServer(void* context, remote::IRemoteFs** out)
{
    *out = static_cast<remote::IRemoteFs*>(context);
    return S_OK;
}

int CountEntries(const std::wstring& folder) { return (int)test_files::Names(folder).size(); }

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
    ASSERT_TRUE(test_support::MakePhoneDrives(root));
    emu.reset(new phone_emu::PhoneEmulator(root));
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
