// What the phone emulator's tests share: a sink that records every callback,
// a message pump, and temporary folders.
#pragma once

#include "test_files.h"

#include "phone_emulator.h"
#include "sink_base.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace phone_test {

class TestSink final : public remote::SinkBase {
public:
    LONG refs = 1;
    int acceptIndex = -1;       // sink id accepted by QI: -1 every generation, -2 none
    int completions = 0;
    bool inCall = false;        // the test is inside a request call
    int completedInCall = 0;    // completions that arrived while inCall
    LONG status = 0;
    DWORD value = 0;
    remote::RemoteEntry entry{};
    remote::RemoteVolume volume{};
    std::vector<LONG> progress;
    int cancelAtNotice = 0;     // answer cancel at this notice (1-based); 0 never
    int nullRecords = 0;        // successes that came with a null record
    std::function<void()> onCompletion;  // runs inside each completion call

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        bool ok = IsEqualIID(riid, IID_IUnknown);
        for (int i = 0; i < remote::GenerationCount; ++i)
            if ((acceptIndex == -1 || acceptIndex == i) && IsEqualIID(riid, remote::RemoteFsSinkIds[i]))
                ok = true;
        if (!ok) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the stack

    HRESULT STDMETHODCALLTYPE OnDriveList(LONG s, DWORD mask) override { value = mask; return Done(s); }
    HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG s, const remote::RemoteVolume* v) override {
        Keep(s, v, &volume);
        return Done(s);
    }
    HRESULT STDMETHODCALLTYPE OnDirOpen(LONG s, DWORD handle) override { value = handle; return Done(s); }
    HRESULT STDMETHODCALLTYPE OnDirRead(LONG s, const remote::RemoteEntry* e) override {
        Keep(s, e, &entry);
        return Done(s);
    }
    HRESULT STDMETHODCALLTYPE OnDirClose(LONG s) override { return Done(s); }
    HRESULT STDMETHODCALLTYPE OnDirRemove(LONG s) override { return Done(s); }
    HRESULT STDMETHODCALLTYPE OnDirMake(LONG s) override { return Done(s); }
    HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG s, const remote::RemoteEntry* e) override {
        Keep(s, e, &entry);
        return Done(s);
    }
    HRESULT STDMETHODCALLTYPE OnFileCopy(LONG s) override { return Done(s); }
    HRESULT STDMETHODCALLTYPE OnFileDelete(LONG s) override { return Done(s); }
    HRESULT STDMETHODCALLTYPE OnRecord(LONG s, const BYTE*) override { return Done(s); }
    HRESULT STDMETHODCALLTYPE OnCopyProgress(LONG v, LONG* cancel) override {
        progress.push_back(v);
        *cancel = (cancelAtNotice && int(progress.size()) == cancelAtNotice) ? 1 : 0;
        return S_OK;
    }

private:
    template <class T>
    void Keep(LONG s, const T* record, T* to) {
        if (s != 0) return;
        if (record)
            *to = *record;
        else
            ++nullRecords;
    }
    HRESULT Done(LONG s) {
        status = s;
        ++completions;
        if (inCall) ++completedInCall;
        if (onCompletion) onCompletion();
        return S_OK;
    }
};

// Dispatches the thread's messages until the sink has `count` completions or
// `timeoutMs` has passed; true when they arrived.
inline bool PumpUntil(const TestSink& sink, int count, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (sink.completions >= count) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
}

using test_files::Exists;
using test_files::Names;
using test_files::ReadBytes;
using test_files::RemoveTree;
using test_files::WriteBytes;
inline std::wstring MakeTempFolder() { return test_files::MakeTempFolder(L"kelp-phone"); }
std::string Pattern(size_t size, int seed);

}  // namespace phone_test

namespace phone_test {

// A phone with drives C and E under a fresh temporary folder, a server object
// of generation 1 made directly, and a sink advised on this thread.
class PhoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        root = MakeTempFolder();
        pc = MakeTempFolder();
        CreateDirectoryW((root + L"\\C").c_str(), nullptr);
        CreateDirectoryW((root + L"\\E").c_str(), nullptr);
        emu = new phone_emu::PhoneEmulator(root);
        server = emu->CreateServer(0);
        LONG accepted = 0;
        ASSERT_EQ(S_OK, server->Advise(&sink, GetCurrentThreadId(), &cookie, &accepted));
        ASSERT_EQ(1, accepted);
        ASSERT_NE(0u, cookie);
    }
    void TearDown() override {
        if (server) {
            if (cookie) server->Unadvise(cookie);
            server->Release();
        }
        delete emu;
        RemoveTree(root);
        RemoveTree(pc);
        CoUninitialize();
    }

    // Makes one request and waits for its completion; returns its status,
    // or 1000 + the call's result when the call itself failed, or 2000 when
    // nothing arrived.
    template <class F>
    LONG Run(F call, DWORD timeoutMs = 5000) {
        int before = sink.completions;
        sink.inCall = true;
        HRESULT hr = call();
        sink.inCall = false;
        if (hr != S_OK) return 1000 + hr;
        if (!PumpUntil(sink, before + 1, timeoutMs)) return 2000;
        return sink.status;
    }

    LONG Copy(const std::wstring& source, const std::wstring& target, LONG direction,
              LONG overwrite) {
        return Run([&] {
            return server->FileCopy(cookie, source.c_str(), target.c_str(), direction, overwrite);
        });
    }

    // Lists a phone directory through DirOpen/DirRead/DirClose; the status
    // that ended the reads goes to *end.
    std::vector<remote::RemoteEntry> List(const std::wstring& dir, LONG* end) {
        std::vector<remote::RemoteEntry> entries;
        *end = Run([&] { return server->DirOpen(cookie, 0, dir.c_str()); });
        if (*end != 0) return entries;
        DWORD handle = sink.value;
        for (int i = 0; i < 1000; ++i) {
            *end = Run([&] { return server->DirRead(cookie, 0, handle); });
            if (*end != 0) break;
            entries.push_back(sink.entry);
        }
        EXPECT_EQ(0, Run([&] { return server->DirClose(cookie, 0, handle); }));
        return entries;
    }

    std::wstring root, pc;
    phone_emu::PhoneEmulator* emu = nullptr;
    remote::IRemoteFs* server = nullptr;
    TestSink sink;
    DWORD cookie = 0;
};

}  // namespace phone_test
