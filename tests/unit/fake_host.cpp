#include "fake_host.h"

#include <cstring>

namespace fake_host {

std::vector<MessageCall> messages;
std::vector<DialogCall> dialogs;
int messageAnswer = 0;
int dialogAnswer = -1;
std::string dialogEditText;
std::vector<int> requestedIds;
std::map<int, std::string> overrides;

// Messages read "M<number>", so a test sees which number was resolved.
static const char* WINAPI GetMsg(int, int id)
{
    static std::string texts[256];
    requestedIds.push_back(id);
    if (id < 0 || id > 255) return "";
    if (overrides.count(id)) return overrides[id].c_str();
    if (id == 50) return "Status %d";
    if (id == 18) return "Copied %d";
    if (id == 43) return "%s|%s";
    texts[id] = "M" + std::to_string(id);
    return texts[id].c_str();
}

static int WINAPI Message(int, DWORD flags, const char*, const char* const* items, int count,
                          int buttons)
{
    MessageCall call{flags, {}, {}, buttons};
    for (int i = 0; i < count; ++i) {
        call.raw.push_back(items[i]);
        call.items.push_back((UINT_PTR)items[i] < 0x20000 ? "(low)" : items[i]);
    }
    messages.push_back(call);
    return buttons ? messageAnswer : 0;
}

static int WINAPI Dialog(int, int x1, int y1, int x2, int y2, const char*,
                         host::FarDialogItem* items, int count)
{
    // Recorded as the plug-in built them, before the "user" edits.
    dialogs.push_back(DialogCall{x1, y1, x2, y2, std::vector<host::FarDialogItem>(items, items + count)});
    for (int i = 0; i < count; ++i)
        if (items[i].Type == host::DI_EDIT) {
            memset(items[i].Data.Data, 0, sizeof(items[i].Data.Data));
            strncpy(items[i].Data.Data, dialogEditText.c_str(), 511);
        }
    return dialogAnswer;
}

static char* WINAPI TruncPathStr(char* s, int max)
{
    int len = (int)strlen(s);
    if (len > max && max > 3) {
        memmove(s + 3, s + len - (max - 3), max - 2);
        memcpy(s, "...", 3);
    }
    return s;
}

// As the host's: a backslash after the text, with no bound.
static BOOL WINAPI AddEndSlash(char* s)
{
    size_t len = strlen(s);
    if (len == 0 || s[len - 1] != '\\') strcpy(s + len, "\\");
    return TRUE;
}

void Install()
{
    messages.clear();
    dialogs.clear();
    requestedIds.clear();
    overrides.clear();
    messageAnswer = 0;
    dialogAnswer = -1;
    dialogEditText.clear();
    memset(&startupInfo, 0, sizeof(startupInfo));
    memset(&standardFunctions, 0, sizeof(standardFunctions));
    startupInfo.StructSize = sizeof(startupInfo);
    startupInfo.GetMsg = GetMsg;
    startupInfo.Message = Message;
    startupInfo.Dialog = Dialog;
    startupInfo.FSF = &standardFunctions;
    standardFunctions.StructSize = sizeof(standardFunctions);
    standardFunctions.TruncPathStr = TruncPathStr;
    standardFunctions.AddEndSlash = AddEndSlash;
}

}  // namespace fake_host
