// One panel of the interactive host: a folder of the PC listed with
// FindFirstFile, or a plug-in's panel read through its exports as the host
// reads it; either can be covered by the information panel (Ctrl+L).
#pragma once

#include "console_screen.h"
#include "host_emulator.h"

#include <string>
#include <vector>

namespace host_emu {

struct PanelEntry {
    std::string name;
    DWORD attributes = 0;
    ULONGLONG size = 0;
    FILETIME written{};
    bool selected = false;
    host::PluginPanelItem item{};  // a plug-in panel's item, as listed

    bool IsUp() const { return name == ".."; }
    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

class FilePanel {
public:
    enum Kind { Local, Plugin };
    Kind kind = Local;
    bool info = false;  // the information panel covers this one
    std::string folder;  // the PC folder (also the one a plug-in panel returns to)
    HANDLE plugin = INVALID_HANDLE_VALUE;
    PanelListing listing;
    std::vector<PanelEntry> entries;
    int current = 0;
    mutable int top = 0;  // the first row shown; drawing keeps the cursor in view

    // Reads again keeping the selection and the cursor's name. False when a
    // plug-in's GetFindData failed: the host has closed that panel.
    bool Read(HostEmulator& host);
    const PanelEntry* CurrentEntry() const;
    // What an operation works on: the selection, else the current item;
    // never "..".
    std::vector<PanelEntry> Chosen() const;
    void MoveTo(const std::string& name);
    void Move(int delta);
    int Rows() const { return rows_; }
    std::string Title() const;
    // The folder a plug-in panel reports as its own (CurDir), or the PC folder.
    std::string CurDir() const { return kind == Plugin ? listing.curDir : folder; }

    // `about` is the panel the information panel describes (the other one).
    void Draw(Screen& screen, int x, int y, int w, int h, bool active,
              const FilePanel& about) const;

private:
    void ReadFolder();
    void ReadPlugin(HostEmulator& host, bool& ok);
    void DrawInfo(Screen& screen, int x, int y, int w, int h, const FilePanel& about) const;
    mutable int rows_ = 10;
};

// "1,234,567"
std::string Grouped(ULONGLONG value);
// The folder above `folder` ("" at a root), and the last component of a path.
std::string ParentFolder(const std::string& folder);
std::string LastComponent(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace host_emu
