// PhoneServer.exe: the phone emulator as a local COM server, the way a
// user's machine runs the real one. COM starts it (Wine appends -Embedding)
// from the LocalServer32 command line that scripts/register-phone-server.sh
// writes; the plug-in's calls then reach it through PhoneProxy.dll, and its
// callbacks go back to the plug-in's apartment through COM.
//
//   PhoneServer.exe --root <folder> [--generations 1,2,3] [--delay-ms N]
//                   [--chunk-size N] [--progress-notices N]
//                   [--first-client-ms N] [--hang <request>]
//                   [--fault <request>:<action>[:<n>][:<status>]]...
//                   [--strict] [--complete-inside-call] [--one-registration]
//                   [--stray-after-completion] [--log <file>] [--log-requests]
//                   [-Embedding]
//
//   --root             the PC folder whose one-letter subfolders are the drives
//   --generations      the server classes to register (default: all three);
//                      registering every generation the registry names lets
//                      one running server answer whichever class is asked for
//   --delay-ms, --chunk-size, --progress-notices
//                      the emulator's Options of the same names, for tests: a
//                      slow server, a copy in many steps
//   --first-client-ms  quit if no client has created an object by then
//                      (default 5000): a server started for a creation that
//                      failed must not stay behind
//   --hang             every request of this kind (DirOpen, FileCopy, ...)
//                      never returns, as a suspended server's call would not
//                      (the same as --fault <request>:hang)
//   --fault            a fault rule (Options::rules; may be given many times):
//                      <request> a request's name (DriveList, VolumeInfo,
//                      DirOpen, DirRead, DirClose, DirRemove, DirMake,
//                      EntryInfo, FileCopy, FileDelete) or Any; <action> one
//                      of refuse, refuse-but-complete, force-status,
//                      never-complete, hang, complete-inside-call,
//                      complete-inside-but-refuse; <n> only the Nth such
//                      request, counted from 1 (0 or none: every one);
//                      <status> force-status's status (default -4), e.g.
//                      --fault DirOpen:refuse-but-complete:2
//                      --fault FileCopy:force-status:0:-25
//                      (success-without-record is refused here: the wire
//                      sends records as fixed arrays, never a null pointer)
//   --strict, --complete-inside-call, --one-registration,
//   --stray-after-completion
//                      Options::strict, completeInsideCall, oneRegistration
//                      and strayAfterCompletion; e.g. a copy of 8 s inside one
//                      call with a notice every 500 ms: --complete-inside-call
//                      --delay-ms 500 --progress-notices 16
//   --log              append one line per event (start, exit, failures)
//   --log-requests     also one line per request as it arrives, from a known
//                      client on its thread, refused or not:
//                        request: <request> "<path>"
//                      (benchmarks count a step's requests with it)
//
// Every log line starts with "[<process id> <tick count>] ". A request that
// arrives while the server is calling its client's sink (see
// Options::strict) writes, when it arrives:
//   inside callback: <request> "<path>" refused      (--strict)
//   inside callback: <request> "<path>" let through  (otherwise)
// and the server's last line, as it exits after serving, is always
//   exit: <n> requests inside callbacks
// (after "exit: <n> servers created, <n> advises").
//
// Wine reads the registry's command line into a buffer of about MAX_PATH
// characters; CoCreateInstance fails (0x80040152) when it is longer.
//
// It runs in a single-threaded apartment: requests, the emulator's queued
// work and the callbacks to the client's sink proxy all happen on the main
// thread, inside this program's message loop, as the emulator expects.
// It serves until the last server object is released, then revokes its
// classes and exits (exit code 0; 2 for a bad command line, 3 when a class
// cannot be registered).
#include "phone_emulator.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct ServerArgs {
    std::wstring root;
    bool generations[remote::GenerationCount] = {true, true, true};
    DWORD delayMs = 0;
    DWORD chunkSize = 0;  // 0: the emulator's default
    int progressNotices = 0;
    DWORD firstClientMs = 5000;
    std::vector<phone_emu::Rule> rules;
    bool strict = false;
    bool completeInsideCall = false;
    bool oneRegistration = false;
    bool strayAfterCompletion = false;
    std::wstring logFile;
    bool logRequests = false;
};

std::wstring logPath;

void Log(const wchar_t* format, ...) {
    if (logPath.empty()) return;
    FILE* f = _wfopen(logPath.c_str(), L"a");
    if (!f) return;
    fwprintf(f, L"[%lu %lu] ", GetCurrentProcessId(), GetTickCount());
    va_list args;
    va_start(args, format);
    vfwprintf(f, format, args);
    va_end(args);
    fputwc(L'\n', f);
    fclose(f);
}

phone_emu::Op OpNamed(const std::wstring& name) {
    for (int op = (int)phone_emu::Op::Any; op <= (int)phone_emu::Op::FileDelete; ++op) {
        std::string known = phone_emu::OpName((phone_emu::Op)op);
        if (std::wstring(known.begin(), known.end()) == name &&
            op != (int)phone_emu::Op::Advise && op != (int)phone_emu::Op::Unadvise)
            return (phone_emu::Op)op;
    }
    return phone_emu::Op::None;
}

// <request>:<action>[:<n>][:<status>]
bool ParseFault(const std::wstring& text, phone_emu::Rule* rule) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t colon = text.find(L':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::wstring::npos) break;
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 4) return false;
    rule->op = OpNamed(parts[0]);
    if (rule->op == phone_emu::Op::None) return false;
    bool known = false;
    for (int a = (int)phone_emu::Action::Refuse; a <= (int)phone_emu::Action::SuccessWithoutRecord;
         ++a) {
        std::string name = phone_emu::ActionName((phone_emu::Action)a);
        if (std::wstring(name.begin(), name.end()) == parts[1]) {
            rule->action = (phone_emu::Action)a;
            known = true;
        }
    }
    if (!known || rule->action == phone_emu::Action::SuccessWithoutRecord) return false;
    wchar_t* end = nullptr;
    if (parts.size() > 2) {
        long n = wcstol(parts[2].c_str(), &end, 10);
        if (parts[2].empty() || *end || n < 0) return false;
        rule->occurrence = static_cast<int>(n);
    }
    if (parts.size() > 3) {
        long status = wcstol(parts[3].c_str(), &end, 10);
        if (parts[3].empty() || *end) return false;
        rule->status = status;
    }
    return true;
}

bool ParseNumber(const wchar_t* text, DWORD* out) {
    wchar_t* end = nullptr;
    unsigned long v = wcstoul(text, &end, 10);
    if (!*text || *end) return false;
    *out = static_cast<DWORD>(v);
    return true;
}

// "1,3" or "13": each digit names a generation.
bool ParseGenerations(const wchar_t* text, bool* chosen) {
    bool any = false;
    for (int i = 0; i < remote::GenerationCount; ++i) chosen[i] = false;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L',') continue;
        int g = *p - L'1';
        if (g < 0 || g >= remote::GenerationCount) return false;
        chosen[g] = any = true;
    }
    return any;
}

// The options that take no value, each a kind of server of Options' own.
bool* FlagNamed(ServerArgs* a, const std::wstring& name) {
    static const struct {
        const wchar_t* name;
        bool ServerArgs::*field;
    } flags[] = {
        {L"--strict", &ServerArgs::strict},
        {L"--complete-inside-call", &ServerArgs::completeInsideCall},
        {L"--one-registration", &ServerArgs::oneRegistration},
        {L"--stray-after-completion", &ServerArgs::strayAfterCompletion},
        {L"--log-requests", &ServerArgs::logRequests},
    };
    for (const auto& f : flags)
        if (name == f.name) return &(a->*f.field);
    return nullptr;
}

bool ParseArgs(int argc, wchar_t** argv, ServerArgs* a) {
    for (int i = 1; i < argc; ++i) {
        std::wstring name = argv[i];
        if (name == L"-Embedding" || name == L"/Embedding") continue;
        bool* flag = FlagNamed(a, name);
        if (flag) {
            *flag = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const wchar_t* value = argv[++i];
        DWORD n = 0;
        if (name == L"--root") {
            a->root = value;
        } else if (name == L"--generations") {
            if (!ParseGenerations(value, a->generations)) return false;
        } else if (name == L"--log") {
            a->logFile = value;
        } else if (name == L"--hang") {
            phone_emu::Rule hang;
            hang.op = OpNamed(value);
            hang.action = phone_emu::Action::Hang;
            if (hang.op == phone_emu::Op::None || hang.op == phone_emu::Op::Any) return false;
            a->rules.push_back(hang);
        } else if (name == L"--fault") {
            phone_emu::Rule rule;
            if (!ParseFault(value, &rule)) return false;
            a->rules.push_back(rule);
        } else if (!ParseNumber(value, &n)) {
            return false;
        } else if (name == L"--delay-ms") {
            a->delayMs = n;
        } else if (name == L"--chunk-size") {
            a->chunkSize = n;
        } else if (name == L"--progress-notices") {
            a->progressNotices = static_cast<int>(n);
        } else if (name == L"--first-client-ms") {
            a->firstClientMs = n;
        } else {
            return false;
        }
    }
    return !a->root.empty();
}

phone_emu::PhoneEmulator* phone = nullptr;
DWORD mainThread = 0;

void CALLBACK FirstClientDeadline(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (phone && phone->Counters().serversCreated == 0) {
        Log(L"no client came; quitting");
        PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    }
}

int Serve(const ServerArgs& args) {
    DWORD attributes = GetFileAttributesW(args.root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Log(L"root %ls is not a folder", args.root.c_str());
        return 2;
    }

    phone_emu::PhoneEmulator emulator(args.root);
    phone = &emulator;
    phone_emu::Options& o = emulator.Options();
    o.delayMs = args.delayMs;
    if (args.chunkSize) o.chunkSize = args.chunkSize;
    o.progressNotices = args.progressNotices;
    o.rules = args.rules;
    o.strict = args.strict;
    o.completeInsideCall = args.completeInsideCall;
    o.oneRegistration = args.oneRegistration;
    o.strayAfterCompletion = args.strayAfterCompletion;
    emulator.SetOnLastServerGone([] { PostThreadMessageW(mainThread, WM_QUIT, 0, 0); });
    bool strict = args.strict;
    if (args.logRequests)
        emulator.SetOnRequest([](const phone_emu::JournalEntry& j) {
            Log(L"request: %hs \"%ls\"", phone_emu::OpName(j.op), j.path.c_str());
        });
    emulator.SetOnRequestInsideCallback([strict](const phone_emu::JournalEntry& j) {
        Log(L"inside callback: %hs \"%ls\" %ls", phone_emu::OpName(j.op), j.path.c_str(),
            strict ? L"refused" : L"let through");
    });

    for (int i = 0; i < remote::GenerationCount; ++i) {
        if (!args.generations[i]) continue;
        HRESULT hr = emulator.Register(i);
        if (FAILED(hr)) {
            Log(L"generation %d: CoRegisterClassObject failed, 0x%08lx", i + 1, hr);
            return 3;
        }
    }
    SetTimer(nullptr, 0, args.firstClientMs, FirstClientDeadline);

    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // No more new clients; one that slipped in between the last
            // release and the revoke is served until it lets go too.
            emulator.RevokeAll();
            if (emulator.Counters().serversAlive == 0) break;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    phone_emu::Counters k = emulator.Counters();
    Log(L"exit: %ld servers created, %ld advises", k.serversCreated, k.advises);
    Log(L"exit: %ld requests inside callbacks", k.requestsInsideCallback);
    phone = nullptr;
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    ServerArgs args;
    bool ok = argv && ParseArgs(argc, argv, &args);
    if (argv) LocalFree(argv);
    logPath = args.logFile;
    if (!ok) {
        Log(L"bad command line: %ls", GetCommandLineW());
        return 2;
    }
    Log(L"start: %ls", GetCommandLineW());

    mainThread = GetCurrentThreadId();
    if (FAILED(CoInitialize(nullptr))) return 3;
    int code = Serve(args);
    CoUninitialize();
    return code;
}
