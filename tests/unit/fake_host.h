// A recording stand-in for the host's services, for unit tests that call the
// plug-in's helpers directly. Integration tests use the host emulator and the
// real DLL instead.
#pragma once

#include "host_api.h"

#include <map>
#include <string>
#include <vector>

namespace fake_host {

struct MessageCall {
    DWORD flags;
    std::vector<std::string> items;  // texts; "(low)" for a value that is no pointer
    std::vector<const char*> raw;    // the pointers as the host received them
    int buttons;
};

struct DialogCall {
    int x1, y1, x2, y2;
    std::vector<host::FarDialogItem> items;
};

extern std::vector<MessageCall> messages;
extern std::vector<DialogCall> dialogs;
extern int messageAnswer;
// What the next dialog does: the item index it answers and the text it
// leaves in every edit item.
extern int dialogAnswer;
extern std::string dialogEditText;
extern std::vector<int> requestedIds;
// Texts a test puts in place of "M<number>", e.g. very long language texts.
extern std::map<int, std::string> overrides;

// Installs the fakes into the plug-in's module state and clears the records.
void Install();

}  // namespace fake_host
