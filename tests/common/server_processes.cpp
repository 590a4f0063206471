#include "server_processes.h"

#include <tlhelp32.h>

namespace server_processes {

std::vector<DWORD> ServerProcesses()
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, L"PhoneServer.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

bool WaitForNoServer(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!ServerProcesses().empty()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

int KillServers()
{
    int killed = 0;
    for (DWORD id : ServerProcesses()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) continue;
        if (TerminateProcess(process, 9)) {
            WaitForSingleObject(process, 5000);
            ++killed;
        }
        CloseHandle(process);
    }
    return killed;
}

static bool WaitForServiceState(SC_HANDLE service, DWORD state)
{
    for (int i = 0; i < 200; ++i) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == state) return true;
        Sleep(25);
    }
    return false;
}

bool RestartRpcSs()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return false;
    SC_HANDLE service =
        OpenServiceW(manager, L"RpcSs", SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS);
    bool ok = false;
    if (service) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);  // fails if already stopped
        ok = WaitForServiceState(service, SERVICE_STOPPED) &&
             (StartServiceW(service, 0, nullptr) ||
              GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) &&
             WaitForServiceState(service, SERVICE_RUNNING);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return ok;
}

}  // namespace server_processes
