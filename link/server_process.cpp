// Which process serves the link, so that a quiet server can be told from a
// dead one without a call into it. Under Wine a call on a dead server's proxy
// that the proxy can answer by itself (QueryInterface, AddRef, Release)
// answers as if all were well, and every real call changes something the
// server keeps (a registration, a request); the server's process, though,
// can be watched from outside.
#include "link_thread.h"
#include "phone_link.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

// The file name of the program registered for the class: the LocalServer32
// command line up to ".exe", without its folder, quoted or not.
bool ServerProgram(const CLSID& clsid, char* name, int size)
{
    WCHAR guid[40];
    if (!StringFromGUID2(clsid, guid, 40)) return false;
    char key[80];
    snprintf(key, sizeof(key), "CLSID\\%ls\\LocalServer32", guid);
    char line[MAX_PATH * 2];
    LONG length = sizeof(line);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key, line, &length) != ERROR_SUCCESS) return false;
    line[sizeof(line) - 1] = 0;
    char* start = line[0] == '"' ? line + 1 : line;
    char* end = nullptr;
    for (char* p = start; *p && !end; ++p)
        if (_strnicmp(p, ".exe", 4) == 0) end = p + 4;
    if (!end) return false;
    *end = 0;
    char* base = strrchr(start, '\\');
    base = base ? base + 1 : start;
    if (!*base || (int)strlen(base) >= size) return false;
    memcpy(name, base, strlen(base) + 1);
    return true;
}

}  // namespace

// The one process running the class's registered program, opened to be
// waited on; null when there is none or more than one (then a quiet server
// is taken to be alive, and only a call that fails tells it is gone).
HANDLE OpenServerProcess(const CLSID& clsid)
{
    char program[MAX_PATH];
    if (!ServerProgram(clsid, program, sizeof(program))) return nullptr;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    int matches = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        const char* base = strrchr(entry.szExeFile, '\\');
        base = base ? base + 1 : entry.szExeFile;
        if (_stricmp(base, program) == 0) {
            found = entry.th32ProcessID;
            ++matches;
        }
    }
    CloseHandle(snapshot);
    return matches == 1 ? OpenProcess(SYNCHRONIZE, FALSE, found) : nullptr;
}

bool PhoneLink::ServerInstalled()
{
    char program[MAX_PATH];
    for (int g = 0; g < remote::GenerationCount; ++g)
        if (ServerProgram(remote::ServerClassIds[g], program, sizeof(program))) return true;
    return false;
}
