// The console front end: the plug-in's boxes, dialogs and progress drawn in
// the console and answered with keys, its saved screens kept as real console
// contents, and the few boxes the host shows of its own (a menu, a question,
// a line to type).
#pragma once

#include "console_keys.h"
#include "console_screen.h"
#include "front_end.h"

#include <map>
#include <string>
#include <vector>

namespace host_emu {

class ConsoleFrontEnd : public HostFrontEnd {
public:
    ConsoleFrontEnd(Screen& screen, Keyboard& keys) : screen_(screen), keys_(keys) {}

    void ShowBox(const JournalEntry& box) override;
    int AskMessage(const JournalEntry& box, bool& answered) override;
    int RunDialog(JournalEntry& dialog, bool& answered) override;
    void SaveScreen(HANDLE screen, int x1, int y1, int x2, int y2) override;
    void RestoreScreen(HANDLE screen) override;

    // The host's own boxes. ask: the button chosen or -1; menu: the item
    // chosen or -1 (empty items are separators); inputLine: false on Esc.
    int Ask(const std::string& title, const std::vector<std::string>& lines,
            const std::vector<std::string>& buttons, bool warning = false);
    int Menu(const std::string& title, const std::vector<std::string>& items, int selected,
             int centreX);
    bool InputLine(const std::string& title, const std::string& prompt, std::string& text);

private:
    struct Geometry {
        int x1, y1, x2, y2;  // the box, frame and margins, without the shadow
        int buttonsY;
    };
    Geometry DrawMessage(const JournalEntry& box, int focusButton);
    void DrawDialog(const JournalEntry& dialog, int focus, const std::vector<int>& cursors);
    int ChooseButton(const JournalEntry& box);

    Screen& screen_;
    Keyboard& keys_;
    std::map<HANDLE, Screen::Saved> saved_;
};

// A caption without its '&', and the hotkey the '&' marked (0 for none).
std::string StripHotkey(const std::string& caption, char* hotkey = nullptr);

}  // namespace host_emu
