// The entry points FAR looks up by name. Module-level work happens here; every
// panel call goes unchanged to the PhonePanel the host holds, or to the
// transfer that works in it.
#include "host_api.h"
#include "host_ui.h"
#include "message_ids.h"
#include "phone_panel.h"
#include "transfer.h"

#include <cstring>

using namespace host;

static const char* diskMenuStrings[1];
static const char commandPrefix[] = "";

static PhonePanel* Panel(HANDLE handle) { return (PhonePanel*)handle; }
// What a transfer needs of the panel the handle names.
static PhoneSide Side(HANDLE handle)
{
    PhonePanel* panel = Panel(handle);
    return PhoneSide{panel->Link(), panel->Folder(), {panel->StopWord()}};
}

// Every panel call holds the panel's lock: FAR's main thread may call while
// Find's worker is inside the same panel, and the link takes one request at
// a time. The operations FAR starts from what it shows begin in the folder
// it shows.
// On a link that is lost nothing is tried: the user hears why from this
// very step (once), not from a silent failure first.
// What the operation changed in the panel's folder goes to the panel when it
// is over, for the read FAR makes next; a link lost on the way leaves
// nothing certain.
struct HostOperation : PanelCall {
    bool lost;
    ListingChanges changes;
    HostOperation(HANDLE handle, int opMode) : PanelCall(*Panel(handle))
    {
        panel.BeginHostCall(opMode, true);
        changes.Begin(panel.Folder());
        lost = panel.LinkLost();
        if (lost) TellLinkLost(panel.Link(), opMode);
    }
    ~HostOperation()
    {
        if (panel.LinkLost()) changes.Unsure();
        panel.AfterOperation(changes);
    }
};

// Whether SetStartupInfo's CoInitialize counted: a host thread whose
// apartment is already of another kind answers RPC_E_CHANGED_MODE, and
// uninitialising then would end an apartment that is not ours.
static bool comInitialised = false;

extern "C" {

void WINAPI SetStartupInfo(const PluginStartupInfo* info)
{
    AdoptStartupInfo(info);
    // Every call to the server is made on the link's own threads, each in an
    // apartment of its own; the host's thread joins one too, so that nothing
    // COM does on it for the plug-in finds COM uninitialised.
    comInitialised = SUCCEEDED(CoInitialize(nullptr));
}

void WINAPI GetPluginInfo(PluginInfo* info)
{
    memset(info, 0, sizeof(*info));
    info->StructSize = sizeof(*info);
    diskMenuStrings[0] = GetMsg(MDiskMenu);
    info->DiskMenuStrings = diskMenuStrings;
    info->DiskMenuNumbers = nullptr;
    info->DiskMenuStringsNumber = 1;
    info->CommandPrefix = commandPrefix;
}

int WINAPI GetMinFarVersion() { return 326; }  // 1.70, any build

HANDLE WINAPI OpenPlugin(int openFrom, INT_PTR item)
{
    return PhonePanel::OpenPlugin(openFrom, item);
}

void WINAPI ClosePlugin(HANDLE handle) { PhonePanel::ClosePlugin(handle); }

void WINAPI GetOpenPluginInfo(HANDLE handle, OpenPluginInfo* info)
{
    PanelCall call(*Panel(handle));
    Panel(handle)->GetOpenPluginInfo(info);
}

int WINAPI GetFindData(HANDLE handle, PluginPanelItem** items, int* count, int opMode)
{
    PanelCall call(*Panel(handle));
    return Panel(handle)->GetFindData(items, count, opMode);
}

void WINAPI FreeFindData(HANDLE handle, PluginPanelItem* items, int count)
{
    PanelCall call(*Panel(handle));
    Panel(handle)->FreeFindData(items, count);
}

int WINAPI SetDirectory(HANDLE handle, const char* dir, int opMode)
{
    PanelCall call(*Panel(handle));
    return Panel(handle)->SetDirectory(dir, opMode);
}

int WINAPI GetFiles(HANDLE handle, PluginPanelItem* items, int count, int move, char* destPath,
                    int opMode)
{
    HostOperation call(handle, opMode);
    if (call.lost) return 0;
    return GetFilesFromPhone(Side(handle), Panel(handle)->Copied(), call.changes, items, count,
                             move, destPath, opMode);
}

int WINAPI PutFiles(HANDLE handle, PluginPanelItem* items, int count, int move, int opMode)
{
    HostOperation call(handle, opMode);
    if (call.lost) return 0;
    return PutFilesToPhone(Side(handle), call.changes, items, count, move, opMode);
}

int WINAPI DeleteFiles(HANDLE handle, PluginPanelItem* items, int count, int opMode)
{
    HostOperation call(handle, opMode);
    if (call.lost) return 0;
    return DeleteFilesOnPhone(Side(handle), Panel(handle)->Copied(), call.changes, items, count,
                              opMode);
}

int WINAPI MakeDirectory(HANDLE handle, char* name, int opMode)
{
    HostOperation call(handle, opMode);
    if (call.lost) return -1;  // said already: FAR adds no box of its own
    return MakeDirectoryOnPhone(Side(handle), call.changes, name, opMode);
}

int WINAPI ProcessKey(HANDLE handle, int key, unsigned int controlState)
{
    return Panel(handle)->ProcessKey(key, controlState);
}

int WINAPI ProcessEvent(HANDLE handle, int event, void* param)
{
    return Panel(handle)->ProcessEvent(event, param);
}

int WINAPI Configure(int itemNumber) { return 0; }  // Kelp has no settings

void WINAPI ExitFAR()
{
    if (comInitialised) CoUninitialize();
    comInitialised = false;
}

}  // extern "C"
