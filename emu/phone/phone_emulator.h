// A stand-in for the phone-connectivity server: a "phone" whose drives are the
// one-letter subfolders of a folder on the PC (root\C, root\E, ...), served
// through the server's contract of remote_fs.h.
//
// It behaves like the real server where the plug-in can tell:
// - a request call only checks its cookie and thread, queues the work and
//   answers 0; the outcome reaches the sink later, on the thread that called
//   Advise, from a message-only window created there and fed by PostMessage
//   (or SetTimer when a delay is asked for);
// - a copy runs chunk by chunk, one posted message per chunk, with an
//   OnCopyProgress notice after each, so the client's thread keeps pumping;
// - a request from another thread fails at once with RPC_E_WRONG_THREAD, as a
//   proxy used off its apartment does.
//
// Register it with PhoneEmulator::Register and the plug-in's unchanged
// CoCreateInstance(..., CLSCTX_LOCAL_SERVER, ...) gets it in-process.
//
// Everything a test needs to provoke or observe is plain data: Options (fault
// rules and overrides) and the journal and counters, all shared by every
// server object one PhoneEmulator creates.
//
// Options can also make it behave like servers that are stricter or sloppier
// than the contract's plain reading: a single-threaded server that refuses a
// request arriving while it is calling the sink (strict; in process with a
// replyLagUs, also while the reply would still be on its way), one that carries
// out every request inside its call (completeInsideCall), one that keeps a
// single registration per object (oneRegistration), one that sends each
// completion twice (strayAfterCompletion).
#pragma once

#include "remote_fs.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace phone_emu {

// Completion statuses of our own, beside the contract's (-3, -11, -25). They
// avoid every code the plug-in gives a meaning of its own.
enum : LONG {
    StatusNotFound = -2,     // no such file or folder (or its parent is missing)
    StatusIoError = -4,      // any other failure of the PC's file system
    StatusNoDrive = -5,      // the drive letter has no folder under the root
    StatusBadPath = -6,      // not a sound phone path, or one leaving the root
    StatusBadHandle = -7,    // DirRead/DirClose with a handle not open
    StatusBadArgument = -8,  // drive index outside A..Z, copy direction not 1 or 2
};

// Volume kinds this phone reports in RemoteVolume::kindCode.
enum : LONG {
    KindPhoneMemory = 3,  // drive C
    KindMemoryCard = 6,   // every drive but C and Z
    KindReadOnly = 7,     // drive Z
};

// Request call results besides S_OK: what a refusing rule answers, and what
// a call with a cookie this server never gave (or already took back) gets.
enum : HRESULT {
    CallRefused = 1,
    CallUnknownCookie = E_INVALIDARG,
};

enum class Op {
    None,  // matches nothing: a rule left blank
    Any,   // in a rule: every request (never Advise/Unadvise)
    Advise,
    Unadvise,
    DriveList,
    VolumeInfo,
    DirOpen,
    DirRead,
    DirClose,
    DirRemove,
    DirMake,
    EntryInfo,
    FileCopy,
    FileDelete,
};

const char* OpName(Op op);

// What a rule does to the requests it applies to.
enum class Action {
    Refuse,              // the request call answers CallRefused (1); nothing is queued
    RefuseButComplete,   // answers CallRefused (1), yet does the work and completes
                         // it later all the same, as a faulty server might
    ForceStatus,         // the work is skipped; completes with `status`, value 0 and
                         // an all-zero record
    NeverComplete,       // accepted (0) and dropped: the sink hears nothing
    Hang,                // the request call never returns, as a suspended
                         // server's: its thread blocks until the process ends
                         // (for the out-of-process server: in-process, the
                         // caller's own thread would block)
    CompleteInsideCall,  // the whole work, a copy's every chunk included, runs
                         // inside the request call, before it returns
    CompleteInsideButRefuse,  // as CompleteInsideCall, and then the call answers
                              // CallRefused (1): completed and refused at once
    SuccessWithoutRecord,  // the work is skipped; completes with status 0 and a
                           // null record pointer (VolumeInfo, DirRead,
                           // EntryInfo; the others get status 0 and value 0).
                           // In-process only: the wire sends records as fixed
                           // arrays, which cannot be null
};

// The command-line names of the actions (PhoneServer.exe --fault):
// "refuse", "refuse-but-complete", "force-status", "never-complete", "hang",
// "complete-inside-call", "complete-inside-but-refuse",
// "success-without-record".
const char* ActionName(Action action);

// A fault rule. It applies to a request when `op` matches (Op::Any: any
// request), `pathContains` is empty or occurs in the request's path
// (case-sensitive), `pathIs` is empty or is the whole path (one folder, not
// the folders below it), and `occurrence` is 0 (every such request) or equals
// `matched` after counting this one (only the Nth, counted from 1).
// The path of DirRead/DirClose is the path its handle was opened with; of
// VolumeInfo "X:\"; of FileCopy both source and target are tried; DriveList
// has none. Rules are read when the request call is made.
struct Rule {
    Op op = Op::None;
    Action action = Action::ForceStatus;
    LONG status = StatusIoError;
    std::wstring pathContains;
    std::wstring pathIs;
    int occurrence = 0;
    int matched = 0;  // kept by the server: matching requests seen so far
};

// A RemoteVolume served instead of the real one for one drive (0 = A).
struct VolumeOverride {
    LONG driveIndex = 0;
    remote::RemoteVolume volume{};
};

// Everything plain that changes how the phone behaves. Change it from the
// client's thread (or while no request is running).
struct Options {
    std::vector<Rule> rules;

    bool adviseFails = false;         // Advise answers E_FAIL, holds nothing
    bool adviseDeclines = false;      // Advise answers S_OK with accepted = 0; the
                                      // registration stays until Unadvise
    bool releaseSinkTwice = false;    // Unadvise releases one sink reference too many

    DWORD chunkSize = 64 * 1024;      // bytes a copy moves per step (0 counts as 1)
    int progressNotices = 0;          // > 0: exactly this many notices per copied
                                      // file, percentages k*100/N, instead of one
                                      // per chunk
    // Files of 4 GiB and more without writing them: a copy takes the first
    // `zeroLeadBytes` bytes of a source longer than that for zeros without
    // reading them, and leaves them unwritten in its target (a sparse file),
    // so such a file copies at once and costs no disk. The test makes the
    // source so: its first bytes never written. 0: every byte is copied.
    LONGLONG zeroLeadBytes = 0;
    DWORD delayMs = 0;                // each queued step (a completion, a copy
                                      // chunk) waits this long on a timer first;
                                      // a step run inside the request call
                                      // sleeps this long first

    // A single-threaded server: a request (not Advise/Unadvise) arriving
    // while the server is calling that connection's sink (a completion or a
    // progress notice, or while it is inside another request call of that
    // connection) answers CallRefused (1) and does nothing: no rule sees it.
    // Such requests are journaled with insideCallback and counted in
    // Counters::requestsInsideCallback whether strict or not; strict only
    // adds the refusal.
    bool strict = false;
    // Microseconds the server still counts itself inside a completion call
    // after the sink's method returned. In one process the call ends when
    // the method returns; across processes it ends only when COM's reply has
    // come back, which a request the client makes at once can overtake. A
    // lag lets the in-process server show what that does (0: none).
    DWORD replyLagUs = 0;
    // Every request is carried out inside its request call, a copy's every
    // chunk and progress notice included, as the CompleteInsideCall rule
    // does for the requests it matches (a rule that refuses, drops or
    // completes late still has its way).
    bool completeInsideCall = false;
    // One registration per server object, as some real servers keep: Advise
    // replaces it (the new sink gets every callback from then on, also those
    // of requests made with an earlier cookie), and Unadvise removes it
    // whatever cookie it is given. Requests with any cookie the object gave
    // are still accepted when no registration is left; their completions
    // then reach nobody. Advise again from the thread of the first one.
    bool oneRegistration = false;
    // Right after each completion call returns, the server makes the same
    // call once more, same slot, same status and record, as a faulty server
    // might (not after progress notices).
    bool strayAfterCompletion = false;

    bool overrideDriveMask = false;   // DriveList answers driveMask instead of
    DWORD driveMask = 0;              // the folders present
    std::vector<VolumeOverride> volumes;

    // Listings of the directory whose DirOpen path equals extraEntriesDir
    // (ignoring case; with or without the final backslash) end with these
    // records, served byte for byte after the real entries: hostile names,
    // unterminated fields and so on.
    std::wstring extraEntriesDir;
    std::vector<remote::RemoteEntry> extraEntries;
};

// One call on the server, as it was made and as it ended.
struct JournalEntry {
    unsigned id = 0;
    Op op = Op::None;
    int generation = 0;        // index into remote::ServerClassIds of the object
    std::wstring path;         // the path argument; FileCopy: the source
    std::wstring target;       // FileCopy: the target
    DWORD value = 0;           // DirRead/DirClose: handle; VolumeInfo: drive index;
                               // Advise (its result) and Unadvise: the cookie
    DWORD threadId = 0;        // Advise: the thread id it was given
    LONG direction = 0;        // FileCopy
    LONG overwrite = 0;        // FileCopy
    HRESULT callResult = S_OK; // what the call itself answered
    bool completed = false;    // the sink got the completion
    bool completedInsideCall = false;  // ... before the request call returned
    LONG status = 0;           // the completion's status, when completed
    DWORD resultValue = 0;     // DriveList: the mask; DirOpen: the handle
    int progressNotices = 0;   // FileCopy: OnCopyProgress calls made
    bool insideCallback = false;  // the call arrived while the server was calling
                                  // this connection's sink, or inside another
                                  // request call of it (see Options::strict)
};

struct Counters {
    LONG advises = 0;          // Advise calls, successful or not
    LONG unadvises = 0;        // Unadvise calls with a known cookie
    LONG sinkAddRefs = 0;      // references the server took on sinks (QI included)
    LONG sinkReleases = 0;     // ... and gave back
    LONG serversCreated = 0;
    LONG serversAlive = 0;
    LONG openEnumerations = 0; // DirOpen handles not yet closed by DirClose
    LONG pendingWork = 0;      // queued steps not yet run
    LONG requestsInsideCallback = 0;  // requests journaled with insideCallback
};

// The state every server object of one emulator shares.
class PhoneState;

// Registers the emulator's class objects with COM and owns the shared state.
// Use it on one thread, inside an initialised apartment.
class PhoneEmulator {
public:
    // rootFolder: the PC folder whose one-letter subfolders are the drives.
    explicit PhoneEmulator(const std::wstring& rootFolder);
    ~PhoneEmulator();  // revokes whatever is still registered
    PhoneEmulator(const PhoneEmulator&) = delete;
    PhoneEmulator& operator=(const PhoneEmulator&) = delete;

    // index: 0, 1, 2 for generations 1, 2, 3 (remote::ServerClassIds[index]).
    HRESULT Register(int index);
    HRESULT RegisterAll();
    void Revoke(int index);
    void RevokeAll();
    bool IsRegistered(int index) const;

    // A server object made directly, without COM (AddRef'ed; Release it).
    remote::IRemoteFs* CreateServer(int index);

    const std::wstring& Root() const;
    phone_emu::Options& Options();

    std::vector<JournalEntry> Journal() const;
    // Journal entries of one operation, in call order.
    std::vector<JournalEntry> Journal(Op op) const;
    size_t Count(Op op) const;
    void ClearJournal();
    phone_emu::Counters Counters() const;
    // References the server holds on sinks right now.
    LONG SinkReferences() const;

    // Runs when the last living server object goes away, on the thread that
    // released it: the local-server program quits then.
    void SetOnLastServerGone(std::function<void()> callback);
    // Runs for each request journaled with insideCallback, when it is.
    void SetOnRequestInsideCallback(std::function<void(const JournalEntry&)> callback);
    // Runs for each request call from a known client on its thread, as it
    // arrives (refused or not).
    void SetOnRequest(std::function<void(const JournalEntry&)> callback);

private:
    std::shared_ptr<PhoneState> state_;
    DWORD registrations_[remote::GenerationCount] = {};
    bool registered_[remote::GenerationCount] = {};
};

// Writes the proxy/stub's registry keys (PhoneProxy.dll beside the program or
// in ..\bin), and no server's; Register does it first.
bool RegisterProxyStub();

// A RemoteEntry with terminated name and short name; fields a test wants
// malformed it can overwrite afterwards.
remote::RemoteEntry MakeEntry(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL,
                              DWORD size = 0, const std::wstring& shortName = std::wstring());

// Maps a phone path to its PC path under root. `directory` paths (DirOpen,
// DirRemove) end with a backslash and may be a drive's root ("C:\"); the
// others name an entry and do not. Rejects with StatusBadPath anything but
// letter, colon, backslash-separated names: empty, "." or ".." components,
// '/', ':' after the drive, wildcards and other characters Windows forbids,
// names ending in a dot or space (Windows would strip them), and device names
// (CON, NUL, COM1 ...). StatusNoDrive when root\<letter> is not a folder.
// Returns 0 and the PC path without a final backslash.
LONG MapPhonePath(const std::wstring& root, const WCHAR* phonePath, bool directory,
                  std::wstring* pcPath);

}  // namespace phone_emu
