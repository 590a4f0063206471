// What the two sides of a link hand over (link_thread.h): one request's record,
// and the types both sides and the link's users share.
#pragma once

#include "remote_fs.h"

// The link's own outcomes of a connect, beside the server's statuses
// (remote_fs.h), in a range no server status takes.
enum : LONG {
    StatusNoServer = -100,  // no server could be created, or creating it hung
    StatusRefused = -101,   // the server would not take the sink
};

// Called during a FileCopy, on the asking thread, with the server's progress
// figure (0 to 100); answers non-zero to go on, zero to cancel.
typedef int (*ProgressFn)(int value, void* context);

// Makes the server object on the link's thread, in place of trying every
// generation with CoCreateInstance; a test's stand-in server comes this way.
typedef HRESULT (*ServerMaker)(void* context, remote::IRemoteFs** server);

// Why a link no longer serves. This is not a status: the link's end is told
// here, beside the request's status.
enum LinkLoss {
    LinkServes = 0,
    LinkBroken,     // the server is gone: its process ended, or a call said so
    LinkAbandoned,  // the user stopped waiting for it
    LinkStuck,      // the server is there but gave no sign of life for too long
};

// At most this many reads are handed over together (PhoneLink::DirReadSome).
enum { ReadBatchMax = 32 };

enum LinkOp {
    OpNone,
    OpConnect,
    OpDisconnect,
    OpDriveList,
    OpVolumeInfo,
    OpDirOpen,
    OpDirRead,
    OpDirClose,
    OpDirRemove,
    OpDirMake,
    OpEntryInfo,
    OpFileCopy,
    OpFileDelete,
};

// One request, from its asking to its outcome. The paths are copies: the
// asking thread may be gone before a given-up thread is done with them.
struct LinkRequest {
    enum { PathUnits = 1024 };

    // In.
    LinkOp op;
    WCHAR path[PathUnits];
    WCHAR target[PathUnits];
    DWORD value;  // a handle, a drive index
    LONG direction, overwrite;
    int entriesWanted;  // OpDirRead: how many reads in a row (at least 1)
    ServerMaker maker;  // OpConnect
    void* makerContext;

    // Out.
    bool accepted;     // the server took the request call
    LONG status;       // the completion's, a connect's own, or StatusNotAccepted
    LinkLoss loss;     // LinkServes, or why no completion will come
    DWORD resultValue;                           // a mask, a handle
    remote::RemoteEntry entries[ReadBatchMax];  // reads that succeeded; EntryInfo's
    int entryCount;
    remote::RemoteVolume volume;
};
