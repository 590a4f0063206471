// The module's copies of what the host hands over at start-up.
#include "host_api.h"

#include <cstring>

host::PluginStartupInfo startupInfo;
host::FarStandardFunctions standardFunctions;

void AdoptStartupInfo(const host::PluginStartupInfo* info)
{
    memcpy(&startupInfo, info, sizeof(startupInfo));
    memcpy(&standardFunctions, info->FSF, sizeof(standardFunctions));
    startupInfo.FSF = &standardFunctions;
}
