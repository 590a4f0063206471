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

namespace hostemu {

class ConsoleFrontEnd : public HostFrontEnd {
public:
    ConsoleFrontEnd(Screen& screen, Keyboard& keys) : screen_(screen), keys_(keys) {}

    void showBox(const JournalEntry& box) override;
    int askMessage(const JournalEntry& box, bool& answered) override;
    int runDialog(JournalEntry& dialog, bool& answered) override;
    void saveScreen(HANDLE screen, int x1, int y1, int x2, int y2) override;
    void restoreScreen(HANDLE screen) override;

    // The host's own boxes. ask: the button chosen or -1; menu: the item
    // chosen or -1 (empty items are separators); inputLine: false on Esc.
    int ask(const std::string& title, const std::vector<std::string>& lines,
            const std::vector<std::string>& buttons, bool warning = false);
    int menu(const std::string& title, const std::vector<std::string>& items, int selected,
             int centreX);
    bool inputLine(const std::string& title, const std::string& prompt, std::string& text);

private:
    struct Geometry {
        int x1, y1, x2, y2;  // the box, frame and margins, without the shadow
        int buttonsY;
    };
    Geometry drawMessage(const JournalEntry& box, int focusButton);
    void drawDialog(const JournalEntry& dialog, int focus, const std::vector<int>& cursors);
    int chooseButton(const JournalEntry& box);

    Screen& screen_;
    Keyboard& keys_;
    std::map<HANDLE, Screen::Saved> saved_;
};

// A caption without its '&', and the hotkey the '&' marked (0 for none).
std::string StripHotkey(const std::string& caption, char* hotkey = nullptr);

}  // namespace hostemu
