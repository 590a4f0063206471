// Blocking requests over the server's asynchronous completions.
#include "link_test_support.h"
#include "watchdog.h"

#include <thread>
#include <vector>

using namespace link_test;
using phone_emu::Action;
using phone_emu::Op;
using phone_emu::Rule;

namespace {

Rule MakeRule(Op op, Action action)
{
    Rule r;
    r.op = op;
    r.action = action;
    return r;
}

bool AllBytes(const void* p, size_t size, unsigned char value)
{
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < size; ++i)
        if (b[i] != value) return false;
    return true;
}

struct ProgressLog {
    std::vector<int> values;
    size_t cancelAt = 0;  // answer 0 (cancel) at this call, counted from 1; 0 never
};

int LogProgress(int value, void* context)
{
    ProgressLog* log = static_cast<ProgressLog*>(context);
    log->values.push_back(value);
    return log->values.size() == log->cancelAt ? 0 : 1;
}

TEST_F(LinkTest, CompletionInsideTheRequestCallEndsTheRequest)
{
    emu->Options().rules.push_back(MakeRule(Op::Any, Action::CompleteInsideCall));
    emu->Options().chunkSize = 100;
    ASSERT_TRUE(WriteBytes(pc + L"\\f.bin", std::string(300, 'x')));
    ConnectAll();

    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);
    // Progress comes inside the call too, so the function must be in place
    // before the server is called.
    ProgressLog log;
    EXPECT_EQ(remote::StatusOk, link.FileCopy((pc + L"\\f.bin").c_str(), L"C:\\f.bin",
                                              remote::CopyToPhone, 0, LogProgress, &log));
    EXPECT_EQ((std::vector<int>{33, 66, 100}), log.values);

    for (auto& j : emu->Journal()) {
        if (j.op == Op::DriveList || j.op == Op::FileCopy) {
            EXPECT_TRUE(j.completedInsideCall);
        }
    }

    // The next request, completing through the queue, waits for its own.
    emu->Options().rules.clear();
    EXPECT_EQ(remote::StatusExists, link.DirMake(L"C:\\f.bin"));
    EXPECT_FALSE(emu->Journal(Op::DirMake)[0].completedInsideCall);
}

// A refusal with no callback in the second before it is the server's answer:
// the request is told refused and asked once, never again.
TEST_F(LinkTest, RefusedRequestReturnsAtOnceAndWritesNothing)
{
    const Op refused[] = {Op::DirOpen, Op::DirRead, Op::VolumeInfo, Op::EntryInfo, Op::FileDelete};
    for (Op op : refused) emu->Options().rules.push_back(MakeRule(op, Action::Refuse));
    ASSERT_TRUE(WriteBytes(root + L"\\C\\x", "x"));
    ConnectAll();
    // A message waiting in the queue shows whether a request waited: the
    // wait would dispatch it.
    MessageProbe probe;
    probe.Post();

    DWORD handle = 0xDEAD;
    EXPECT_EQ(remote::StatusNotAccepted, link.DirOpen(L"C:\\", &handle));
    EXPECT_EQ(0xDEADu, handle);
    remote::RemoteEntry entry;
    memset(&entry, 0x5A, sizeof(entry));
    EXPECT_EQ(remote::StatusNotAccepted, link.DirRead(1, &entry));
    EXPECT_EQ(remote::StatusNotAccepted, link.EntryInfo(L"C:\\x", &entry));
    EXPECT_TRUE(AllBytes(&entry, sizeof(entry), 0x5A));
    remote::RemoteVolume volume;
    memset(&volume, 0x5A, sizeof(volume));
    EXPECT_EQ(remote::StatusNotAccepted, link.VolumeInfo(2, &volume));
    EXPECT_TRUE(AllBytes(&volume, sizeof(volume), 0x5A));
    EXPECT_EQ(remote::StatusNotAccepted, link.FileDelete(L"C:\\x"));
    EXPECT_TRUE(Exists(root + L"\\C\\x"));
    for (Op op : refused) EXPECT_EQ(1u, emu->Count(op)) << phone_emu::OpName(op);

    // An accepted request waits, dispatching what is queued meanwhile.
    emu->Options().rules.clear();
    EXPECT_EQ(remote::StatusOk, link.VolumeInfo(2, &volume));
    EXPECT_EQ(1, volume.validMark);
    EXPECT_EQ(1, probe.dispatched);
}

TEST_F(LinkTest, EndOfListingHandsBackThePreviousEntry)
{
    ASSERT_TRUE(WriteBytes(root + L"\\C\\a.txt", "abc"));
    ConnectAll();

    DWORD handle = 0;
    ASSERT_EQ(remote::StatusOk, link.DirOpen(L"C:\\", &handle));
    remote::RemoteEntry first;
    memset(&first, 0, sizeof(first));
    ASSERT_EQ(remote::StatusOk, link.DirRead(handle, &first));
    EXPECT_STREQ(L"a.txt", first.name);
    EXPECT_EQ(3u, first.size);

    remote::RemoteEntry again;
    memset(&again, 0x33, sizeof(again));
    EXPECT_EQ(remote::StatusEndOfList, link.DirRead(handle, &again));
    EXPECT_EQ(0, memcmp(&first, &again, sizeof(first)));
    EXPECT_EQ(remote::StatusOk, link.DirClose(handle));
    EXPECT_EQ(0, emu->Counters().openEnumerations);

    // Another failure status on a record request behaves the same way.
    EXPECT_NE(remote::StatusOk, link.EntryInfo(L"C:\\missing.txt", &again));
    EXPECT_EQ(0, memcmp(&first, &again, sizeof(first)));
}

TEST_F(LinkTest, CopyProgressAndCancel)
{
    std::string data(10000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7);
    ASSERT_TRUE(WriteBytes(pc + L"\\f.bin", data));
    emu->Options().chunkSize = 1000;
    ConnectAll();

    // No progress function: every notice answers "go on".
    EXPECT_EQ(remote::StatusOk, link.FileCopy((pc + L"\\f.bin").c_str(), L"C:\\f.bin",
                                              remote::CopyToPhone, 0, nullptr, nullptr));
    EXPECT_EQ(10, emu->Journal(Op::FileCopy)[0].progressNotices);
    EXPECT_EQ(data, ReadBytes(root + L"\\C\\f.bin"));

    // A function that answers 0 cancels; nothing of the target is left.
    ProgressLog log;
    log.cancelAt = 2;
    EXPECT_EQ(remote::StatusCancelled,
              link.FileCopy(L"C:\\f.bin", (pc + L"\\back.bin").c_str(), remote::CopyFromPhone, 0,
                            LogProgress, &log));
    EXPECT_EQ((std::vector<int>{10, 20}), log.values);
    EXPECT_FALSE(Exists(pc + L"\\back.bin"));
    EXPECT_EQ(1, CountEntries(pc));
}

// A server that refuses a request and completes it all the same: its late
// completion must end neither the next request nor shift the ones after.
TEST_F(LinkTest, LateCompletionOfARefusedRequestShiftsNothing)
{
    ASSERT_TRUE(WriteBytes(root + L"\\C\\a.txt", "a"));
    ASSERT_TRUE(WriteBytes(root + L"\\C\\b.txt", "b"));
    Rule late = MakeRule(Op::DirRead, Action::RefuseButComplete);
    late.occurrence = 1;
    emu->Options().rules.push_back(late);
    ConnectAll();

    DWORD handle = 0;
    ASSERT_EQ(remote::StatusOk, link.DirOpen(L"C:\\", &handle));
    remote::RemoteEntry entry;
    EXPECT_EQ(remote::StatusNotAccepted, link.DirRead(handle, &entry));  // read a.txt late
    ASSERT_EQ(remote::StatusOk, link.DirRead(handle, &entry));
    EXPECT_STREQ(L"b.txt", entry.name);
    EXPECT_EQ(remote::StatusEndOfList, link.DirRead(handle, &entry));
    EXPECT_EQ(remote::StatusOk, link.DirClose(handle));
    EXPECT_EQ(0, emu->Counters().pendingWork);
}

TEST_F(LinkTest, RequestsFromAnotherThreadWork)
{
    ConnectAll();
    DWORD mask = 0;
    LONG status = 1;
    remote::RemoteVolume volume{};
    ASSERT_TRUE(RunOnOwnThread([&] {
        status = link.DriveList(&mask);
        if (status == remote::StatusOk) status = link.VolumeInfo(2, &volume);
    }));
    EXPECT_EQ(remote::StatusOk, status);
    EXPECT_EQ(DrivesCE, mask);
    EXPECT_EQ(1, volume.validMark);

    mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);
}

// A server of our own making for what the emulator never does: success
// completions without their record, and callbacks on the empty slots while a
// request waits. Every request completes inside its call.
class HostileServer final : public StackServer {
public:
    remote::IRemoteFsSink* sink_ = nullptr;
    int entryInfos = 0;

    HRESULT STDMETHODCALLTYPE Advise(remote::IRemoteFsSink* sink, DWORD, DWORD* cookie,
                                     LONG* accepted) override
    {
        sink_ = sink;
        *cookie = 1;
        *accepted = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VolumeInfo(DWORD, LONG, LONG) override
    {
        sink_->OnVolumeInfo(remote::StatusOk, nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DirRead(DWORD, LONG, DWORD) override
    {
        sink_->OnDirRead(remote::StatusOk, nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DirClose(DWORD, LONG, DWORD) override
    {
        remote::IRemoteFsSink* s = sink_;
        s->Unused3(1);
        s->Unused4(1);
        s->Unused7(1);
        s->Unused14(1);
        s->Unused17(1);
        s->Unused18(1, 2);
        s->Unused20(1, 2);
        s->Unused21(1);
        s->Unused22(1, 2, 3);
        s->Unused23(1);
        s->Unused24(1);
        s->Unused25(1, 2);
        s->Unused26(1, 2);
        // Completions of other kinds, and a record nobody asked for.
        remote::RemoteEntry stray{};
        s->OnFileCopy(remote::StatusOk);
        s->OnDriveList(remote::StatusOk, 1);
        s->OnDirRead(remote::StatusOk, &stray);
        s->OnRecord(remote::StatusOk, reinterpret_cast<const BYTE*>(&stray));
        s->OnDirClose(-42);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EntryInfo(DWORD, LONG, const WCHAR*) override
    {
        ++entryInfos;
        sink_->OnEntryInfo(remote::StatusOk, nullptr);
        return S_OK;
    }
};

// A success without its record fails that one request and writes nothing;
// the link goes on, so a listing that met one still closes its handle.
TEST(LinkCallbacks, SuccessWithoutARecordFailsThatRequestAlone)
{
    CoInitialize(nullptr);
    HostileServer server;
    PhoneLink link;
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &server));

    remote::RemoteVolume volume;
    memset(&volume, 0x5A, sizeof(volume));
    EXPECT_EQ(remote::StatusNotAccepted, link.VolumeInfo(2, &volume));
    EXPECT_EQ(0x5A5A, volume.validMark);  // untouched

    remote::RemoteEntry entry;
    memset(&entry, 0x5A, sizeof(entry));
    EXPECT_EQ(remote::StatusNotAccepted, link.EntryInfo(L"C:\\x", &entry));
    EXPECT_EQ(remote::StatusNotAccepted, link.DirRead(1, &entry));
    EXPECT_EQ(0x5A5A5A5Au, entry.size);
    EXPECT_EQ(1, server.entryInfos);
    EXPECT_EQ(LinkServes, link.Loss());
    EXPECT_EQ(-42, link.DirClose(1));

    link.Disconnect();
    CoUninitialize();
}

TEST(LinkCallbacks, EmptySlotsAndOtherKindsOfCompletionWakeNobody)
{
    CoInitialize(nullptr);
    HostileServer server;
    PhoneLink link;
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &server));

    // Called while a request waits: the request still ends on its own completion.
    EXPECT_EQ(-42, link.DirClose(1));

    link.Disconnect();
    CoUninitialize();
}

}  // namespace

namespace {

// A request the server completes inside its call and then refuses answers -1
// and writes nothing; what it completed ends no later request.
TEST_F(LinkTest, CompletedInsideTheCallYetRefusedIsRefused)
{
    for (Op op : {Op::DirOpen, Op::EntryInfo}) {
        Rule r = MakeRule(op, Action::CompleteInsideButRefuse);
        r.occurrence = 1;
        emu->Options().rules.push_back(r);
    }
    ASSERT_TRUE(WriteBytes(root + L"\\C\\f.txt", "abc"));
    ConnectAll();

    DWORD handle = 0xABCD;
    EXPECT_EQ(remote::StatusNotAccepted, link.DirOpen(L"C:\\", &handle));
    EXPECT_EQ(0xABCDu, handle);
    // The next one completes through the queue and waits for its own.
    EXPECT_EQ(remote::StatusOk, link.DirOpen(L"E:\\", &handle));
    ASSERT_EQ(2u, emu->Journal(Op::DirOpen).size());
    EXPECT_EQ(emu->Journal(Op::DirOpen)[1].resultValue, handle);
    EXPECT_EQ(remote::StatusOk, link.DirClose(handle));

    remote::RemoteEntry entry;
    memset(&entry, 0x5A, sizeof(entry));
    EXPECT_EQ(remote::StatusNotAccepted, link.EntryInfo(L"C:\\f.txt", &entry));
    EXPECT_TRUE(AllBytes(&entry, sizeof(entry), 0x5A));
    EXPECT_EQ(remote::StatusOk, link.EntryInfo(L"C:\\f.txt", &entry));
    EXPECT_EQ(3u, entry.size);
}

// Every status a server sends is the server's: values the link once used for
// its own outcomes neither drop the link nor pass for a stop.
TEST_F(LinkTest, AnyServerStatusLeavesTheLinkServing)
{
    Rule open = MakeRule(Op::DirOpen, Action::ForceStatus);
    open.status = -102;
    Rule copy = MakeRule(Op::FileCopy, Action::ForceStatus);
    copy.status = -103;
    emu->Options().rules = {open, copy};
    ConnectAll();

    DWORD handle = 0;
    EXPECT_EQ(-102, link.DirOpen(L"C:\\", &handle));
    EXPECT_EQ(LinkServes, link.Loss());
    EXPECT_EQ(-103, link.FileCopy(L"C:\\a", L"C:\\b", remote::CopyFromPhone, 0, nullptr, nullptr));
    EXPECT_EQ(LinkServes, link.Loss());
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
}

// A slow server is waited for without asking it anything that changes what
// it keeps: one that holds a single registration per object would otherwise
// lose the link's, and the completion would go nowhere.
TEST_F(LinkTest, WaitingTouchesNoRegistration)
{
    emu->Options().oneRegistration = true;
    emu->Options().delayMs = 1300;
    ConnectAll();
    Watchdog watchdog("DriveList from a slow server that keeps one registration");
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);
    EXPECT_EQ(1, emu->Counters().advises);
}

// Gives up as soon as the server has been quiet for a while.
struct StopWhenQuiet : WaitWatcher {
    DWORD limit;
    explicit StopWhenQuiet(DWORD ms) : limit(ms) {}
    bool KeepWaiting(DWORD quietMs) override { return quietMs < limit; }
    void WaitEnded() override {}
};

// A copy stopped while its server sends no progress is asked to cancel at
// the next notice; it ends as cancelled and the link goes on.
TEST_F(LinkTest, StoppingACopyAsksTheServerToCancelAndKeepsTheLink)
{
    emu->Options().chunkSize = 100;
    emu->Options().delayMs = 700;
    ASSERT_TRUE(WriteBytes(pc + L"\\f.bin", std::string(1000, 'x')));
    ConnectAll();
    StopWhenQuiet watcher(300);
    link.SetWatcher(&watcher);
    EXPECT_EQ(remote::StatusCancelled,
              link.FileCopy((pc + L"\\f.bin").c_str(), L"C:\\f.bin", remote::CopyToPhone, 0,
                            nullptr, nullptr));
    link.SetWatcher(nullptr);
    EXPECT_EQ(LinkServes, link.Loss());
    EXPECT_FALSE(Exists(root + L"\\C\\f.bin"));
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
}

}  // namespace

// Across processes, a request made as soon as a callback has returned can
// reach a single-threaded server before COM's reply to that callback does,
// and a strict server refuses it. Once the server has refused one, every
// request after a callback waits for the reply to land: a listing pays for
// about one refusal, not for one in every few reads (each costs a drain).
// The emulator counts its lag from when its own thread, this test's, takes
// the reply in, and a busy machine now and then keeps that thread off the
// processor for longer than the link's pause just then: so the bound is a
// few refusals, not exactly one (0 to 2 in each of 120 runs, idle or with
// every core busy), while without the pause 8 to 38 of the 40 reads are
// refused.
TEST_F(LinkTest, AServerStillInItsCallbackRefusesOneReadOfAListingNotMore)
{
    const int files = 40;
    for (int i = 0; i < files; ++i)
        ASSERT_TRUE(WriteBytes(root + L"\\C\\f" + std::to_wstring(i) + L".txt", "x"));
    emu->Options().strict = true;
    emu->Options().replyLagUs = 300;
    ConnectAll();

    DWORD handle = 0;
    ASSERT_EQ(remote::StatusOk, link.DirOpen(L"C:\\", &handle));
    remote::RemoteEntry batch[ReadBatchMax];
    int read = 0, got = 0;
    LONG status;
    while ((status = link.DirReadSome(handle, batch, ReadBatchMax, &got)) ==
           remote::StatusOk)
        read += got;
    EXPECT_EQ(remote::StatusEndOfList, status);
    EXPECT_EQ(files, read + got);
    EXPECT_EQ(remote::StatusOk, link.DirClose(handle));
    EXPECT_LE(emu->Counters().requestsInsideCallback, 3);
}

namespace {

// A single-threaded server as the link meets it right after a callback: its
// drive list completes inside the call, and the request that follows is
// refused, only once the user has stopped it: a copy after the progress
// notice that asks to cancel, a delete after the wait was given up (when
// `release` is set). Asked again, either would be carried out: the delete
// removes `file`.
class LateRefusalServer final : public StackServer {
public:
    std::wstring file;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int copies = 0, deletes = 0;
    remote::IRemoteFsSink* sink = nullptr;

    HRESULT STDMETHODCALLTYPE Advise(remote::IRemoteFsSink* s, DWORD, DWORD* cookie,
                                     LONG* accepted) override
    {
        sink = s;
        *cookie = 3;
        *accepted = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DriveList(DWORD, LONG) override
    {
        sink->OnDriveList(remote::StatusOk, DrivesCE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FileCopy(DWORD, const WCHAR*, const WCHAR*, LONG, LONG) override
    {
        if (++copies > 1) {
            sink->OnFileCopy(remote::StatusOk);
            return S_OK;
        }
        for (int i = 0; i < 500; ++i) {
            LONG cancel = 0;
            sink->OnCopyProgress(1, &cancel);
            if (cancel) break;
            Sleep(10);
        }
        return phone_emu::CallRefused;
    }
    HRESULT STDMETHODCALLTYPE FileDelete(DWORD, LONG, const WCHAR*) override
    {
        if (++deletes == 1) {
            WaitForSingleObject(release, 20000);
            return phone_emu::CallRefused;
        }
        DeleteFileW(file.c_str());
        sink->OnFileDelete(remote::StatusOk);
        return S_OK;
    }
};

int CancelAtOnce(int, void*) { return 0; }

// A request refused right after a callback is asked once more, but not once
// the user has stopped it (a copy cancelled) or given its wait up (Esc in
// the waiting box): nothing more of it reaches the server, so a delete the
// user stopped does not happen after all.
TEST_F(LinkTest, AStoppedRequestIsNotAskedAgain)
{
    // Never freed: the thread given up on may still call it after the test.
    LateRefusalServer& server = *new LateRefusalServer;
    server.file = root + L"\\C\\keep.txt";
    ASSERT_TRUE(WriteBytes(server.file, "keep"));
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &server));
    Watchdog watchdog("a stopped copy and a delete given up on");

    DWORD mask = 0;
    ASSERT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(remote::StatusCancelled, link.FileCopy(L"C:\\a", L"D:\\a", remote::CopyFromPhone,
                                                     0, CancelAtOnce, nullptr));
    EXPECT_EQ(1, server.copies);
    EXPECT_EQ(LinkServes, link.Loss());

    ASSERT_EQ(remote::StatusOk, link.DriveList(&mask));
    StopWhenQuiet watcher(300);
    link.SetWatcher(&watcher);
    EXPECT_EQ(remote::StatusNotAccepted, link.FileDelete(L"C:\\keep.txt"));
    EXPECT_EQ(LinkAbandoned, link.Loss());
    link.SetWatcher(nullptr);
    // The call returns refused only now; the thread given up on is let end.
    SetEvent(server.release);
    link.Disconnect();
    EXPECT_EQ(1, server.deletes);
    EXPECT_TRUE(Exists(server.file));
}

}  // namespace
