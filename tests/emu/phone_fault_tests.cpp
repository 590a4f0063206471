// The emulator's connection protocol, COM registration and fault options.
#include "phone_test_support.h"

#include <thread>

using namespace phone_test;
using phone_emu::Action;
using phone_emu::Op;
using phone_emu::Rule;

namespace {

Rule MakeRule(Op op, Action action, LONG status = 0, const wchar_t* pathContains = L"",
              int occurrence = 0) {
    Rule r;
    r.op = op;
    r.action = action;
    r.status = status;
    r.pathContains = pathContains;
    r.occurrence = occurrence;
    return r;
}

}  // namespace

TEST_F(PhoneTest, AdviseHoldsOneSinkReferenceUntilUnadvise) {
    EXPECT_EQ(2, sink.refs);
    EXPECT_EQ(1, emu->SinkReferences());
    EXPECT_EQ(S_OK, server->Unadvise(cookie));
    EXPECT_EQ(1, sink.refs);
    EXPECT_EQ(0, emu->SinkReferences());
    EXPECT_NE(S_OK, server->Unadvise(cookie));  // only once
    EXPECT_NE(S_OK, server->DriveList(cookie, 0));
    EXPECT_EQ(1, emu->Counters().unadvises);
    cookie = 0;
}

TEST_F(PhoneTest, UnadviseDropsQueuedWorkAndItsPartialCopy) {
    ASSERT_TRUE(WriteBytes(pc + L"\\f.bin", Pattern(100000, 4)));
    emu->Options().chunkSize = 1000;
    ASSERT_EQ(S_OK, server->FileCopy(cookie, (pc + L"\\f.bin").c_str(), L"C:\\f.bin",
                                     remote::CopyToPhone, 0));
    // Let a few chunks run, then go away mid-copy.
    for (int i = 0; i < 5; ++i) {
        MSG msg;
        if (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }
    EXPECT_GE(sink.progress.size(), 3u);
    EXPECT_EQ(S_OK, server->Unadvise(cookie));
    cookie = 0;
    EXPECT_FALSE(PumpUntil(sink, 1, 100));
    EXPECT_EQ(0, emu->Counters().pendingWork);
    EXPECT_TRUE(Names(root + L"\\C").empty());
}

TEST_F(PhoneTest, RequestsFromAnotherThreadFailAtOnce) {
    HRESULT hr = S_OK;
    std::thread other([&] { hr = server->DriveList(cookie, 0); });
    other.join();
    EXPECT_EQ(RPC_E_WRONG_THREAD, hr);
    EXPECT_FALSE(PumpUntil(sink, 1, 100));
    auto j = emu->Journal(Op::DriveList);
    ASSERT_EQ(1u, j.size());
    EXPECT_EQ(RPC_E_WRONG_THREAD, j[0].callResult);
    EXPECT_NE(S_OK, server->DriveList(cookie + 1, 0));
}

TEST_F(PhoneTest, AdviseOptionsAndSinkCheck) {
    phone_emu::PhoneEmulator& e = *emu;
    remote::IRemoteFs* other = e.CreateServer(1);
    TestSink s;
    DWORD c = 0;
    LONG accepted = 7;
    e.Options().adviseFails = true;
    EXPECT_EQ(E_FAIL, other->Advise(&s, GetCurrentThreadId(), &c, &accepted));
    EXPECT_EQ(1, s.refs);
    e.Options().adviseFails = false;

    s.acceptIndex = 0;  // a generation-1 sink offered to a generation-2 server
    EXPECT_EQ(E_NOINTERFACE, other->Advise(&s, GetCurrentThreadId(), &c, &accepted));
    EXPECT_EQ(1, s.refs);
    s.acceptIndex = 1;

    e.Options().adviseDeclines = true;
    EXPECT_EQ(S_OK, other->Advise(&s, GetCurrentThreadId(), &c, &accepted));
    EXPECT_EQ(0, accepted);
    EXPECT_NE(0u, c);
    e.Options().adviseDeclines = false;
    e.Options().releaseSinkTwice = true;
    EXPECT_EQ(S_OK, other->Unadvise(c));
    EXPECT_EQ(0, s.refs);  // one reference too many given back
    e.Options().releaseSinkTwice = false;
    EXPECT_EQ(4, e.Counters().advises);
    other->Release();
}

TEST_F(PhoneTest, RefuseForceAndNeverCompleteRules) {
    auto& rules = emu->Options().rules;
    rules.push_back(MakeRule(Op::DirMake, Action::Refuse, 0, L"refused"));
    rules.push_back(MakeRule(Op::DirMake, Action::ForceStatus, -42, L"\\d", 2));
    rules.push_back(MakeRule(Op::FileDelete, Action::NeverComplete));

    EXPECT_EQ(1000 + phone_emu::CallRefused,
              Run([&] { return server->DirMake(cookie, 0, L"C:\\refused"); }));
    EXPECT_FALSE(Exists(root + L"\\C\\refused"));
    EXPECT_EQ(0, Run([&] { return server->DirMake(cookie, 0, L"C:\\d1"); }));
    EXPECT_EQ(-42, Run([&] { return server->DirMake(cookie, 0, L"C:\\d2"); }));
    EXPECT_FALSE(Exists(root + L"\\C\\d2"));  // a forced status skips the work
    EXPECT_EQ(0, Run([&] { return server->DirMake(cookie, 0, L"C:\\d3"); }));

    ASSERT_TRUE(WriteBytes(root + L"\\C\\keep", "k"));
    EXPECT_EQ(2000, Run([&] { return server->FileDelete(cookie, 0, L"C:\\keep"); }, 200));
    EXPECT_TRUE(Exists(root + L"\\C\\keep"));
    auto j = emu->Journal(Op::FileDelete);
    ASSERT_EQ(1u, j.size());
    EXPECT_EQ(S_OK, j[0].callResult);
    EXPECT_FALSE(j[0].completed);
    EXPECT_EQ(4u, emu->Count(Op::DirMake));
}

TEST_F(PhoneTest, CompleteInsideCallRunsAWholeCopyBeforeReturning) {
    emu->Options().rules.push_back(MakeRule(Op::Any, Action::CompleteInsideCall));
    ASSERT_TRUE(WriteBytes(pc + L"\\s.bin", Pattern(5000, 5)));
    emu->Options().chunkSize = 1000;
    sink.inCall = true;
    EXPECT_EQ(S_OK, server->FileCopy(cookie, (pc + L"\\s.bin").c_str(), L"E:\\s.bin",
                                     remote::CopyToPhone, 0));
    sink.inCall = false;
    EXPECT_EQ(1, sink.completedInCall);
    EXPECT_EQ(0, sink.status);
    EXPECT_EQ(5u, sink.progress.size());
    EXPECT_EQ(Pattern(5000, 5), ReadBytes(root + L"\\E\\s.bin"));
    EXPECT_TRUE(emu->Journal(Op::FileCopy)[0].completedInsideCall);
}

TEST_F(PhoneTest, ProgressNoticesAreSpreadEvenly) {
    emu->Options().progressNotices = 5;
    ASSERT_TRUE(WriteBytes(pc + L"\\p.bin", Pattern(12345, 6)));
    ASSERT_EQ(0, Copy(pc + L"\\p.bin", L"C:\\p.bin", remote::CopyToPhone, 0));
    EXPECT_EQ((std::vector<LONG>{20, 40, 60, 80, 100}), sink.progress);
    EXPECT_EQ(Pattern(12345, 6), ReadBytes(root + L"\\C\\p.bin"));
}

TEST_F(PhoneTest, ExtraEntriesAreServedByteForByte) {
    ASSERT_TRUE(WriteBytes(root + L"\\C\\real", "r"));
    remote::RemoteEntry full = phone_emu::MakeEntry(L"");
    for (auto& ch : full.name) ch = L'n';
    for (auto& ch : full.shortName) ch = L's';
    emu->Options().extraEntriesDir = L"c:";
    emu->Options().extraEntries = {phone_emu::MakeEntry(L".."), phone_emu::MakeEntry(L"a/b"), full};

    LONG end = 0;
    auto entries = List(L"C:\\", &end);
    EXPECT_EQ(remote::StatusEndOfList, end);
    ASSERT_EQ(4u, entries.size());
    EXPECT_STREQ(L"real", entries[0].name);
    EXPECT_STREQ(L"..", entries[1].name);
    EXPECT_STREQ(L"a/b", entries[2].name);
    EXPECT_EQ(0, memcmp(&full, &entries[3], sizeof full));

    auto e = List(L"E:\\", &end);  // other directories are left alone
    EXPECT_TRUE(e.empty());
}

TEST_F(PhoneTest, ListingFailsAfterKEntriesWhenTold) {
    for (int i = 0; i < 4; ++i) WriteBytes(root + L"\\E\\f" + std::to_wstring(i), "x");
    emu->Options().rules.push_back(MakeRule(Op::DirRead, Action::ForceStatus, -9, L"E:", 3));
    LONG end = 0;
    auto entries = List(L"E:\\", &end);
    EXPECT_EQ(-9, end);
    EXPECT_EQ(2u, entries.size());
    EXPECT_EQ(1u, emu->Count(Op::DirClose));
    EXPECT_EQ(0, emu->Counters().openEnumerations);
}

TEST_F(PhoneTest, OverridesReplaceDriveMaskAndVolume) {
    emu->Options().overrideDriveMask = true;
    emu->Options().driveMask = 0x80000001;
    ASSERT_EQ(0, Run([&] { return server->DriveList(cookie, 0); }));
    EXPECT_EQ(0x80000001u, sink.value);

    phone_emu::VolumeOverride v;
    v.driveIndex = 3;  // no folder behind it
    v.volume.kindCode = 99;
    memcpy(v.volume.tagText, "TAGTAGTA", 8);
    emu->Options().volumes.push_back(v);
    ASSERT_EQ(0, Run([&] { return server->VolumeInfo(cookie, 0, 3); }));
    EXPECT_EQ(0, memcmp(&v.volume, &sink.volume, sizeof v.volume));
}

TEST_F(PhoneTest, DelayHoldsTheCompletionBack) {
    emu->Options().delayMs = 150;
    DWORD start = GetTickCount();
    ASSERT_EQ(S_OK, server->DriveList(cookie, 0));
    EXPECT_FALSE(PumpUntil(sink, 1, 50));
    ASSERT_TRUE(PumpUntil(sink, 1, 2000));
    EXPECT_GE(GetTickCount() - start, 140u);
}

TEST(PhoneRegistration, PlugInStyleCreationFindsOnlyRegisteredGenerations) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring root = MakeTempFolder();
    CreateDirectoryW((root + L"\\C").c_str(), nullptr);
    {
        phone_emu::PhoneEmulator emu(root);
        ASSERT_EQ(S_OK, emu.Register(1));
        void* p = nullptr;
        EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(remote::ServerClassIds[0], nullptr,
                                                        CLSCTX_LOCAL_SERVER, remote::RemoteFsIds[0], &p));
        ASSERT_EQ(S_OK, CoCreateInstance(remote::ServerClassIds[1], nullptr, CLSCTX_LOCAL_SERVER,
                                         remote::RemoteFsIds[1], &p));
        auto server = static_cast<remote::IRemoteFs*>(p);
        IUnknown* unknown = nullptr;
        EXPECT_EQ(S_OK, server->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
        unknown->Release();
        EXPECT_EQ(1, emu.Counters().serversCreated);

        TestSink sink;
        DWORD cookie = 0;
        LONG accepted = 0;
        ASSERT_EQ(S_OK, server->Advise(&sink, GetCurrentThreadId(), &cookie, &accepted));
        ASSERT_EQ(S_OK, server->DriveList(cookie, 0));
        ASSERT_TRUE(PumpUntil(sink, 1));
        EXPECT_EQ(1u << 2, sink.value);
        server->Unadvise(cookie);
        server->Release();
        EXPECT_EQ(0, emu.Counters().serversAlive);
        EXPECT_EQ(1, sink.refs);

        emu.Revoke(1);
        EXPECT_FALSE(emu.IsRegistered(1));
        EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(remote::ServerClassIds[1], nullptr,
                                                        CLSCTX_LOCAL_SERVER, remote::RemoteFsIds[1], &p));
    }
    RemoveTree(root);
    CoUninitialize();
}

// A single-threaded server is busy while it calls the sink: a request made
// from inside that call, whether the completion came later or inside the
// request call itself, is refused, never carried out, and counted.
TEST_F(PhoneTest, AStrictServerRefusesRequestsMadeInsideItsCallbacks) {
    emu->Options().strict = true;
    emu->Options().rules.push_back(MakeRule(Op::DirRemove, Action::CompleteInsideCall));
    std::vector<HRESULT> inside;
    int more = 2;  // requests still to make from inside a completion
    sink.onCompletion = [&] {
        if (more-- > 0) inside.push_back(server->DirMake(cookie, 0, L"C:\\inner"));
    };
    ASSERT_EQ(0, Run([&] { return server->DirMake(cookie, 0, L"C:\\d"); }));
    ASSERT_EQ(0, Run([&] { return server->DirRemove(cookie, 0, L"C:\\d\\"); }));
    EXPECT_EQ((std::vector<HRESULT>{phone_emu::CallRefused, phone_emu::CallRefused}), inside);
    EXPECT_FALSE(Exists(root + L"\\C\\inner"));
    EXPECT_FALSE(PumpUntil(sink, 3, 100));
    EXPECT_EQ(2, emu->Counters().requestsInsideCallback);
    auto j = emu->Journal(Op::DirMake);
    ASSERT_EQ(3u, j.size());
    EXPECT_TRUE(j[1].insideCallback);
    EXPECT_EQ(phone_emu::CallRefused, j[1].callResult);
    EXPECT_FALSE(j[0].insideCallback);

    // Not strict: still counted, but carried out.
    emu->Options().strict = false;
    inside.clear();
    more = 1;
    int before = sink.completions;
    ASSERT_EQ(0, Run([&] { return server->DriveList(cookie, 0); }));
    ASSERT_TRUE(PumpUntil(sink, before + 2));  // the inner request's own completion
    EXPECT_EQ(S_OK, inside.at(0));
    EXPECT_TRUE(Exists(root + L"\\C\\inner"));
    EXPECT_EQ(3, emu->Counters().requestsInsideCallback);
}

TEST_F(PhoneTest, CompleteInsideCallOptionTakesItsTimeInsideTheCall) {
    emu->Options().completeInsideCall = true;
    emu->Options().delayMs = 100;
    emu->Options().chunkSize = 1000;
    ASSERT_TRUE(WriteBytes(pc + L"\\s.bin", Pattern(3000, 8)));
    DWORD start = GetTickCount();
    sink.inCall = true;
    EXPECT_EQ(S_OK, server->FileCopy(cookie, (pc + L"\\s.bin").c_str(), L"C:\\s.bin",
                                     remote::CopyToPhone, 0));
    sink.inCall = false;
    EXPECT_GE(GetTickCount() - start, 290u);  // three chunks, each after the delay
    EXPECT_EQ(1, sink.completedInCall);
    EXPECT_EQ((std::vector<LONG>{33, 66, 100}), sink.progress);
    EXPECT_EQ(Pattern(3000, 8), ReadBytes(root + L"\\C\\s.bin"));
    EXPECT_EQ(0, Run([&] { return server->DriveList(cookie, 0); }));
    EXPECT_EQ(2, sink.completedInCall);
}

TEST_F(PhoneTest, CompleteInsideButRefuseCompletesAndThenRefuses) {
    emu->Options().rules.push_back(MakeRule(Op::DirOpen, Action::CompleteInsideButRefuse));
    EXPECT_EQ(1000 + phone_emu::CallRefused, Run([&] { return server->DirOpen(cookie, 0, L"C:\\"); }));
    EXPECT_EQ(1, sink.completedInCall);
    EXPECT_EQ(0, sink.status);
    EXPECT_NE(0u, sink.value);
    EXPECT_EQ(1, emu->Counters().openEnumerations);  // the handle is real
    auto j = emu->Journal(Op::DirOpen);
    EXPECT_EQ(phone_emu::CallRefused, j.at(0).callResult);
    EXPECT_TRUE(j.at(0).completedInsideCall);
}

TEST_F(PhoneTest, SuccessWithoutRecordSendsANullRecord) {
    emu->Options().rules.push_back(MakeRule(Op::Any, Action::SuccessWithoutRecord));
    EXPECT_EQ(0, Run([&] { return server->VolumeInfo(cookie, 0, 2); }));
    EXPECT_EQ(0, Run([&] { return server->EntryInfo(cookie, 0, L"C:\\missing"); }));
    EXPECT_EQ(0, Run([&] { return server->DirRead(cookie, 0, 0x999); }));
    EXPECT_EQ(3, sink.nullRecords);
    EXPECT_EQ(0, Run([&] { return server->DirOpen(cookie, 0, L"C:\\"); }));
    EXPECT_EQ(0u, sink.value);
    EXPECT_EQ(0, emu->Counters().openEnumerations);  // the work was skipped
}

// Advise replaces the object's one registration and Unadvise removes it
// whatever the cookie: the first client's requests are then heard by nobody.
TEST_F(PhoneTest, OneRegistrationIsReplacedAndRemovedWhateverTheCookie) {
    emu->Options().oneRegistration = true;
    TestSink second;
    DWORD secondCookie = 0;
    LONG accepted = 0;
    ASSERT_EQ(S_OK, server->Advise(&second, GetCurrentThreadId(), &secondCookie, &accepted));
    EXPECT_NE(cookie, secondCookie);
    EXPECT_EQ(1, sink.refs);
    ASSERT_EQ(S_OK, server->DriveList(cookie, 0));
    ASSERT_TRUE(PumpUntil(second, 1));
    EXPECT_EQ(0, sink.completions);

    EXPECT_EQ(S_OK, server->Unadvise(secondCookie));
    EXPECT_EQ(1, second.refs);
    EXPECT_EQ(0, emu->SinkReferences());
    EXPECT_EQ(S_OK, server->DriveList(cookie, 0));
    EXPECT_FALSE(PumpUntil(second, 2, 200));
    EXPECT_EQ(0, sink.completions);
    EXPECT_FALSE(emu->Journal(Op::DriveList).at(1).completed);
}

TEST_F(PhoneTest, StrayAfterCompletionRepeatsTheCompletion) {
    emu->Options().strayAfterCompletion = true;
    std::vector<DWORD> handles;
    sink.onCompletion = [&] { handles.push_back(sink.value); };
    ASSERT_EQ(S_OK, server->DirOpen(cookie, 0, L"E:\\"));
    ASSERT_TRUE(PumpUntil(sink, 2));
    EXPECT_FALSE(PumpUntil(sink, 3, 100));
    ASSERT_EQ(2u, handles.size());
    EXPECT_NE(0u, handles[0]);
    EXPECT_EQ(handles[0], handles[1]);
    EXPECT_EQ(1, emu->Counters().openEnumerations);
}
