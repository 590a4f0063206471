// The strict server out of process: a client that makes a request from
// inside the server's completion call reaches a server still busy with that
// call, which refuses the request, counts it and says so in its log.
#include "e2e_support.h"
#include "emu/phone_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kelp_e2e {
namespace {

TEST_F(E2eTest, AStrictServerRefusesLogsAndCountsRequestsMadeInsideItsCallbacks)
{
    std::string log = tempRoot + "\\server.log";
    Serve(1, "--strict --log \"" + log + "\"");
    void* p = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(remote::ServerClassIds[0], nullptr, CLSCTX_LOCAL_SERVER,
                                     remote::RemoteFsIds[0], &p));
    auto server = static_cast<remote::IRemoteFs*>(p);
    phone_test::TestSink sink;
    DWORD cookie = 0;
    LONG accepted = 0;
    ASSERT_EQ(S_OK, server->Advise(&sink, GetCurrentThreadId(), &cookie, &accepted));

    HRESULT inside = S_OK;
    bool asked = false;
    sink.onCompletion = [&] {
        if (asked) return;
        asked = true;
        inside = server->DirOpen(cookie, 0, L"C:\\");
    };
    ASSERT_EQ(S_OK, server->DriveList(cookie, 0));
    ASSERT_TRUE(phone_test::PumpUntil(sink, 1));
    EXPECT_TRUE(asked);
    EXPECT_EQ(phone_emu::CallRefused, inside);
    // Made again once the completion call has surely returned to the server
    // (COM sends the reply from another thread: a request made at once can
    // overtake it), it is served.
    EXPECT_FALSE(phone_test::PumpUntil(sink, 2, 300));
    ASSERT_EQ(S_OK, server->DirOpen(cookie, 0, L"C:\\"));
    ASSERT_TRUE(phone_test::PumpUntil(sink, 2));
    EXPECT_EQ(0, sink.status);
    EXPECT_FALSE(phone_test::PumpUntil(sink, 3, 100));

    EXPECT_EQ(S_OK, server->DirClose(cookie, 0, sink.value));
    ASSERT_TRUE(phone_test::PumpUntil(sink, 3));
    EXPECT_EQ(S_OK, server->Unadvise(cookie));
    server->Release();
    CoDisconnectObject(&sink, 0);
    ASSERT_TRUE(WaitForNoServer(5000));

    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("] inside callback: DirOpen \"C:\\\" refused\n"))
        << text.str();
    EXPECT_NE(std::string::npos, text.str().find("] exit: 1 requests inside callbacks\n"))
        << text.str();
}

}  // namespace
}  // namespace kelp_e2e
