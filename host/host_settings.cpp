#include "host_settings.h"

HostSettings ReadHostSettings()
{
    HostSettings settings = {0, 0};
    int module = startupInfo.ModuleNumber;
    // Asked on the host's main thread only, as every other host service
    // but the message texts is; elsewhere nothing is shown to confirm anyway.
    if (startupInfo.AdvControl && MayDraw()) {
        settings.shown =
            (DWORD)startupInfo.AdvControl(module, host::ACTL_GETINTERFACESETTINGS, nullptr);
        settings.confirmations =
            (DWORD)startupInfo.AdvControl(module, host::ACTL_GETCONFIRMATIONS, nullptr);
    }
    // A host that does not know the command answers 0. An answer of 0 is
    // taken for that, and every prompt is kept: a user who turned all of
    // FAR's confirmations off loses nothing but a few questions, while one
    // whose host can't tell would lose the question before an overwrite.
    if (settings.confirmations == 0) settings.confirmations = ~(DWORD)0;
    return settings;
}
