// Connecting to the server, registering as its sink, and the sink's identity.
#include "link_test_support.h"
#include "watchdog.h"

using namespace link_test;
using phone_emu::Op;

namespace {

TEST_F(LinkTest, ConnectsThroughTheFirstGenerationThatIsRegistered)
{
    ASSERT_EQ(S_OK, emu->Register(1));
    EXPECT_EQ(remote::StatusOk, link.Connect());

    auto advises = emu->Journal(Op::Advise);
    ASSERT_EQ(1u, advises.size());
    EXPECT_EQ(1, advises[0].generation);
    // The server checks its sink with QueryInterface for its own generation's
    // sink identifier before it accepts: S_OK means the link answered it.
    EXPECT_EQ(S_OK, advises[0].callResult);
    // The link's own thread registered, not the one that asked it to connect.
    EXPECT_NE(0u, advises[0].threadId);
    EXPECT_NE(GetCurrentThreadId(), advises[0].threadId);
    EXPECT_EQ(1, emu->Counters().serversCreated);
    EXPECT_EQ(1, emu->SinkReferences());

    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);
}

TEST_F(LinkTest, NoServerRegisteredMeansNoAdviseAndNoRequests)
{
    EXPECT_EQ(StatusNoServer, link.Connect());
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
}

TEST_F(LinkTest, DeclinedAdviseIsUndoneOnceWithItsCookie)
{
    emu->Options().adviseDeclines = true;
    ASSERT_EQ(S_OK, emu->RegisterAll());
    EXPECT_EQ(StatusRefused, link.Connect());

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
}

TEST_F(LinkTest, FailedAdviseReleasesTheServerWithoutUnadvise)
{
    emu->Options().adviseFails = true;
    ASSERT_EQ(S_OK, emu->RegisterAll());
    EXPECT_EQ(StatusRefused, link.Connect());
    EXPECT_EQ(1u, emu->Count(Op::Advise));
    EXPECT_EQ(0u, emu->Count(Op::Unadvise));
    EXPECT_EQ(0, emu->Counters().serversAlive);

    // The same link connects once the server accepts.
    emu->Options().adviseFails = false;
    EXPECT_EQ(remote::StatusOk, link.Connect());
}

TEST_F(LinkTest, ReconnectingDropsTheOldServerFirst)
{
    ConnectAll();
    DWORD firstCookie = emu->Journal(Op::Advise)[0].value;
    ASSERT_EQ(remote::StatusOk, link.Connect());

    auto advises = emu->Journal(Op::Advise);
    auto unadvises = emu->Journal(Op::Unadvise);
    ASSERT_EQ(2u, advises.size());
    ASSERT_EQ(1u, unadvises.size());
    EXPECT_EQ(firstCookie, unadvises[0].value);
    EXPECT_LT(advises[0].id, unadvises[0].id);
    EXPECT_LT(unadvises[0].id, advises[1].id);
    EXPECT_NE(firstCookie, advises[1].value);

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

    DWORD mask = 0x77;
    EXPECT_EQ(remote::StatusNotAccepted, link.DriveList(&mask));
    EXPECT_EQ(0x77u, mask);
}

// Every panel gets a link, and so a thread, of its own: the seventieth link
// of a session (more than the 63 single-threaded apartments Wine takes calls
// for) connects and answers as the first did.
TEST_F(LinkTest, ManyLinksOneAfterAnotherAllConnect)
{
    ASSERT_EQ(S_OK, emu->RegisterAll());
    Watchdog watchdog("70 links to connect, list the drives and close in turn");
    for (int i = 0; i < 70; ++i) {
        PhoneLink another;
        ASSERT_EQ(remote::StatusOk, another.Connect()) << "link " << i;
        DWORD mask = 0;
        ASSERT_EQ(remote::StatusOk, another.DriveList(&mask)) << "link " << i;
        EXPECT_EQ(DrivesCE, mask);
    }
    EXPECT_EQ(0, emu->Counters().serversAlive);
    EXPECT_EQ(0, emu->SinkReferences());
}

// A server that only asks its sink who it is, as a server of any
// generation may, and keeps the answers.
class AskingServer final : public StackServer {
public:
    std::vector<HRESULT> answers;
    remote::IRemoteFsSink* held = nullptr;
    int releasesAtUnadvise = 0;  // more than the one reference it took: a faulty server

    HRESULT STDMETHODCALLTYPE Advise(remote::IRemoteFsSink* sink, DWORD, DWORD* cookie,
                                     LONG* accepted) override
    {
        IID asked[] = {IID_IUnknown, remote::RemoteFsSinkIds[0], remote::RemoteFsSinkIds[1],
                       remote::RemoteFsSinkIds[2], IID_IDispatch, IID_IClassFactory,
                       remote::RemoteFsIds[0], remote::ServerClassIds[1]};
        for (const IID& iid : asked) {
            void* out = &answers;
            HRESULT hr = sink->QueryInterface(iid, &out);
            answers.push_back(hr);
            if (hr == S_OK && out != static_cast<void*>(sink)) answers.back() = E_UNEXPECTED;
            if (hr != S_OK && out != nullptr) answers.back() = E_UNEXPECTED;
            if (hr == S_OK) sink->Release();
        }
        sink->AddRef();
        held = sink;
        *cookie = 5;
        *accepted = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override
    {
        for (int i = 0; i < releasesAtUnadvise && held; ++i) held->Release();
        held = nullptr;
        return S_OK;
    }
};

TEST_F(LinkTest, SinkAnswersIUnknownAndEverySinkIdentifier)
{
    AskingServer server;
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &server));
    link.Disconnect();
    std::vector<HRESULT> expected = {S_OK, S_OK, S_OK, S_OK,
                                     E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE};
    EXPECT_EQ(expected, server.answers);
}

// A server that releases the sink more often than it took it must not free
// what the link still uses: the link goes on, reconnects and works as before.
TEST_F(LinkTest, ServerReleasingTooOftenNeverFreesTheLink)
{
    AskingServer faulty;
    faulty.releasesAtUnadvise = 3;
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &faulty));
    link.Disconnect();
    ASSERT_EQ(remote::StatusOk, link.Connect(MakeGivenServer, &faulty));
    link.Disconnect();

    ConnectAll();
    DWORD mask = 0;
    EXPECT_EQ(remote::StatusOk, link.DriveList(&mask));
    EXPECT_EQ(DrivesCE, mask);
}

}  // namespace
