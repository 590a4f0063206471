// The module's copies of what the host hands over at start-up.
#include "host_api.h"

#include <cstring>

host::PluginStartupInfo startupInfo;
host::FarStandardFunctions standardFunctions;

// The host calls SetStartupInfo on its main thread, the one thread it draws
// and reads keys on.
static DWORD hostThread = 0;

bool MayDraw() { return hostThread == 0 || GetCurrentThreadId() == hostThread; }

void AdoptStartupInfo(const host::PluginStartupInfo* info)
{
    memcpy(&startupInfo, info, sizeof(startupInfo));
    memcpy(&standardFunctions, info->FSF, sizeof(standardFunctions));
    startupInfo.FSF = &standardFunctions;
    hostThread = GetCurrentThreadId();
}
