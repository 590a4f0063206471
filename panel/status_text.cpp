// The user's words for the server's statuses and for a link that is lost.
#include "status_text.h"

#include "bounded_string.h"
#include "host_ui.h"
#include "message_ids.h"

#include <cstdio>

using namespace remote;

void StatusText(LONG status, char* buffer, int size)
{
    if (size <= 0) return;
    int id;
    switch (status) {
    case StatusRefused: id = MStatusRefused; break;
    case StatusNoServer: id = MStatusNoServer; break;
    case StatusEndOfList: id = MStatusEndOfList; break;
    case StatusExists: id = MStatusExists; break;
    case StatusCancelled: id = MStatusCancelled; break;
    case StatusNotAccepted: id = MStatusNotAccepted; break;
    default:
        snprintf(buffer, size, GetMsg(MStatusOther), (int)status);
        return;
    }
    CopyBounded(buffer, GetMsg(id), size);
}

void OutcomeText(const PhoneLink& link, LONG status, char* buffer, int size)
{
    if (size <= 0) return;
    switch (link.Loss()) {
    case LinkBroken: CopyBounded(buffer, GetMsg(MStatusLinkBroken), size); return;
    case LinkAbandoned: CopyBounded(buffer, GetMsg(MStatusAbandoned), size); return;
    case LinkStuck: CopyBounded(buffer, GetMsg(MStatusLinkStuck), size); return;
    case LinkServes: break;
    }
    StatusText(status, buffer, size);
}

void TellLinkLost(PhoneLink& link, int opMode)
{
    // Quick View fetches at every cursor move: the next step the user takes tells.
    if ((opMode & (host::OPM_FIND | host::OPM_QUICKVIEW)) || !MayDraw() || !link.MarkLossTold())
        return;
    char text[128];
    OutcomeText(link, StatusNotAccepted, text, sizeof(text));
    // What the user can do: a server that stopped starts anew with the next
    // panel; one that hangs, or that the user stopped waiting for, may still
    // hang then, so no promise that it will open.
    MsgItem next = link.Loss() == LinkBroken ? MReopenToRestart : MReopenOnceAnswers;
    const MsgItem lines[] = {MErrorTitle, TextItem(text), next};
    ShowMessage(host::FMSG_WARNING | host::FMSG_MB_OK, nullptr, lines, 3, 0);
}
