// The out-of-process phone server's processes under Wine, for the end-to-end
// tests and the benchmarks that start it through the registry.
#pragma once

#include <windows.h>

#include <vector>

namespace server_processes {

// PhoneServer.exe processes of this Wine session.
std::vector<DWORD> ServerProcesses();
bool WaitForNoServer(DWORD timeoutMs);
// Terminates every PhoneServer.exe; answers how many it ended.
int KillServers();
// Wine's RpcSs keeps a killed server's class registrations (and those of
// in-process servers of programs that have ended), so a later creation would
// be handed a dead one until it restarts (a Windows RpcSs has no such fault).
bool RestartRpcSs();

}  // namespace server_processes
