// Host interface subsystem. It owns the plug-in's boundary with FAR: the
// exports and the module state (the copies of the host's service tables), the
// helpers through which every text, box and dialog reaches the host
// (host_ui.h), bounded string copies (bounded_string.h), the code page of
// narrow texts (code_page.h) and the message catalogue (message_ids.h).
//
// This header declares the host's records and constants of the 1.70
// interface (32-bit, 8-bit texts) once, for the plug-in and for our host
// emulator alike.
//
// The host packs its records on 2-byte boundaries; every size and every
// offset the code relies on is checked below, so a layout slip fails the
// build instead of corrupting the host's memory at run time.
#pragma once

#include <windows.h>

#include <cstddef>

namespace host {

enum { NM = 260 };  // the host's path buffers: 259 characters and a terminator

#pragma pack(push, 2)

struct PluginStartupInfo;
struct FarStandardFunctions;
struct FarDialogItem;

typedef const char*(WINAPI* FarApiGetMsg)(int pluginNumber, int msgId);
typedef int(WINAPI* FarApiMessage)(int pluginNumber, DWORD flags, const char* helpTopic,
                                   const char* const* items, int itemsNumber,
                                   int buttonsNumber);
typedef int(WINAPI* FarApiDialog)(int pluginNumber, int x1, int y1, int x2, int y2,
                                  const char* helpTopic, FarDialogItem* items, int count);
typedef int(WINAPI* FarApiControl)(HANDLE hPlugin, int command, void* param);
typedef HANDLE(WINAPI* FarApiSaveScreen)(int x1, int y1, int x2, int y2);
typedef void(WINAPI* FarApiRestoreScreen)(HANDLE screen);
typedef int(WINAPI* FarApiAdvControl)(int moduleNumber, int command, void* param);
typedef int(WINAPI* FarApiCmpName)(const char* mask, const char* name, int skipPath);

typedef char*(WINAPI* FarStdTruncPathStr)(char* str, int maxLength);
typedef BOOL(WINAPI* FarStdAddEndSlash)(char* path);
typedef int(WINAPI* FarStdProcessName)(const char* param1, char* param2, DWORD flags);

struct PluginStartupInfo {
    int StructSize;
    char ModuleName[NM];
    int ModuleNumber;
    const char* RootKey;
    void* Menu;
    FarApiDialog Dialog;
    FarApiMessage Message;
    FarApiGetMsg GetMsg;
    FarApiControl Control;
    FarApiSaveScreen SaveScreen;
    FarApiRestoreScreen RestoreScreen;
    void* GetDirList;
    void* GetPluginDirList;
    void* FreeDirList;
    void* Viewer;
    void* Editor;
    FarApiCmpName CmpName;
    void* CharTable;
    void* Text;
    void* EditorControl;
    FarStandardFunctions* FSF;
    void* ShowHelp;
    FarApiAdvControl AdvControl;
    void* InputBox;
    void* DialogEx;
    void* SendDlgMessage;
    void* DefDlgProc;
    DWORD Reserved;
    void* ViewerControl;
};

struct FarStandardFunctions {
    int StructSize;
    void* atoi;
    void* atoi64;
    void* itoa;
    void* itoa64;
    void* sprintf;
    void* sscanf;
    void* qsort;
    void* bsearch;
    void* qsortex;
    void* snprintf;
    DWORD Reserved[8];
    void* LIsLower;
    void* LIsUpper;
    void* LIsAlpha;
    void* LIsAlphanum;
    void* LUpper;
    void* LLower;
    void* LUpperBuf;
    void* LLowerBuf;
    void* LStrupr;
    void* LStrlwr;
    void* LStricmp;
    void* LStrnicmp;
    void* Unquote;
    void* ExpandEnvironmentStr;
    void* LTrim;
    void* RTrim;
    void* Trim;
    void* TruncStr;
    FarStdTruncPathStr TruncPathStr;
    void* QuoteSpaceOnly;
    void* PointToName;
    void* GetPathRoot;
    FarStdAddEndSlash AddEndSlash;
    void* CopyToClipboard;
    void* PasteFromClipboard;
    void* FarKeyToName;
    void* FarNameToKey;
    void* FarInputRecordToKey;
    void* XLat;
    void* GetFileOwner;
    void* GetNumberOfLinks;
    void* FarRecursiveSearch;
    void* MkTemp;
    void* DeleteBuffer;
    FarStdProcessName ProcessName;
    void* MkLink;
    void* ConvertNameToReal;
    void* GetReparsePointInfo;
};

struct PluginInfo {
    int StructSize;
    DWORD Flags;
    const char* const* DiskMenuStrings;
    int* DiskMenuNumbers;
    int DiskMenuStringsNumber;
    const char* const* PluginMenuStrings;
    int PluginMenuStringsNumber;
    const char* const* PluginConfigStrings;
    int PluginConfigStringsNumber;
    const char* CommandPrefix;
    DWORD Reserved;
};

struct InfoPanelLine {
    char Text[80];
    char Data[80];
    int Separator;
};

struct OpenPluginInfo {
    int StructSize;
    DWORD Flags;
    const char* HostFile;
    const char* CurDir;
    const char* Format;
    const char* PanelTitle;
    const InfoPanelLine* InfoLines;
    int InfoLinesNumber;
    const char* const* DescrFiles;
    int DescrFilesNumber;
    const void* PanelModesArray;
    int PanelModesNumber;
    int StartPanelMode;
    int StartSortMode;
    int StartSortOrder;
    const void* KeyBar;
    const char* ShortcutData;
    long Reserved;
};

// The host's find data: WIN32_FIND_DATAA's fields without its tail padding.
struct FAR_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

struct PluginPanelItem {
    FAR_FIND_DATA FindData;
    DWORD PackSizeHigh;
    DWORD PackSize;
    DWORD Flags;
    DWORD NumberOfLinks;
    char* Description;
    char* Owner;
    char** CustomColumnData;
    int CustomColumnNumber;
    DWORD_PTR UserData;
    DWORD CRC32;
    DWORD_PTR Reserved[2];
};

struct FarDialogItem {
    int Type;
    int X1, Y1, X2, Y2;
    int Focus;
    union {
        int Selected;
        const char* History;
        const char* Mask;
        void* ListItems;
        int ListPos;
        void* VBuf;
        DWORD_PTR Reserved;
    } Param;
    DWORD Flags;
    int DefaultButton;
    union {
        char Data[512];
        struct {
            DWORD PtrFlags;
            int PtrLength;
            char* PtrData;
            char PtrTail[1];
        } Ptr;
    } Data;
};

struct PanelInfo {
    int PanelType;
    int Plugin;
    RECT PanelRect;
    PluginPanelItem* PanelItems;
    int ItemsNumber;
    PluginPanelItem* SelectedItems;
    int SelectedItemsNumber;
    int CurrentItem;
    int TopPanelItem;
    int Visible;
    int Focus;
    int ViewMode;
    char ColumnTypes[80];
    char ColumnWidths[80];
    char CurDir[NM];
    int ShortNames;
    int SortMode;
    DWORD Flags;
    DWORD Reserved;
};

#pragma pack(pop)

static_assert(sizeof(PluginStartupInfo) == 372, "PluginStartupInfo");
static_assert(offsetof(PluginStartupInfo, ModuleNumber) == 264, "PSI.ModuleNumber");
static_assert(offsetof(PluginStartupInfo, Dialog) == 276, "PSI.Dialog");
static_assert(offsetof(PluginStartupInfo, Message) == 280, "PSI.Message");
static_assert(offsetof(PluginStartupInfo, GetMsg) == 284, "PSI.GetMsg");
static_assert(offsetof(PluginStartupInfo, Control) == 288, "PSI.Control");
static_assert(offsetof(PluginStartupInfo, SaveScreen) == 292, "PSI.SaveScreen");
static_assert(offsetof(PluginStartupInfo, RestoreScreen) == 296, "PSI.RestoreScreen");
static_assert(offsetof(PluginStartupInfo, CmpName) == 320, "PSI.CmpName");
static_assert(offsetof(PluginStartupInfo, FSF) == 336, "PSI.FSF");
static_assert(offsetof(PluginStartupInfo, ViewerControl) == 368, "PSI.ViewerControl");

static_assert(sizeof(FarStandardFunctions) == 228, "FarStandardFunctions");
static_assert(offsetof(FarStandardFunctions, snprintf) == 40, "FSF.snprintf");
static_assert(offsetof(FarStandardFunctions, LIsLower) == 76, "FSF.LIsLower");
static_assert(offsetof(FarStandardFunctions, TruncPathStr) == 148, "FSF.TruncPathStr");
static_assert(offsetof(FarStandardFunctions, AddEndSlash) == 164, "FSF.AddEndSlash");
static_assert(offsetof(FarStandardFunctions, ProcessName) == 212, "FSF.ProcessName");

static_assert(sizeof(PluginInfo) == 44, "PluginInfo");
static_assert(offsetof(PluginInfo, DiskMenuStrings) == 8, "PI.DiskMenuStrings");
static_assert(offsetof(PluginInfo, DiskMenuNumbers) == 12, "PI.DiskMenuNumbers");
static_assert(offsetof(PluginInfo, DiskMenuStringsNumber) == 16, "PI.DiskMenuStringsNumber");
static_assert(offsetof(PluginInfo, CommandPrefix) == 36, "PI.CommandPrefix");

static_assert(sizeof(OpenPluginInfo) == 72, "OpenPluginInfo");
static_assert(offsetof(OpenPluginInfo, CurDir) == 12, "OPI.CurDir");
static_assert(offsetof(OpenPluginInfo, Format) == 16, "OPI.Format");
static_assert(offsetof(OpenPluginInfo, PanelTitle) == 20, "OPI.PanelTitle");
static_assert(offsetof(OpenPluginInfo, InfoLines) == 24, "OPI.InfoLines");
static_assert(offsetof(OpenPluginInfo, InfoLinesNumber) == 28, "OPI.InfoLinesNumber");

static_assert(sizeof(FAR_FIND_DATA) == 318, "FAR_FIND_DATA");
static_assert(offsetof(FAR_FIND_DATA, ftLastWriteTime) == 20, "FFD.ftLastWriteTime");
static_assert(offsetof(FAR_FIND_DATA, nFileSizeHigh) == 28, "FFD.nFileSizeHigh");
static_assert(offsetof(FAR_FIND_DATA, nFileSizeLow) == 32, "FFD.nFileSizeLow");
static_assert(offsetof(FAR_FIND_DATA, cFileName) == 44, "FFD.cFileName");
static_assert(offsetof(FAR_FIND_DATA, cAlternateFileName) == 304, "FFD.cAlternateFileName");
// The first 318 bytes of the platform's record have the same layout; copies rely on it.
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == 44, "WIN32_FIND_DATAA.cFileName");
static_assert(offsetof(WIN32_FIND_DATAA, cAlternateFileName) == 304, "WIN32_FIND_DATAA.cAltName");
static_assert(sizeof(WIN32_FIND_DATAA) >= sizeof(FAR_FIND_DATA), "WIN32_FIND_DATAA");

static_assert(sizeof(PluginPanelItem) == 366, "PluginPanelItem");
static_assert(offsetof(PluginPanelItem, Flags) == 326, "PPI.Flags");
static_assert(offsetof(PluginPanelItem, UserData) == 350, "PPI.UserData");

static_assert(sizeof(FarDialogItem) == 548, "FarDialogItem");
static_assert(offsetof(FarDialogItem, Focus) == 20, "FDI.Focus");
static_assert(offsetof(FarDialogItem, Param) == 24, "FDI.Param");
static_assert(offsetof(FarDialogItem, Flags) == 28, "FDI.Flags");
static_assert(offsetof(FarDialogItem, DefaultButton) == 32, "FDI.DefaultButton");
static_assert(offsetof(FarDialogItem, Data) == 36, "FDI.Data");

static_assert(sizeof(InfoPanelLine) == 164, "InfoPanelLine");
static_assert(offsetof(InfoPanelLine, Data) == 80, "IPL.Data");
static_assert(offsetof(InfoPanelLine, Separator) == 160, "IPL.Separator");

static_assert(sizeof(PanelInfo) == 496, "PanelInfo");
static_assert(offsetof(PanelInfo, CurDir) == 220, "PanelInfo.CurDir");

// Operation modes handed to the panel operations.
enum {
    OPM_SILENT = 0x01,
    OPM_FIND = 0x02,
    OPM_VIEW = 0x04,
    OPM_EDIT = 0x08,
    OPM_TOPLEVEL = 0x10,
    OPM_DESCR = 0x20,
    OPM_QUICKVIEW = 0x40,  // with OPM_VIEW: the fetch for the Quick View panel
};

// Panel control commands.
enum {
    FCTL_UPDATEANOTHERPANEL = 4,
    FCTL_REDRAWANOTHERPANEL = 6,
    FCTL_GETANOTHERPANELSHORTINFO = 27,
};

enum {
    PTYPE_FILEPANEL = 0,
    PTYPE_TREEPANEL = 1,
    PTYPE_QVIEWPANEL = 2,
    PTYPE_INFOPANEL = 3,
};

enum {
    FE_CHANGEVIEWMODE = 0,
    FE_REDRAW = 1,
    FE_IDLE = 2,
    FE_CLOSE = 3,
    FE_BREAK = 4,
    FE_COMMAND = 5,
};

enum {
    OPIF_USEFILTER = 0x1,
    OPIF_USESORTGROUPS = 0x2,
    OPIF_USEHIGHLIGHTING = 0x4,
    OPIF_ADDDOTS = 0x8,
    OPIF_FINDFOLDERS = 0x200,
    OPIF_COMPAREFATTIME = 0x400,
};

enum {
    FMSG_WARNING = 0x1,
    FMSG_ERRORTYPE = 0x2,
    FMSG_KEEPBACKGROUND = 0x4,
    FMSG_DOWN = 0x8,
    FMSG_LEFTALIGN = 0x10,
    FMSG_ALLINONE = 0x20,
    FMSG_MB_OK = 0x10000,
};

enum {
    DI_TEXT = 0,
    DI_VTEXT = 1,
    DI_SINGLEBOX = 2,
    DI_DOUBLEBOX = 3,
    DI_EDIT = 4,
    DI_PSWEDIT = 5,
    DI_FIXEDIT = 6,
    DI_BUTTON = 7,
    DI_CHECKBOX = 8,
    DI_RADIOBUTTON = 9,
};

// Dialog item flags.
enum : DWORD {
    DIF_BOXCOLOR = 0x200,     // a text in the frame's colour
    DIF_SEPARATOR = 0x10000,  // a text drawn as a rule across the dialog, on its frame
};

enum : DWORD {
    PPIF_SELECTED = 0x40000000,
    // UserData points to a block whose first DWORD is its size: the host
    // copies it into every later item array of the same item.
    PPIF_USERDATA = 0x20000000,
};

enum { PN_GENERATENAME = 0x2000 };

// The user's own settings, read with AdvControl.
enum {
    ACTL_GETINTERFACESETTINGS = 16,
    ACTL_GETCONFIRMATIONS = 17,
};
enum : DWORD {
    FIS_SHOWTOTALCOPYPROGRESSINDICATOR = 0x100,
    FIS_SHOWCOPYINGTIMEINFO = 0x200,
};
enum : DWORD {
    FCS_COPYOVERWRITE = 0x1,
    FCS_MOVEOVERWRITE = 0x2,
    FCS_DRAGANDDROP = 0x4,
    FCS_DELETE = 0x8,
    FCS_DELETENONEMPTYFOLDERS = 0x10,
    FCS_INTERRUPTOPERATION = 0x20,
};

enum { KEY_ESC = 27 };
// ProcessKey's control state.
enum { PKF_CONTROL = 1, PKF_ALT = 2, PKF_SHIFT = 4 };

}  // namespace host

// Module state, written once by SetStartupInfo and only read afterwards.
// Every host service is reached through these copies: the host builds its
// originals on its stack.
extern host::PluginStartupInfo startupInfo;
extern host::FarStandardFunctions standardFunctions;

// Copies the host's start-up record and its function table into the above.
void AdoptStartupInfo(const host::PluginStartupInfo* info);

// True on the host's main thread (the one that called SetStartupInfo): the
// only thread on which the plug-in may draw, call Control or read the
// console. Find File calls a panel from a worker thread of its own.
bool MayDraw();
