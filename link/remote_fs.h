// The phone-connectivity server's contract, as the plug-in and our server
// emulator both see it: class and interface identifiers of the three server
// generations, the two interfaces by slot, the records the server hands over
// and the status codes of its completions.
//
// Every generation is driven through the same slots with the same arguments.
// The unused slots keep their places so that every later slot stays where the
// server expects it.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

namespace remote {

enum { GenerationCount = 3 };

// {EC100153-...}: class; {EC000153-...}: IRemoteFs; {EC000154-...}: IRemoteFsSink.
extern const CLSID ServerClassIds[GenerationCount];
extern const IID RemoteFsIds[GenerationCount];
extern const IID RemoteFsSinkIds[GenerationCount];

enum : LONG {
    StatusOk = 0,
    StatusNotAccepted = -1,
    StatusNotFound = -2,  // the path names nothing on the phone
    StatusCancelled = -3,
    StatusExists = -11,
    StatusEndOfList = -25,
};

enum : LONG {
    CopyToPhone = 1,
    CopyFromPhone = 2,
};

#pragma pack(push, 4)

// One directory entry.
struct RemoteEntry {
    DWORD attributes;       // Windows attribute bits; 0x10 marks a directory
    DWORD size;             // bytes, 32 bits only
    FILETIME lastWriteTime;
    BYTE unused16[12];
    WCHAR name[256];        // terminated inside the field by a sound server
    WCHAR shortName[272];   // runs to the record's end
};

// One drive.
struct RemoteVolume {
    LONG kindCode;
    BYTE unused4[16];
    LONGLONG figure1;
    LONGLONG figure2;
    WCHAR wideText[32];
    char tagText[8];        // not always terminated inside its field
    WORD validMark;         // 0: the record describes no drive
    BYTE unused110[510];
};

#pragma pack(pop)

static_assert(sizeof(RemoteEntry) == 1084, "RemoteEntry");
static_assert(offsetof(RemoteEntry, size) == 4, "RemoteEntry.size");
static_assert(offsetof(RemoteEntry, lastWriteTime) == 8, "RemoteEntry.lastWriteTime");
static_assert(offsetof(RemoteEntry, name) == 28, "RemoteEntry.name");
static_assert(offsetof(RemoteEntry, shortName) == 540, "RemoteEntry.shortName");

static_assert(sizeof(RemoteVolume) == 620, "RemoteVolume");
static_assert(offsetof(RemoteVolume, figure1) == 20, "RemoteVolume.figure1");
static_assert(offsetof(RemoteVolume, figure2) == 28, "RemoteVolume.figure2");
static_assert(offsetof(RemoteVolume, wideText) == 36, "RemoteVolume.wideText");
static_assert(offsetof(RemoteVolume, tagText) == 100, "RemoteVolume.tagText");
static_assert(offsetof(RemoteVolume, validMark) == 108, "RemoteVolume.validMark");

struct IRemoteFsSink;

// The server. Slots 0-2 are IUnknown's; request slots take the sink's
// cookie first and answer 0 when the request has been accepted.
struct IRemoteFs : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Advise(IRemoteFsSink* sink, DWORD threadId,
                                             DWORD* cookie, LONG* accepted) = 0;     // 3
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) = 0;                    // 4
    virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;                                 // 5
    virtual HRESULT STDMETHODCALLTYPE DriveList(DWORD cookie, LONG zero) = 0;        // 6
    virtual HRESULT STDMETHODCALLTYPE VolumeInfo(DWORD cookie, LONG zero,
                                                 LONG driveIndex) = 0;              // 7
    virtual HRESULT STDMETHODCALLTYPE Unused8() = 0;                                 // 8
    virtual HRESULT STDMETHODCALLTYPE DirOpen(DWORD cookie, LONG zero,
                                              const WCHAR* path) = 0;               // 9
    virtual HRESULT STDMETHODCALLTYPE DirRead(DWORD cookie, LONG zero,
                                              DWORD handle) = 0;                    // 10
    virtual HRESULT STDMETHODCALLTYPE DirClose(DWORD cookie, LONG zero,
                                               DWORD handle) = 0;                   // 11
    virtual HRESULT STDMETHODCALLTYPE DirRemove(DWORD cookie, LONG zero,
                                                const WCHAR* path) = 0;             // 12
    virtual HRESULT STDMETHODCALLTYPE DirMake(DWORD cookie, LONG zero,
                                              const WCHAR* path) = 0;               // 13
    virtual HRESULT STDMETHODCALLTYPE EntryInfo(DWORD cookie, LONG zero,
                                                const WCHAR* path) = 0;             // 14
    virtual HRESULT STDMETHODCALLTYPE Unused15() = 0;                                // 15
    virtual HRESULT STDMETHODCALLTYPE FileCopy(DWORD cookie, const WCHAR* source,
                                               const WCHAR* target, LONG direction,
                                               LONG overwrite) = 0;                 // 16
    virtual HRESULT STDMETHODCALLTYPE FileDelete(DWORD cookie, LONG zero,
                                                 const WCHAR* path) = 0;            // 17
};

// The plug-in's callback interface. An operation in server slot N completes
// through sink slot N - 1. Every callback answers S_OK.
struct IRemoteFsSink : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Unused3(LONG) = 0;                             // 3
    virtual HRESULT STDMETHODCALLTYPE Unused4(LONG) = 0;                             // 4
    virtual HRESULT STDMETHODCALLTYPE OnDriveList(LONG status, DWORD mask) = 0;      // 5
    virtual HRESULT STDMETHODCALLTYPE OnVolumeInfo(LONG status,
                                                   const RemoteVolume* volume) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE Unused7(LONG) = 0;                             // 7
    virtual HRESULT STDMETHODCALLTYPE OnDirOpen(LONG status, DWORD handle) = 0;      // 8
    virtual HRESULT STDMETHODCALLTYPE OnDirRead(LONG status,
                                                const RemoteEntry* entry) = 0;      // 9
    virtual HRESULT STDMETHODCALLTYPE OnDirClose(LONG status) = 0;                   // 10
    virtual HRESULT STDMETHODCALLTYPE OnDirRemove(LONG status) = 0;                  // 11
    virtual HRESULT STDMETHODCALLTYPE OnDirMake(LONG status) = 0;                    // 12
    virtual HRESULT STDMETHODCALLTYPE OnEntryInfo(LONG status,
                                                  const RemoteEntry* entry) = 0;    // 13
    virtual HRESULT STDMETHODCALLTYPE Unused14(LONG) = 0;                            // 14
    virtual HRESULT STDMETHODCALLTYPE OnFileCopy(LONG status) = 0;                   // 15
    virtual HRESULT STDMETHODCALLTYPE OnFileDelete(LONG status) = 0;                 // 16
    virtual HRESULT STDMETHODCALLTYPE Unused17(LONG) = 0;                            // 17
    virtual HRESULT STDMETHODCALLTYPE Unused18(LONG, LONG) = 0;                      // 18
    virtual HRESULT STDMETHODCALLTYPE OnRecord(LONG status, const BYTE* record) = 0; // 19
    virtual HRESULT STDMETHODCALLTYPE Unused20(LONG, LONG) = 0;                      // 20
    virtual HRESULT STDMETHODCALLTYPE Unused21(LONG) = 0;                            // 21
    virtual HRESULT STDMETHODCALLTYPE Unused22(LONG, LONG, LONG) = 0;                // 22
    virtual HRESULT STDMETHODCALLTYPE Unused23(LONG) = 0;                            // 23
    virtual HRESULT STDMETHODCALLTYPE Unused24(LONG) = 0;                            // 24
    virtual HRESULT STDMETHODCALLTYPE Unused25(LONG, LONG) = 0;                      // 25
    virtual HRESULT STDMETHODCALLTYPE Unused26(LONG, LONG) = 0;                      // 26
    virtual HRESULT STDMETHODCALLTYPE OnCopyProgress(LONG value, LONG* cancel) = 0;  // 27
};

}  // namespace remote
