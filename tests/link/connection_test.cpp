// Connecting to the server, registering as its sink, and the sink's identity.
#include "link_test_support.h"

using namespace link_test;
using phone_emu::Op;

namespace {

TEST_F(LinkTest, ConnectsThroughTheFirstGenerationThatIsRegistered)
{
    ASSERT_EQ(S_OK, emu->Register(1));
    EXPECT_EQ(remote::StatusOk, link.Connect());
    ASSERT_NE(nullptr, link.server);

    auto advises = emu->Journal(Op::Advise);
    ASSERT_EQ(1u, advises.size());
    EXPECT_EQ(1, advises[0].generation);
    // The server checks its sink with QueryInterface for its own generation's
    // sink identifier before it accepts: S_OK means the link answered it.
    EXPECT_EQ(S_OK, advises[0].callResult);
    EXPECT_EQ(GetCurrentThreadId(), advises[0].threadId);
    EXPECT_EQ(advises[0].value, link.cookie);
    EXPECT_EQ(1, emu->Counters().serversCreated);
    EXPECT_EQ(1, emu->SinkReferences());

    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);
}

TEST_F(LinkTest, NoServerRegisteredMeansNoAdviseAndNoRequests)
{
    EXPECT_EQ(remote::StatusNoServer, link.Connect());
    EXPECT_EQ(nullptr, link.server);
    EXPECT_EQ(0, emu->Counters().advises);
    EXPECT_EQ(0, emu->Counters().serversCreated);

    DWORD mask = 0xABCD;
    EXPECT_EQ(remote::StatusNotAccepted, link.DriveList(&mask));
    EXPECT_EQ(0xABCDu, mask);
    remote::RemoteEntry entry;
    memset(&entry, 0x5A, sizeof(entry));
    EXPECT_EQ(remote::StatusNotAccepted, link.EntryInfo(L"C:\\a", &entry));
    EXPECT_EQ(0x5A5A5A5Au, entry.attributes);
    EXPECT_EQ(remote::StatusNotAccepted, link.FileCopy(L"C:\\a", L"D:\\a", remote::CopyFromPhone, 0,
                                                       nullptr, nullptr));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(link.doneEvent, 0));
}

TEST_F(LinkTest, DeclinedAdviseIsUndoneOnceWithItsCookie)
{
    emu->Options().adviseDeclines = true;
    ASSERT_EQ(S_OK, emu->RegisterAll());
    EXPECT_EQ(remote::StatusRefused, link.Connect());

    auto advises = emu->Journal(Op::Advise);
    auto unadvises = emu->Journal(Op::Unadvise);
    ASSERT_EQ(1u, advises.size());
    ASSERT_EQ(1u, unadvises.size());
    EXPECT_NE(0u, advises[0].value);
    EXPECT_EQ(advises[0].value, unadvises[0].value);
    EXPECT_EQ(S_OK, unadvises[0].callResult);

    phone_emu::Counters k = emu->Counters();
    EXPECT_EQ(1, k.serversCreated);
    EXPECT_EQ(0, k.serversAlive);  // the link's one reference was given back
    EXPECT_EQ(0, emu->SinkReferences());
    EXPECT_EQ(nullptr, link.server);
    EXPECT_EQ(0u, link.cookie);
    EXPECT_EQ(1, link.refCount);
}

TEST_F(LinkTest, FailedAdviseReleasesTheServerWithoutUnadvise)
{
    emu->Options().adviseFails = true;
    ASSERT_EQ(S_OK, emu->RegisterAll());
    EXPECT_EQ(remote::StatusRefused, link.Connect());
    EXPECT_EQ(1u, emu->Count(Op::Advise));
    EXPECT_EQ(0u, emu->Count(Op::Unadvise));
    EXPECT_EQ(0, emu->Counters().serversAlive);
    EXPECT_EQ(nullptr, link.server);
    EXPECT_EQ(0u, link.cookie);

    // The same link connects once the server accepts.
    emu->Options().adviseFails = false;
    EXPECT_EQ(remote::StatusOk, link.Connect());
}

TEST_F(LinkTest, ReconnectingDropsTheOldServerFirst)
{
    ConnectAll();
    DWORD firstCookie = link.cookie;
    ASSERT_EQ(remote::StatusOk, link.Connect());

    auto advises = emu->Journal(Op::Advise);
    auto unadvises = emu->Journal(Op::Unadvise);
    ASSERT_EQ(2u, advises.size());
    ASSERT_EQ(1u, unadvises.size());
    EXPECT_EQ(firstCookie, unadvises[0].value);
    EXPECT_LT(advises[0].id, unadvises[0].id);
    EXPECT_LT(unadvises[0].id, advises[1].id);
    EXPECT_EQ(advises[1].value, link.cookie);
    EXPECT_NE(firstCookie, link.cookie);

    phone_emu::Counters k = emu->Counters();
    EXPECT_EQ(2, k.serversCreated);
    EXPECT_EQ(1, k.serversAlive);
    EXPECT_EQ(1, emu->SinkReferences());

    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);
}

TEST_F(LinkTest, DisconnectIsHarmlessWhenRepeatedOrUnconnected)
{
    link.Disconnect();
    EXPECT_TRUE(emu->Journal().empty());

    ConnectAll();
    link.Disconnect();
    link.Disconnect();
    EXPECT_EQ(1u, emu->Count(Op::Unadvise));
    EXPECT_EQ(0, emu->Counters().serversAlive);
    EXPECT_EQ(0, emu->SinkReferences());
    EXPECT_EQ(nullptr, link.server);
    EXPECT_EQ(0u, link.cookie);
    EXPECT_EQ(1, link.refCount);

    DWORD mask = 0x77;
    EXPECT_EQ(remote::StatusNotAccepted, link.DriveList(&mask));
    EXPECT_EQ(0x77u, mask);
}

TEST_F(LinkTest, SinkAnswersIUnknownAndEverySinkIdentifier)
{
    IID known[] = {IID_IUnknown, remote::RemoteFsSinkIds[0], remote::RemoteFsSinkIds[1],
                   remote::RemoteFsSinkIds[2]};
    for (const IID& iid : known) {
        LONG before = link.refCount;
        void* out = nullptr;
        EXPECT_EQ(S_OK, link.QueryInterface(iid, &out));
        EXPECT_EQ(static_cast<remote::IRemoteFsSink*>(&link), out);
        EXPECT_EQ(before + 1, link.refCount);
    }

    IID unknown[] = {IID_IDispatch, IID_IClassFactory, remote::RemoteFsIds[0],
                     remote::ServerClassIds[1]};
    for (const IID& iid : unknown) {
        LONG before = link.refCount;
        void* out = &link;
        EXPECT_EQ(E_NOINTERFACE, link.QueryInterface(iid, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(before, link.refCount);
    }

    for (size_t i = 0; i < sizeof(known) / sizeof(known[0]); ++i) link.Release();
    EXPECT_EQ(1, link.refCount);
}

// A link whose destruction can be seen: if the link ever freed itself on a
// server's Release, the flag would be set while the panel still owns it.
class WatchedLink : public PhoneLink {
public:
    explicit WatchedLink(bool* destroyed) : destroyed_(destroyed) {}
    ~WatchedLink() override { *destroyed_ = true; }

private:
    bool* destroyed_;
};

TEST_F(LinkTest, ServerReleasingTooOftenNeverFreesTheLink)
{
    bool destroyed = false;
    WatchedLink* watched = new WatchedLink(&destroyed);
    watched->AddRef();  // the panel's reference

    emu->Options().releaseSinkTwice = true;
    ASSERT_EQ(S_OK, emu->RegisterAll());
    ASSERT_EQ(remote::StatusOk, watched->Connect());
    watched->Disconnect();
    EXPECT_LT(emu->SinkReferences(), 0);  // the server did over-release
    EXPECT_FALSE(destroyed);
    EXPECT_GE(watched->refCount, 1);

    for (int i = 0; i < 3; ++i) watched->Release();
    EXPECT_FALSE(destroyed);
    EXPECT_GE(watched->refCount, 1);

    // Still a working link.
    emu->Options().releaseSinkTwice = false;
    ASSERT_EQ(remote::StatusOk, watched->Connect());
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, watched->DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);

    delete watched;  // as the panel does
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(2u, emu->Count(Op::Unadvise));  // the destructor disconnected
}

}  // namespace
