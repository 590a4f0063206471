// The host emulator's core: loads a plug-in DLL the way the 1.70-1.75 host
// does, serves it the host's services, journals every user-visible call and
// takes the user's answers from a front end (a script by default).
//
// One emulator is active at a time: the services the plug-in calls carry no
// context pointer, so they reach the emulator constructed last.
//
// Typical test:
//     host_emu::HostEmulator host;
//     ASSERT_TRUE(host.Load(host_emu::FindPluginDll())) << host.Error();
//     host.Script().AnswerMessage(0);              // the next prompt: first button
//     HANDLE panel = host.OpenFromDiskMenu();
//     host_emu::PanelListing listing;
//     ASSERT_TRUE(host.ReadPanel(panel, listing));
//     host.ClosePlugin(panel);
//     EXPECT_TRUE(host.Journal().Faults().empty()) << host.Journal().Dump();
#pragma once

#include "front_end.h"
#include "host_api.h"
#include "journal.h"
#include "language_file.h"

#include <functional>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace host_emu {

// The plug-in's exports, looked up by their plain names; null when missing.
struct PluginExports {
    void(WINAPI* SetStartupInfo)(const host::PluginStartupInfo* info) = nullptr;
    int(WINAPI* GetMinFarVersion)() = nullptr;
    void(WINAPI* GetPluginInfo)(host::PluginInfo* info) = nullptr;
    HANDLE(WINAPI* OpenPlugin)(int openFrom, INT_PTR item) = nullptr;
    void(WINAPI* ClosePlugin)(HANDLE plugin) = nullptr;
    void(WINAPI* GetOpenPluginInfo)(HANDLE plugin, host::OpenPluginInfo* info) = nullptr;
    int(WINAPI* GetFindData)(HANDLE plugin, host::PluginPanelItem** items, int* count,
                             int opMode) = nullptr;
    void(WINAPI* FreeFindData)(HANDLE plugin, host::PluginPanelItem* items, int count) = nullptr;
    int(WINAPI* SetDirectory)(HANDLE plugin, const char* dir, int opMode) = nullptr;
    int(WINAPI* GetFiles)(HANDLE plugin, host::PluginPanelItem* items, int count, int move,
                          char* destPath, int opMode) = nullptr;
    int(WINAPI* PutFiles)(HANDLE plugin, host::PluginPanelItem* items, int count, int move,
                          int opMode) = nullptr;
    int(WINAPI* DeleteFiles)(HANDLE plugin, host::PluginPanelItem* items, int count,
                             int opMode) = nullptr;
    int(WINAPI* MakeDirectory)(HANDLE plugin, char* name, int opMode) = nullptr;
    int(WINAPI* ProcessKey)(HANDLE plugin, int key, unsigned int controlState) = nullptr;
    int(WINAPI* ProcessEvent)(HANDLE plugin, int event, void* param) = nullptr;
    int(WINAPI* Configure)(int itemNumber) = nullptr;
    void(WINAPI* ExitFAR)() = nullptr;
};

constexpr DWORD MakeFarVersion(int major, int minor, int build) {
    return (DWORD)((major << 8) | minor | (build << 16));
}

enum { OPEN_DISKMENU = 0 };

struct HostOptions {
    std::string language = "English";  // the interface language: "English" or "Russian"
    std::string languageFolder;  // where the *.lng files are; empty: the DLL's folder
    int moduleNumber = 3;  // not 0, so a plug-in passing a made-up number is caught
    int screenWidth = 80;
    int screenHeight = 25;
    DWORD farVersion = MakeFarVersion(1, 75, 2634);
    // The panel opposite the plug-in's, as FCTL_GETANOTHERPANELSHORTINFO
    // reports it; an empty folder means the process's current directory.
    int otherPanelType = host::PTYPE_FILEPANEL;
    bool otherPanelIsPlugin = false;
    bool otherPanelVisible = true;
    std::string otherPanelDir;
    // What AdvControl answers for the user's settings, with FAR's defaults:
    // copying time information on, the total indicator off, every
    // confirmation on. A host that does not know the commands answers 0.
    DWORD interfaceSettings = host::FIS_SHOWCOPYINGTIMEINFO;
    DWORD confirmations = host::FCS_COPYOVERWRITE | host::FCS_MOVEOVERWRITE |
                          host::FCS_DRAGANDDROP | host::FCS_DELETE |
                          host::FCS_DELETENONEMPTYFOLDERS | host::FCS_INTERRUPTOPERATION;
};

// A panel read as the host reads it; the item copies' string pointers
// (Description, Owner, CustomColumnData) are null, their texts are kept
// beside them. An item's UserData block (PPIF_USERDATA) is the host's own
// copy, kept for the emulator's life, so items copied out of a listing stay
// good after the next read.
struct PanelListing {
    DWORD flags = 0;
    std::string curDir, panelTitle, format, hostFile;
    std::vector<host::InfoPanelLine> infoLines;
    std::vector<host::PluginPanelItem> items;
    std::vector<std::string> descriptions, owners;

    std::vector<std::string> Names() const;
    const host::PluginPanelItem* Find(const std::string& name) const;
};

// The plug-in DLL: KELP_DLL if set (a Windows path, or a Unix path turned
// into Z:\...), else <program folder>\..\Plugins\Kelp\Kelp.dll.
std::string FindPluginDll();
// /a/b -> Z:\a\b; a Windows path comes back unchanged.
std::string ToWindowsPath(const std::string& path);
// A disk file's find data as the host hands it to PutFiles (bare name).
host::PluginPanelItem MakeDiskItem(const std::string& folder, const std::string& name);

class HostEmulator {
public:
    explicit HostEmulator(const HostOptions& options = HostOptions());
    ~HostEmulator();
    HostEmulator(const HostEmulator&) = delete;
    HostEmulator& operator=(const HostEmulator&) = delete;

    // Loading and unloading, as the host does it (see host_emulator.cpp).
    bool Load(const std::string& dllPath);
    void Unload();
    bool Loaded() const { return module_ != nullptr; }
    const std::string& Error() const { return error_; }
    const PluginExports& Exports() const { return exports_; }
    const std::string& ModulePath() const { return modulePath_; }

    HostOptions& Options() { return options_; }
    host_emu::Journal& Journal() { return journal_; }
    ScriptedFrontEnd& Script() { return scripted_; }
    // Another answer source (null: back to the script). Not owned.
    void SetFrontEnd(HostFrontEnd* frontEnd);
    // Runs on every Message and Dialog call, progress boxes included, after
    // the call is journaled and before it is answered. Not re-entered: calls
    // the hook itself causes do not run it again.
    void SetHook(std::function<void(const JournalEntry&)> hook) { hook_ = std::move(hook); }

    // The message `id` of the chosen language file, as GetMsg returns it,
    // without journaling anything ("" when out of range).
    std::string MessageText(int id);
    const host_emu::LanguageFile* LanguageFile();

    // The thin layer that drives the plug-in as the host does. Each call
    // goes to the export of the same name; see host_emulator.cpp for what
    // the host does around it.
    HANDLE OpenFromDiskMenu(int item = 0);
    const std::vector<std::string>& DiskMenu() const { return diskMenu_; }
    bool ReadPanel(HANDLE plugin, PanelListing& listing, int opMode = 0);
    int SetDirectory(HANDLE plugin, const std::string& dir, int opMode = 0);
    int GetFiles(HANDLE plugin, std::vector<host::PluginPanelItem>& items, int move,
                 std::string& destPath, int opMode = 0);
    int PutFiles(HANDLE plugin, std::vector<host::PluginPanelItem>& items, int move,
                 const std::string& sourceDir, int opMode = 0);
    int DeleteFiles(HANDLE plugin, std::vector<host::PluginPanelItem>& items, int opMode = 0);
    int MakeDirectory(HANDLE plugin, std::string& name, int opMode = 0);
    void ClosePlugin(HANDLE plugin);
    // A panel opened by calling OpenPlugin directly: Control accepts only
    // handles of open panels (and INVALID_HANDLE_VALUE).
    void AdoptPanel(HANDLE plugin) { openPanels_.insert(plugin); }
    bool IsOpen(HANDLE plugin) const { return openPanels_.count(plugin) != 0; }

    // The services, as the plug-in reaches them through its startup record.
    const char* GetMsg(int pluginNumber, int msgId);
    int Message(int pluginNumber, DWORD flags, const char* helpTopic, const char* const* items,
                int itemsNumber, int buttonsNumber);
    int Dialog(int pluginNumber, int x1, int y1, int x2, int y2, const char* helpTopic,
               host::FarDialogItem* items, int count);
    int Control(HANDLE plugin, int command, void* param);
    int AdvControl(int moduleNumber, int command, void* param);
    HANDLE SaveScreen(int x1, int y1, int x2, int y2);
    void RestoreScreen(HANDLE screen);

    // The tables the host builds; SetStartupInfo gets stack copies of these.
    void BuildStartupInfo(host::PluginStartupInfo& info, host::FarStandardFunctions& fsf) const;

    static HostEmulator* Active();

private:
    void RunHook(size_t entry);
    bool LoadLanguage();
    void FillOtherPanel(host::PanelInfo& info) const;

    HostOptions options_;
    host_emu::Journal journal_;
    ScriptedFrontEnd scripted_;
    HostFrontEnd* frontEnd_;
    std::function<void(const JournalEntry&)> hook_;
    bool inHook_ = false;
    // The host's copies of the plug-in's UserData blocks (see PanelListing).
    std::deque<std::vector<char>> userData_;

    HMODULE module_ = nullptr;
    PluginExports exports_;
    std::string modulePath_;
    std::string error_;
    std::vector<std::string> diskMenu_;
    std::set<HANDLE> openPanels_;

    bool languageTried_ = false;
    std::vector<host_emu::LanguageFile> languages_;
    int language_ = -1;

    HostEmulator* previous_;
    BOOL fileApisWereAnsi_;
};

}  // namespace host_emu
