// What the link's tests share: a phone emulator registered with COM on the
// test thread beside a link holding its panel's reference, a window that
// counts the messages dispatched to it, and temporary folders.
#pragma once

#include "message_pump.h"
#include "phone_emulator.h"
#include "phone_link.h"
#include "phone_setup.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace link_test {

using test_files::Exists;
using test_files::ReadBytes;
using test_files::RemoveTree;
using test_files::WriteBytes;
inline std::wstring MakeTempFolder() { return test_files::MakeTempFolder(L"kelp-link"); }
int CountEntries(const std::wstring& folder);     // without . and ..

const DWORD DrivesCE = (1u << 2) | (1u << 4);

// A message-only window on the creating thread. Posted WM_APP messages and
// timers are counted when dispatched; a message's or timer's event (lParam,
// or the one given to SetEventAfter) is set by the handler.
class MessageProbe {
public:
    MessageProbe();
    ~MessageProbe();
    void Post(HANDLE eventToSet = nullptr);
    void SetEventAfter(UINT ms, HANDLE eventToSet);

    HWND window = nullptr;
    int dispatched = 0;  // WM_APP messages
    int timers = 0;      // WM_TIMER messages
    HANDLE timerEvent = nullptr;
};

using test_support::RunOnOwnThread;

// A server of a test's own making, living on the test's stack: it hands out
// no other interface, and every request it does not override is refused.
// Advise and Unadvise are each test's own. PhoneLink::Connect takes one
// with MakeGivenServer and the server as the context.
class StackServer : public remote::IRemoteFs {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Unused5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DriveList(DWORD, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeInfo(DWORD, LONG, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unused8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirOpen(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirRead(DWORD, LONG, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirClose(DWORD, LONG, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirRemove(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DirMake(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EntryInfo(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unused15() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FileCopy(DWORD, const WCHAR*, const WCHAR*, LONG, LONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FileDelete(DWORD, LONG, const WCHAR*) override { return E_NOTIMPL; }
};
HRESULT MakeGivenServer(void* context, remote::IRemoteFs** out);

// A phone with drives C and E under a fresh temporary folder, registered in
// this process; the link starts unconnected.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Registers every generation and connects the link.
    void ConnectAll();

    std::wstring root, pc;
    std::unique_ptr<phone_emu::PhoneEmulator> emu;
    PhoneLink link;
};

}  // namespace link_test
