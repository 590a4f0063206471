#include "host_emulator.h"

#include "std_functions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <type_traits>

namespace host_emu {

namespace {

HostEmulator* g_active = nullptr;

const char kRootKey[] = "Software\\Far\\Plugins";

// Button flags and dialog flags the host interprets here.
enum : DWORD {
    FMSG_MB_MASK = 0x000F0000,
    DIF_GROUP = 0x400,
    DIF_NOBRACKETS = 0x8000,
    DIF_VAREDIT = 0x10000,
    DIF_BTNNOCLOSE = 0x40000,
    DIF_EDITEXPAND = 0x80000,
    DIF_HIDDEN = 0x10000000,
    DIF_NOFOCUS = 0x40000000,
    DIF_DISABLE = 0x80000000,
};
enum { FCTL_CHECKPANELSEXIST = 28, SM_NAME = 2 };

std::string Hex(const void* p) {
    char text[16];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

// The captions the host appends for each FMSG_MB_* set, in index order.
std::vector<std::string> ButtonSet(DWORD set) {
    switch (set) {
    case 0x10000: return {"Ok"};
    case 0x20000: return {"Ok", "Cancel"};
    case 0x30000: return {"Abort", "Retry", "Ignore"};
    case 0x40000: return {"Yes", "No"};
    case 0x50000: return {"Yes", "No", "Cancel"};
    case 0x60000: return {"Retry", "Cancel"};
    }
    return {};
}

std::string LastErrorText(DWORD code) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, (char*)&buffer, 0, nullptr);
    std::string text = length && buffer ? std::string(buffer, length) : "";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty()) text = "Error " + std::to_string(code);
    return text;
}

bool IsFocusable(const host::FarDialogItem& item) {
    switch (item.Type) {
    case host::DI_TEXT:
    case host::DI_VTEXT:
    case host::DI_SINGLEBOX:
    case host::DI_DOUBLEBOX:
        return false;
    }
    return !(item.Flags & (DIF_DISABLE | DIF_NOFOCUS | DIF_HIDDEN));
}

bool IsVarEdit(const host::FarDialogItem& item) {
    return IsEditItem(item.Type) && (item.Flags & DIF_VAREDIT);
}

DialogItemRecord Record(const host::FarDialogItem& item) {
    DialogItemRecord r;
    r.type = item.Type;
    r.x1 = item.X1;
    r.y1 = item.Y1;
    r.x2 = item.X2;
    r.y2 = item.Y2;
    r.focus = item.Focus;
    r.selected = item.Param.Selected;
    r.flags = item.Flags;
    r.defaultButton = item.DefaultButton;
    if (IsVarEdit(item)) {
        if (item.Data.Ptr.PtrData)
            r.data.assign(item.Data.Ptr.PtrData,
                          strnlen(item.Data.Ptr.PtrData, (size_t)std::max(item.Data.Ptr.PtrLength, 0)));
    } else {
        r.data.assign(item.Data.Data, strnlen(item.Data.Data, sizeof item.Data.Data));
    }
    return r;
}

std::string ExpandEnvironment(const std::string& text) {
    char buffer[4096];
    DWORD length = ExpandEnvironmentStringsA(text.c_str(), buffer, sizeof buffer);
    return length && length <= sizeof buffer ? std::string(buffer) : text;
}

// The services' entry points: the plug-in reaches the active emulator here.
const char* WINAPI SvcGetMsg(int pluginNumber, int msgId) {
    return g_active ? g_active->GetMsg(pluginNumber, msgId) : "";
}
int WINAPI SvcMessage(int pluginNumber, DWORD flags, const char* helpTopic,
                      const char* const* items, int itemsNumber, int buttonsNumber) {
    return g_active ? g_active->Message(pluginNumber, flags, helpTopic, items, itemsNumber,
                                        buttonsNumber)
                    : -1;
}
int WINAPI SvcDialog(int pluginNumber, int x1, int y1, int x2, int y2, const char* helpTopic,
                     host::FarDialogItem* items, int count) {
    return g_active ? g_active->Dialog(pluginNumber, x1, y1, x2, y2, helpTopic, items, count)
                    : -1;
}
int WINAPI SvcControl(HANDLE plugin, int command, void* param) {
    return g_active ? g_active->Control(plugin, command, param) : FALSE;
}
int WINAPI SvcAdvControl(int moduleNumber, int command, void* param) {
    return g_active ? g_active->AdvControl(moduleNumber, command, param) : 0;
}
HANDLE WINAPI SvcSaveScreen(int x1, int y1, int x2, int y2) {
    return g_active ? g_active->SaveScreen(x1, y1, x2, y2) : nullptr;
}
void WINAPI SvcRestoreScreen(HANDLE screen) {
    if (g_active) g_active->RestoreScreen(screen);
}

std::string CopyText(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace

// --- finding the plug-in -------------------------------------------------------

std::string ToWindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string FindPluginDll() {
    const char* fromEnv = std::getenv("KELP_DLL");
    if (fromEnv && *fromEnv) return ToWindowsPath(fromEnv);
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string folder(exe, length);
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);
    std::string relative = folder + "..\\Plugins\\Kelp\\Kelp.dll";
    char full[MAX_PATH];
    DWORD fullLength = GetFullPathNameA(relative.c_str(), sizeof full, full, nullptr);
    return fullLength && fullLength < sizeof full ? std::string(full) : relative;
}

host::PluginPanelItem MakeDiskItem(const std::string& folder, const std::string& name) {
    host::PluginPanelItem item;
    std::memset(&item, 0, sizeof item);
    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + name).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        std::memcpy(&item.FindData, &found, sizeof item.FindData);
    }
    std::memset(item.FindData.cFileName, 0, sizeof item.FindData.cFileName);
    std::strncpy(item.FindData.cFileName, name.c_str(), sizeof item.FindData.cFileName - 1);
    return item;
}

std::vector<std::string> PanelListing::Names() const {
    std::vector<std::string> out;
    for (const host::PluginPanelItem& item : items) out.push_back(item.FindData.cFileName);
    return out;
}

const host::PluginPanelItem* PanelListing::Find(const std::string& name) const {
    for (const host::PluginPanelItem& item : items)
        if (name == item.FindData.cFileName) return &item;
    return nullptr;
}

// --- life cycle -----------------------------------------------------------------

HostEmulator::HostEmulator(const HostOptions& options)
    : options_(options), frontEnd_(&scripted_), previous_(g_active) {
    scripted_.Attach(&journal_);
    // The host's texts are OEM, and so are the file APIs of its process.
    fileApisWereAnsi_ = AreFileApisANSI();
    SetFileApisToOEM();
    g_active = this;
}

HostEmulator::~HostEmulator() {
    Unload();
    g_active = previous_;
    if (fileApisWereAnsi_) SetFileApisToANSI();
}

HostEmulator* HostEmulator::Active() { return g_active; }

void HostEmulator::SetFrontEnd(HostFrontEnd* frontEnd) {
    frontEnd_ = frontEnd ? frontEnd : &scripted_;
    frontEnd_->Attach(&journal_);
}

void HostEmulator::BuildStartupInfo(host::PluginStartupInfo& info,
                                    host::FarStandardFunctions& fsf) const {
    std::memset(&fsf, 0, sizeof fsf);
    fsf.StructSize = sizeof fsf;
    fsf.TruncStr = (void*)&TruncStr;
    fsf.TruncPathStr = &TruncPathStr;
    fsf.PointToName = (void*)&PointToName;
    fsf.AddEndSlash = &AddEndSlash;
    fsf.ProcessName = &ProcessName;

    std::memset(&info, 0, sizeof info);
    info.StructSize = sizeof info;
    std::strncpy(info.ModuleName, modulePath_.c_str(), sizeof info.ModuleName - 1);
    info.ModuleNumber = options_.moduleNumber;
    info.RootKey = kRootKey;
    info.Dialog = &SvcDialog;
    info.Message = &SvcMessage;
    info.GetMsg = &SvcGetMsg;
    info.Control = &SvcControl;
    info.AdvControl = &SvcAdvControl;
    info.SaveScreen = &SvcSaveScreen;
    info.RestoreScreen = &SvcRestoreScreen;
    info.CmpName = &CmpName;
    info.FSF = &fsf;
}

// The host switches to the DLL's folder around LoadLibraryEx, so the DLL's
// own dependencies are found beside it, then looks up each export by its
// plain name. A plug-in asking for a newer host is refused before it sees
// SetStartupInfo.
bool HostEmulator::Load(const std::string& dllPath) {
    Unload();
    error_.clear();
    char full[MAX_PATH];
    DWORD fullLength = GetFullPathNameA(dllPath.c_str(), sizeof full, full, nullptr);
    std::string path = fullLength && fullLength < sizeof full ? full : dllPath;
    std::string folder = path.substr(0, path.find_last_of("\\/") + 1);

    char savedDir[MAX_PATH];
    DWORD savedLength = GetCurrentDirectoryA(sizeof savedDir, savedDir);
    SetCurrentDirectoryA(folder.c_str());
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD loadError = GetLastError();
    if (savedLength && savedLength < sizeof savedDir) SetCurrentDirectoryA(savedDir);
    if (!module) {
        error_ = "cannot load " + path + ": " + LastErrorText(loadError);
        return false;
    }

    PluginExports found;
    int count = 0;
    auto look = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
            reinterpret_cast<void*>(GetProcAddress(module, name)));
        if (slot) ++count;
    };
    look(found.SetStartupInfo, "SetStartupInfo");
    look(found.GetMinFarVersion, "GetMinFarVersion");
    look(found.GetPluginInfo, "GetPluginInfo");
    look(found.OpenPlugin, "OpenPlugin");
    look(found.ClosePlugin, "ClosePlugin");
    look(found.GetOpenPluginInfo, "GetOpenPluginInfo");
    look(found.GetFindData, "GetFindData");
    look(found.FreeFindData, "FreeFindData");
    look(found.SetDirectory, "SetDirectory");
    look(found.GetFiles, "GetFiles");
    look(found.PutFiles, "PutFiles");
    look(found.DeleteFiles, "DeleteFiles");
    look(found.MakeDirectory, "MakeDirectory");
    look(found.ProcessKey, "ProcessKey");
    look(found.ProcessEvent, "ProcessEvent");
    look(found.Configure, "Configure");
    look(found.ExitFAR, "ExitFAR");
    if (count == 0) {
        FreeLibrary(module);
        error_ = path + " exports none of the plug-in entry points (decorated names?)";
        return false;
    }

    if (found.GetMinFarVersion) {
        DWORD wanted = (DWORD)found.GetMinFarVersion();
        DWORD ours = options_.farVersion;
        if ((wanted & 0xFFFF) > (ours & 0xFFFF) ||
            ((wanted & 0xFFFF) == (ours & 0xFFFF) && (wanted >> 16) > (ours >> 16))) {
            FreeLibrary(module);
            char text[120];
            std::snprintf(text, sizeof text, "the plug-in needs host version 0x%08lx, this is 0x%08lx",
                          (unsigned long)wanted, (unsigned long)ours);
            error_ = text;
            return false;
        }
    }

    char modulePath[MAX_PATH];
    DWORD moduleLength = GetModuleFileNameA(module, modulePath, sizeof modulePath);
    modulePath_.assign(modulePath, moduleLength);
    module_ = module;
    exports_ = found;

    if (exports_.SetStartupInfo) {
        // Built on the stack as the host does, and wiped once the call
        // returns: a plug-in that kept the pointers instead of copying the
        // tables fails at its first service call, not some time later.
        host::PluginStartupInfo info;
        host::FarStandardFunctions fsf;
        BuildStartupInfo(info, fsf);
        exports_.SetStartupInfo(&info);
        SecureZeroMemory(&info, sizeof info);
        SecureZeroMemory(&fsf, sizeof fsf);
    }
    return true;
}

// The host closes the plug-in's panels, tells it the host is exiting, and
// frees the library.
void HostEmulator::Unload() {
    if (!module_) return;
    std::set<HANDLE> panels = openPanels_;
    for (HANDLE panel : panels) ClosePlugin(panel);
    openPanels_.clear();
    if (exports_.ExitFAR) exports_.ExitFAR();
    FreeLibrary(module_);
    module_ = nullptr;
    exports_ = PluginExports();
    modulePath_.clear();
    diskMenu_.clear();
    languageTried_ = false;
    languages_.clear();
    language_ = -1;
}

// --- messages from the language files -----------------------------------------

bool HostEmulator::LoadLanguage() {
    if (!languageTried_) {
        languageTried_ = true;
        std::string folder = options_.languageFolder;
        if (folder.empty()) folder = modulePath_.substr(0, modulePath_.find_last_of("\\/") + 1);
        languages_ = ReadLanguageFolder(folder);
        language_ = ChooseLanguageFile(languages_, options_.language);
    }
    return language_ >= 0;
}

const LanguageFile* HostEmulator::LanguageFile() {
    return LoadLanguage() ? &languages_[language_] : nullptr;
}

std::string HostEmulator::MessageText(int id) {
    const host_emu::LanguageFile* file = LanguageFile();
    if (!file || id < 0 || id >= (int)file->messages.size()) return "";
    return file->messages[id];
}

const char* HostEmulator::GetMsg(int pluginNumber, int msgId) {
    if (pluginNumber != options_.moduleNumber) {
        journal_.Fault("GetMsg(" + std::to_string(msgId) + ") with plug-in number " +
                       std::to_string(pluginNumber));
        return "";
    }
    if (!LoadLanguage()) {
        journal_.Fault("GetMsg(" + std::to_string(msgId) + "): no language file");
        return "";
    }
    const host_emu::LanguageFile& file = languages_[language_];
    if (msgId < 0 || msgId >= (int)file.messages.size()) {
        // The host warns ("message not found") and answers an empty text.
        journal_.Fault("GetMsg(" + std::to_string(msgId) + "): not in " + file.path + " (" +
                       std::to_string(file.messages.size()) + " messages)");
        return "";
    }
    return file.messages[msgId].c_str();
}

// --- the services ----------------------------------------------------------------

void HostEmulator::RunHook(size_t entry) {
    if (!hook_ || inHook_) return;
    JournalEntry copy = journal_.At(entry);
    inHook_ = true;
    hook_(copy);
    inHook_ = false;
}

int HostEmulator::Message(int pluginNumber, DWORD flags, const char* helpTopic,
                          const char* const* items, int itemsNumber, int buttonsNumber) {
    DWORD lastError = GetLastError();
    JournalEntry e;
    e.kind = CallKind::Message;
    e.pluginNumber = pluginNumber;
    e.flags = flags;
    e.helpTopic = CopyText(helpTopic);
    e.itemsNumber = itemsNumber;
    e.buttonsNumber = buttonsNumber;
    if (pluginNumber != options_.moduleNumber)
        journal_.Fault("Message with plug-in number " + std::to_string(pluginNumber));

    std::vector<std::string> texts;
    if (items && (flags & host::FMSG_ALLINONE)) {
        std::istringstream all(CopyText((const char*)items));
        std::string line;
        while (std::getline(all, line)) texts.push_back(line);
    } else if (items) {
        for (int i = 0; i < itemsNumber; ++i) {
            if (!items[i]) journal_.Fault("Message item " + std::to_string(i) + " is null");
            texts.push_back(CopyText(items[i]));
        }
    }

    bool tolerant = (flags & (host::FMSG_ALLINONE | host::FMSG_ERRORTYPE)) != 0;
    if (!items || (!tolerant && itemsNumber < 2)) {
        e.refused = true;
        e.answer = -1;
        if (!texts.empty()) e.title = texts[0];
        journal_.Add(e);
        journal_.Fault("Message refused by the host (" + std::to_string(itemsNumber) +
                       " items): nothing was shown");
        return -1;
    }

    if (!texts.empty()) e.title = texts[0];
    size_t bodyEnd = texts.size();
    DWORD set = flags & FMSG_MB_MASK;
    if (set) {
        e.buttons = ButtonSet(set);
        if (e.buttons.empty()) journal_.Fault("Message with an unknown button set");
    } else if (buttonsNumber > 0) {
        size_t buttons = (size_t)buttonsNumber;
        if (buttons + 1 > texts.size()) {
            journal_.Fault("Message with more buttons than items");
            buttons = texts.empty() ? 0 : texts.size() - 1;
        }
        bodyEnd = texts.size() - buttons;
        e.buttons.assign(texts.begin() + bodyEnd, texts.end());
    }
    if (flags & host::FMSG_ERRORTYPE) e.lines.push_back(LastErrorText(lastError));
    for (size_t i = 1; i < bodyEnd; ++i) e.lines.push_back(texts[i]);

    size_t index = journal_.Add(e);
    RunHook(index);

    int answer = 0;
    bool answered = true;
    if (e.buttons.empty()) {
        // Drawn into the screen and left there: the call returns at once.
        frontEnd_->ShowBox(journal_.At(index));
    } else {
        answer = frontEnd_->AskMessage(journal_.At(index), answered);
        if (!answered) {
            answer = -1;
            journal_.At(index).unscripted = true;
            journal_.Fault("unscripted message box: " + e.title);
        } else if (answer < -2 || answer >= (int)e.buttons.size()) {
            journal_.Fault("answer " + std::to_string(answer) + " to a box with " +
                           std::to_string(e.buttons.size()) + " buttons: " + e.title);
            answer = -1;
        }
    }
    journal_.At(index).answer = answer;
    SetLastError(lastError);
    return answer;
}

int HostEmulator::Dialog(int pluginNumber, int x1, int y1, int x2, int y2, const char* helpTopic,
                         host::FarDialogItem* items, int count) {
    JournalEntry e;
    e.kind = CallKind::Dialog;
    e.pluginNumber = pluginNumber;
    e.helpTopic = CopyText(helpTopic);
    e.x1 = x1;
    e.y1 = y1;
    e.x2 = x2;
    e.y2 = y2;
    e.itemsNumber = count;
    if (pluginNumber != options_.moduleNumber)
        journal_.Fault("Dialog with plug-in number " + std::to_string(pluginNumber));
    if (x2 < 0 || y2 < 0 || count <= 0 || !items) {
        e.refused = true;
        e.answer = -1;
        journal_.Add(e);
        journal_.Fault("Dialog refused by the host: bad size or no items");
        return -1;
    }
    if (x1 == -1 && y1 == -1) {
        // Centred: X2 and Y2 are the width and the height.
        e.box.left = (options_.screenWidth - x2) / 2;
        e.box.top = (options_.screenHeight - y2) / 2;
        e.box.right = e.box.left + x2 - 1;
        e.box.bottom = e.box.top + y2 - 1;
    } else {
        e.box = RECT{x1, y1, x2, y2};
    }
    if (e.box.left < 0 || e.box.top < 0 || e.box.right >= options_.screenWidth ||
        e.box.bottom >= options_.screenHeight)
        journal_.Fault("Dialog larger than the screen");

    int focus = -1;
    for (int i = 0; i < count; ++i) {
        e.items.push_back(Record(items[i]));
        bool frame = items[i].Type == host::DI_DOUBLEBOX || items[i].Type == host::DI_SINGLEBOX;
        if (frame && e.title.empty()) e.title = e.items.back().data;
        if (IsFocusable(items[i]) && (focus < 0 || (items[i].Focus && !items[focus].Focus)))
            focus = i;
    }
    e.itemsAfter = e.items;
    size_t index = journal_.Add(e);
    RunHook(index);

    bool answered = true;
    int answer = frontEnd_->RunDialog(journal_.At(index), answered);
    JournalEntry& done = journal_.At(index);
    if (!answered) {
        answer = -1;
        done.unscripted = true;
        journal_.Fault("unscripted dialog: " + done.title);
    }
    if (answer == DialogAnswer::kEnter) {
        // Enter closes with the default button, else with the focused item.
        answer = focus;
        for (int i = 0; i < count; ++i)
            if (items[i].DefaultButton) {
                answer = i;
                break;
            }
    } else if (answer < -2 || answer >= count) {
        journal_.Fault("dialog closed by item " + std::to_string(answer) + " of " +
                       std::to_string(count));
        answer = -1;
    } else if (answer >= 0 && (!IsFocusable(items[answer]) ||
                               (items[answer].Type == host::DI_BUTTON &&
                                (items[answer].Flags & DIF_BTNNOCLOSE)))) {
        journal_.Fault("dialog closed by item " + std::to_string(answer) +
                       ", which the user cannot press");
    }

    // Radio buttons: one chosen in a group clears the others of that group.
    for (int i = 0; i < count; ++i) {
        if (items[i].Type != host::DI_RADIOBUTTON || !done.itemsAfter[i].selected ||
            done.itemsAfter[i].selected == done.items[i].selected)
            continue;
        int first = i;
        while (first > 0 && items[first - 1].Type == host::DI_RADIOBUTTON &&
               !(items[first].Flags & DIF_GROUP))
            --first;
        for (int j = first; j < count && items[j].Type == host::DI_RADIOBUTTON; ++j) {
            if (j > first && (items[j].Flags & DIF_GROUP)) break;
            if (j != i) done.itemsAfter[j].selected = 0;
        }
    }

    // Write-back of every item, whatever the exit code.
    int focusAtExit = (answer >= 0 && IsFocusable(items[answer])) ? answer : focus;
    for (int i = 0; i < count; ++i) {
        host::FarDialogItem item;
        std::memcpy(&item, &items[i], sizeof item);
        DialogItemRecord& after = done.itemsAfter[i];
        if (IsEditItem(item.Type)) {
            std::string text = after.data;
            if (item.Flags & DIF_EDITEXPAND) text = ExpandEnvironment(text);
            if (IsVarEdit(item)) {
                int room = item.Data.Ptr.PtrLength;
                if (item.Data.Ptr.PtrData && room > 0) {
                    if ((int)text.size() >= room) text.resize(room - 1);
                    std::memcpy(item.Data.Ptr.PtrData, text.c_str(), text.size() + 1);
                }
            } else {
                if (text.size() > sizeof item.Data.Data - 1) text.resize(sizeof item.Data.Data - 1);
                std::memset(item.Data.Data, 0, sizeof item.Data.Data);
                std::memcpy(item.Data.Data, text.c_str(), text.size());
            }
            after.data = text;
        } else if (item.Type == host::DI_CHECKBOX || item.Type == host::DI_RADIOBUTTON) {
            item.Param.Selected = after.selected;
        } else if (item.Type == host::DI_BUTTON && !(item.Flags & DIF_NOBRACKETS) &&
                   item.Data.Data[0] != '[') {
            std::string caption = "[ " + after.data + " ]";
            if (caption.size() > sizeof item.Data.Data - 1) caption.resize(sizeof item.Data.Data - 1);
            std::memset(item.Data.Data, 0, sizeof item.Data.Data);
            std::memcpy(item.Data.Data, caption.c_str(), caption.size());
            after.data = caption;
        }
        item.Focus = (i == focusAtExit) ? 1 : 0;
        after.focus = item.Focus;
        std::memcpy(&items[i], &item, sizeof item);
    }
    done.answer = answer;
    return answer;
}

void HostEmulator::FillOtherPanel(host::PanelInfo& info) const {
    std::memset(&info, 0, sizeof info);
    info.PanelType = options_.otherPanelType;
    info.Plugin = options_.otherPanelIsPlugin ? TRUE : FALSE;
    info.PanelRect = RECT{options_.screenWidth / 2, 1, options_.screenWidth - 1,
                          options_.screenHeight - 3};
    info.Visible = options_.otherPanelVisible ? TRUE : FALSE;
    info.ViewMode = 2;
    info.SortMode = SM_NAME;
    std::string dir = options_.otherPanelDir;
    if (dir.empty()) {
        char current[MAX_PATH];
        DWORD length = GetCurrentDirectoryA(sizeof current, current);
        if (length && length < sizeof current) dir = current;
    }
    // No trailing separator, except on a root such as C:\.
    while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    std::strncpy(info.CurDir, dir.c_str(), sizeof info.CurDir - 1);
}

int HostEmulator::Control(HANDLE plugin, int command, void* param) {
    JournalEntry e;
    e.kind = CallKind::Control;
    e.plugin = plugin;
    e.command = command;
    e.param = param;
    int answer = FALSE;
    if (plugin != INVALID_HANDLE_VALUE && !IsOpen(plugin)) {
        journal_.Fault("Control(" + std::to_string(command) + ") with handle " + Hex(plugin) +
                       ", which no panel shows");
    } else {
        switch (command) {
        case host::FCTL_GETANOTHERPANELSHORTINFO:
            if (!param) {
                journal_.Fault("FCTL_GETANOTHERPANELSHORTINFO without a PanelInfo");
                break;
            }
            FillOtherPanel(*(host::PanelInfo*)param);
            answer = TRUE;
            break;
        case host::FCTL_UPDATEANOTHERPANEL:
        case host::FCTL_REDRAWANOTHERPANEL:
        case FCTL_CHECKPANELSEXIST:
            answer = TRUE;
            break;
        default:
            journal_.Fault("Control command " + std::to_string(command) +
                           " is not served by this host");
            break;
        }
    }
    e.answer = answer;
    journal_.Add(e);
    return answer;
}

// Only the user's settings are served; any other command is one this host
// does not know, which FAR answers with 0.
int HostEmulator::AdvControl(int moduleNumber, int command, void* /*param*/) {
    if (moduleNumber != options_.moduleNumber) {
        journal_.Fault("AdvControl(" + std::to_string(command) + ") with module number " +
                       std::to_string(moduleNumber));
        return 0;
    }
    if (command == host::ACTL_GETINTERFACESETTINGS) return (int)options_.interfaceSettings;
    if (command == host::ACTL_GETCONFIRMATIONS) return (int)options_.confirmations;
    return 0;
}

HANDLE HostEmulator::SaveScreen(int x1, int y1, int x2, int y2) {
    if (x2 == -1) x2 = options_.screenWidth - 1;
    if (y2 == -1) y2 = options_.screenHeight - 1;
    JournalEntry e;
    e.kind = CallKind::SaveScreen;
    e.x1 = x1;
    e.y1 = y1;
    e.x2 = x2;
    e.y2 = y2;
    e.screen = journal_.NewScreen(x1, y1, x2, y2);
    journal_.Add(e);
    frontEnd_->SaveScreen(e.screen, x1, y1, x2, y2);
    return e.screen;
}

void HostEmulator::RestoreScreen(HANDLE screen) {
    JournalEntry e;
    e.kind = CallKind::RestoreScreen;
    e.screen = screen;
    journal_.Add(e);
    journal_.RestoreScreen(screen);
    frontEnd_->RestoreScreen(screen);
}

// --- driving the plug-in -----------------------------------------------------------

// The disk menu lists the plug-in's DiskMenuStrings; choosing entry `item`
// opens the plug-in with OPEN_DISKMENU.
HANDLE HostEmulator::OpenFromDiskMenu(int item) {
    if (!exports_.GetPluginInfo || !exports_.OpenPlugin) {
        journal_.Fault("the plug-in lacks GetPluginInfo or OpenPlugin");
        return INVALID_HANDLE_VALUE;
    }
    host::PluginInfo info;
    std::memset(&info, 0, sizeof info);
    exports_.GetPluginInfo(&info);
    diskMenu_.clear();
    for (int i = 0; i < info.DiskMenuStringsNumber && info.DiskMenuStrings; ++i)
        diskMenu_.push_back(CopyText(info.DiskMenuStrings[i]));
    if (item < 0 || item >= (int)diskMenu_.size()) {
        journal_.Fault("the disk menu has no entry " + std::to_string(item));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE panel = exports_.OpenPlugin(OPEN_DISKMENU, item);
    if (panel == nullptr) {
        // The host treats 0 as a crash and unloads the plug-in.
        journal_.Fault("OpenPlugin returned 0");
        return INVALID_HANDLE_VALUE;
    }
    if (panel != INVALID_HANDLE_VALUE) openPanels_.insert(panel);
    return panel;
}

// GetOpenPluginInfo (the host asks more than once), GetFindData, a copy of
// everything, then FreeFindData with exactly what GetFindData returned.
// FALSE from GetFindData in a normal read closes the panel, as in the host.
bool HostEmulator::ReadPanel(HANDLE plugin, PanelListing& listing, int opMode) {
    listing = PanelListing();
    if (!exports_.GetOpenPluginInfo || !exports_.GetFindData) {
        journal_.Fault("the plug-in lacks GetOpenPluginInfo or GetFindData");
        return false;
    }
    host::OpenPluginInfo info;
    for (int pass = 0; pass < 2; ++pass) {
        std::memset(&info, 0, sizeof info);
        exports_.GetOpenPluginInfo(plugin, &info);
    }
    listing.flags = info.Flags;
    listing.curDir = CopyText(info.CurDir);
    listing.panelTitle = CopyText(info.PanelTitle);
    listing.format = CopyText(info.Format);
    listing.hostFile = CopyText(info.HostFile);
    for (int i = 0; i < info.InfoLinesNumber && info.InfoLines; ++i)
        listing.infoLines.push_back(info.InfoLines[i]);

    host::PluginPanelItem* items = nullptr;
    int count = 0;
    if (!exports_.GetFindData(plugin, &items, &count, opMode)) {
        if (!(opMode & host::OPM_FIND)) ClosePlugin(plugin);
        return false;
    }
    if (count < 0 || (count > 0 && !items)) {
        journal_.Fault("GetFindData returned " + std::to_string(count) + " items at " + Hex(items));
        count = 0;
    }
    for (int i = 0; i < count; ++i) {
        host::PluginPanelItem copy = items[i];
        listing.descriptions.push_back(CopyText(copy.Description));
        listing.owners.push_back(CopyText(copy.Owner));
        copy.Description = nullptr;
        copy.Owner = nullptr;
        copy.CustomColumnData = nullptr;
        copy.CustomColumnNumber = 0;
        // The host keeps a copy of the plug-in's block, by the size its
        // first DWORD gives (far/flplugin.cpp, PluginToFileListItem).
        if (copy.UserData && (copy.Flags & host::PPIF_USERDATA)) {
            const char* block = (const char*)copy.UserData;
            userData_.emplace_back(block, block + *(const DWORD*)block);
            copy.UserData = (DWORD_PTR)userData_.back().data();
        }
        listing.items.push_back(copy);
    }
    if (exports_.FreeFindData) exports_.FreeFindData(plugin, items, count);
    return true;
}

int HostEmulator::SetDirectory(HANDLE plugin, const std::string& dir, int opMode) {
    if (!exports_.SetDirectory) return FALSE;
    return exports_.SetDirectory(plugin, dir.c_str(), opMode);
}

// Item arrays go in as the host makes them (far/flplugin.cpp,
// FileListToPluginItem): copies, each UserData block (PPIF_USERDATA) a fresh
// copy the host frees after the call.
struct HandedItems {
    std::vector<host::PluginPanelItem> items;
    explicit HandedItems(const std::vector<host::PluginPanelItem>& from) : items(from)
    {
        for (host::PluginPanelItem& item : items) {
            if (!item.UserData || !(item.Flags & host::PPIF_USERDATA)) continue;
            DWORD size = *(const DWORD*)item.UserData;
            void* copy = std::malloc(size);
            std::memcpy(copy, (const void*)item.UserData, size);
            item.UserData = (DWORD_PTR)copy;
        }
    }
    ~HandedItems()
    {
        for (host::PluginPanelItem& item : items)
            if (item.Flags & host::PPIF_USERDATA) std::free((void*)item.UserData);
    }
    host::PluginPanelItem* data() { return items.empty() ? nullptr : items.data(); }
    int size() const { return (int)items.size(); }
};

// The flags come back so a test can see which items the plug-in
// deselected. DestPath is a 260-byte buffer.
int HostEmulator::GetFiles(HANDLE plugin, std::vector<host::PluginPanelItem>& items, int move,
                           std::string& destPath, int opMode) {
    if (!exports_.GetFiles) return 0;
    HandedItems copies(items);
    char dest[host::NM] = {0};
    std::strncpy(dest, destPath.c_str(), sizeof dest - 1);
    int result = exports_.GetFiles(plugin, copies.data(), copies.size(), move, dest, opMode);
    if (strnlen(dest, sizeof dest) == sizeof dest)
        journal_.Fault("GetFiles left DestPath without a terminator");
    destPath.assign(dest, strnlen(dest, sizeof dest));
    for (size_t i = 0; i < items.size(); ++i) items[i].Flags = copies.items[i].Flags;
    return result;
}

// The host runs PutFiles with the current directory set to the source folder.
int HostEmulator::PutFiles(HANDLE plugin, std::vector<host::PluginPanelItem>& items, int move,
                           const std::string& sourceDir, int opMode) {
    if (!exports_.PutFiles) return 0;
    HandedItems copies(items);
    char savedDir[MAX_PATH];
    DWORD savedLength = GetCurrentDirectoryA(sizeof savedDir, savedDir);
    if (!SetCurrentDirectoryA(sourceDir.c_str()))
        journal_.Fault("putFiles: cannot enter " + sourceDir);
    int result = exports_.PutFiles(plugin, copies.data(), copies.size(), move, opMode);
    if (savedLength && savedLength < sizeof savedDir) SetCurrentDirectoryA(savedDir);
    for (size_t i = 0; i < items.size(); ++i) items[i].Flags = copies.items[i].Flags;
    return result;
}

int HostEmulator::DeleteFiles(HANDLE plugin, std::vector<host::PluginPanelItem>& items,
                              int opMode) {
    if (!exports_.DeleteFiles) return FALSE;
    HandedItems copies(items);
    int result = exports_.DeleteFiles(plugin, copies.data(), copies.size(), opMode);
    for (size_t i = 0; i < items.size(); ++i) items[i].Flags = copies.items[i].Flags;
    return result;
}

// F7 hands the plug-in a 260-byte name buffer (empty unless `name` says
// otherwise); the name it leaves there comes back in `name`.
int HostEmulator::MakeDirectory(HANDLE plugin, std::string& name, int opMode) {
    if (!exports_.MakeDirectory) return 0;
    char buffer[host::NM] = {0};
    std::strncpy(buffer, name.c_str(), sizeof buffer - 1);
    int result = exports_.MakeDirectory(plugin, buffer, opMode);
    name.assign(buffer, strnlen(buffer, sizeof buffer));
    return result;
}

void HostEmulator::ClosePlugin(HANDLE plugin) {
    openPanels_.erase(plugin);
    if (exports_.ClosePlugin) exports_.ClosePlugin(plugin);
}

}  // namespace host_emu
