// The panel object: its life with the link, navigation, and how it describes
// itself to the host.
#include "phone_panel.h"

#include "bounded_string.h"
#include "code_page.h"
#include "host_ui.h"
#include "message_ids.h"
#include "path_builders.h"
#include "user_formats.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <new>

using namespace host;

PhonePanel::PhonePanel()
    : opFlags(0), freshAsked(0), leftOutNames(0), waitBox(&opFlags)
{
    callLock = CreateMutexA(nullptr, FALSE, nullptr);
    panelTitle[0] = 0;
    link.SetWatcher(&waitBox);
    memset(infoLines, 0, sizeof(infoLines));
    memset(&volume, 0, sizeof(volume));
}

PhonePanel::~PhonePanel()
{
    link.Disconnect();
    if (callLock) CloseHandle(callLock);
}

HANDLE PhonePanel::OpenPlugin(int openFrom, INT_PTR item)
{
    PhonePanel* panel = new (std::nothrow) PhonePanel;
    if (!panel) return INVALID_HANDLE_VALUE;

    LONG status = panel->link.Connect();
    if (status == remote::StatusOk) return (HANDLE)panel;

    char text[128];
    StatusText(status, text, sizeof(text));
    // A server that is registered but would not start is installed: say
    // what is known, and that another try may do (one that died lately
    // can keep its class taken for a while).
    bool installed = status == StatusNoServer && PhoneLink::ServerInstalled();
    const MsgItem notStarted[] = {MErrorTitle, MServerNotStarted, MTryAgainLater};
    const MsgItem lines[] = {MErrorTitle, TextItem(text)};
    if (installed) ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, notStarted, 3, 0);
    else ShowMessage(FMSG_WARNING | FMSG_MB_OK, nullptr, lines, 2, 0);
    delete panel;
    return INVALID_HANDLE_VALUE;
}

void PhonePanel::ClosePlugin(HANDLE handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE) delete (PhonePanel*)handle;
}

// A child (or drive) is listed before the panel enters it: one that is
// missing, can't be listed, is stopped with Esc or has no room in a host
// path leaves the panel where it was, its listing intact, instead of a
// panel the host then throws out for a listing that fails; the listing is
// kept for the read that follows. ".." and "\\" need none (the folder was
// there; if it vanished, the next read falls back), nor does a full path
// under OPM_FIND, which puts the panel back where FAR saw it. The host
// reads the panel after a refused change too, and that read tells of a
// lost link.
int PhonePanel::SetDirectory(const char* name, int opMode)
{
    BeginHostCall(opMode, false);
    bool find = (opMode & OPM_FIND) != 0;
    char next[NM];
    int kind = ResolveFolder(place.curDir, name, next);
    if (kind == ResolveRefused) return 0;
    if (kind == ResolveUp && find && place.countBroken) return 0;  // the count fails
    place.countBroken = false;

    if (kind == ResolveUp || (kind == ResolveFull && find)) {
        CopyBounded(place.curDir, next, sizeof(place.curDir));
        place.Moved(find);
        place.upUnread = !find;
        return 1;
    }

    OwnedListing listing;
    LONG status = ListFolder(next, &listing.items, &listing.count, &listing.leftOut, opMode);
    // A full path (a shortcut, a typed one) may hold a stand-in no listing
    // has met yet: its parents' listings say which folder each part stands
    // for. A child of the folder shown was met by the listing FAR shows.
    if (status == remote::StatusNotFound && kind == ResolveFull && LearnFolderPath(link, next))
        status = ListFolder(next, &listing.items, &listing.count, &listing.leftOut, opMode);
    if (status != remote::StatusOk) {
        // What the user stopped: the host's read that follows gets what the
        // panel showed, without asking the phone again.
        if (!find) place.enteringStopped = HowStopped(status);
        // FAR's count passes over a folder it could not enter as if it were
        // empty: entered all the same, it fails at the read and the "..".
        WCHAR path[host::NM];
        if (find && MayDraw() && ListingPath(next, path)) {
            CopyBounded(place.curDir, next, sizeof(place.curDir));
            place.Moved(true);
            place.countBroken = true;
            return 1;
        }
        // FAR says nothing when a plug-in refuses a folder: the panel says
        // that it is not there, once, as FAR does on its own disks (Enter on
        // a folder deleted on the phone, "cd" to one it never had). Not
        // where FAR walks by itself.
        if (status == remote::StatusNotFound && !find && !(opMode & OPM_SILENT) && !LinkLost())
            TellNotFound(next);
        return 0;
    }
    listing.ready = true;
    if (!find) SpellAsPhone(link, place.curDir, place.shown, next);
    CopyBounded(listing.folder, next, sizeof(listing.folder));
    place.prepared.Take(listing);
    CopyBounded(place.curDir, next, sizeof(place.curDir));
    place.Moved(find);
    return 1;
}

void PhonePanel::GetOpenPluginInfo(OpenPluginInfo* info)
{
    info->StructSize = sizeof(OpenPluginInfo);
    info->Flags = OPIF_USEFILTER | OPIF_USESORTGROUPS | OPIF_USEHIGHLIGHTING | OPIF_ADDDOTS |
                  OPIF_FINDFOLDERS | OPIF_COMPAREFATTIME;
    const char* reported = place.Describe();
    info->CurDir = reported;
    info->Format = GetMsg(MPanelFormat);

    CopyBounded(panelTitle, "Kelp:", sizeof(panelTitle));
    AppendBounded(panelTitle, reported, sizeof(panelTitle));
    info->PanelTitle = panelTitle;

    // The information panel describes the folder FAR shows.
    const char* showing = place.Showing();
    if (!showing[0] || volume.validMark == 0) return;

    int kind;
    switch (volume.kindCode) {
    case 3: kind = MKind3; break;
    case 6: kind = MKind6; break;
    case 7: kind = MKind7; break;
    default: kind = MKindOther; break;
    }

    // The tag is the server's and not always terminated inside its 8 bytes.
    char tag[sizeof(volume.tagText) + 1];
    memcpy(tag, volume.tagText, sizeof(volume.tagText));
    tag[sizeof(volume.tagText)] = 0;

    memset(infoLines, 0, sizeof(infoLines));
    snprintf(infoLines[0].Text, sizeof(infoLines[0].Text), GetMsg(MInfoHeading), tag,
             GetMsg(kind));
    infoLines[0].Separator = 1;

    CopyBounded(infoLines[1].Text, GetMsg(MInfoFigure1), sizeof(infoLines[1].Text));
    FormatGrouped(volume.figure1, infoLines[1].Data, sizeof(infoLines[1].Data));
    CopyBounded(infoLines[2].Text, GetMsg(MInfoFigure2), sizeof(infoLines[2].Text));
    FormatGrouped(volume.figure2, infoLines[2].Data, sizeof(infoLines[2].Data));

    CopyBounded(infoLines[3].Text, GetMsg(MInfoText), sizeof(infoLines[3].Text));
    WCHAR label[33];
    memcpy(label, volume.wideText, sizeof(volume.wideText));
    label[32] = 0;
    WideToNarrow(label, infoLines[3].Data, sizeof(infoLines[3].Data));

    int lines = 4;
    if (leftOutNames > 0) {
        CopyBounded(infoLines[4].Text, GetMsg(MInfoHidden), sizeof(infoLines[4].Text));
        FormatCount(infoLines[4].Data, sizeof(infoLines[4].Data), MInfoHiddenCount, leftOutNames);
        lines = 5;
    }
    info->InfoLines = infoLines;
    info->InfoLinesNumber = lines;
}

void PhonePanel::FormatGrouped(LONGLONG value, char* text, int size)
{
    // The host's panels group digits by the user's separator.
    char separator = ThousandsSeparator();
    // 19 digits and 6 separators hold every positive 64-bit value.
    char digits[26];
    int pos = sizeof(digits) - 1;
    digits[pos] = 0;
    if (value <= 0) {
        digits[--pos] = '0';
    } else {
        unsigned long long v = (unsigned long long)value;
        int produced = 0;
        while (v) {
            if (produced && produced % 3 == 0) digits[--pos] = separator;
            digits[--pos] = (char)('0' + v % 10);
            v /= 10;
            ++produced;
        }
    }
    CopyBounded(text, digits + pos, size);
}

int PhonePanel::ProcessKey(int key, unsigned int controlState)
{
    // The Abort bit is for a copy that may be running; the key stays FAR's,
    // which clears its command line with it while nothing runs.
    if (key == KEY_ESC) AskStop();
    // FAR hands the plug-in Ctrl+R before it reads the panel again: the user
    // asks for the phone as it is, whatever Kelp's own operations did.
    if (key == 'R' && controlState == PKF_CONTROL)
        InterlockedExchange(&freshAsked, 1);
    return 0;
}

int PhonePanel::ProcessEvent(int event, void* param)
{
    if (event == FE_BREAK) AskStop();
    return 0;
}
