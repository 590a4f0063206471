// The console as the interactive host draws it: a cell buffer the size of the
// console window, written out with WriteConsoleOutputA in the OEM code page
// (the box-drawing characters below are the same in 437 and 866).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host_emu {

// Colours, as the host's classic palette has them.
enum : WORD {
    kPanelText = 0x1B,       // light cyan on blue
    kPanelFolder = 0x1F,     // white on blue
    kPanelSelected = 0x1E,   // yellow on blue
    kPanelCursor = 0x30,     // black on cyan
    kPanelCursorSel = 0x3E,  // yellow on cyan
    kPanelTitleActive = 0x30,
    kDialog = 0x70,          // black on light grey
    kDialogHotkey = 0x7E,
    kDialogFocus = 0x30,     // focused button
    kDialogEdit = 0x30,
    kWarning = 0x4F,         // white on red
    kWarningHotkey = 0x4E,
    kWarningFocus = 0x70,
    kMenu = 0x30,
    kMenuCursor = 0x0F,
    kKeyNumber = 0x07,
    kKeyLabel = 0x30,
    kCommandLine = 0x07,
};

// OEM box-drawing characters.
namespace box {
enum : unsigned char {
    H = 0xC4, V = 0xB3, TL = 0xDA, TR = 0xBF, BL = 0xC0, BR = 0xD9,
    HH = 0xCD, VV = 0xBA, TTL = 0xC9, TTR = 0xBB, TBL = 0xC8, TBR = 0xBC,
    VVRight = 0xC7, VVLeft = 0xB6,   // double vertical meeting a single line
    VVRight2 = 0xCC, VVLeft2 = 0xB9, // ... meeting a double line
    HHDown = 0xD1, HHUp = 0xCF,      // double horizontal meeting a single line
};
}

class Screen {
public:
    // Reads the console window's size; false without a console.
    bool Open();
    int Width() const { return width_; }
    int Height() const { return height_; }

    void Fill(int x, int y, int w, int h, char ch, WORD attr);
    // Clipped to the screen and, when maxWidth >= 0, to maxWidth cells.
    void Text(int x, int y, const std::string& s, WORD attr, int maxWidth = -1);
    void Cell(int x, int y, char ch, WORD attr);
    char CharAt(int x, int y) const;
    void Frame(int x1, int y1, int x2, int y2, bool doubleLine, WORD attr);
    // A rule across a frame, joined to a double frame's sides.
    void Rule(int x1, int x2, int y, WORD attr, bool doubleLine = false);
    // Darkens the cells right of and below a box, as the host's shadow.
    void Shadow(int x1, int y1, int x2, int y2);

    void Cursor(int x, int y);   // shows the cursor there
    void HideCursor();
    void Flush();

    // A rectangle of the real console, read back with ReadConsoleOutputA,
    // and the cursor with it; restore writes both back.
    struct Saved {
        SMALL_RECT rect{};
        std::vector<CHAR_INFO> cells;
        CONSOLE_CURSOR_INFO cursorInfo{};
        COORD cursorAt{};
    };
    Saved Save(int x1, int y1, int x2, int y2);
    void Restore(const Saved& saved);

private:
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    HANDLE out_ = INVALID_HANDLE_VALUE;
    int width_ = 80, height_ = 25;
    std::vector<CHAR_INFO> cells_;
};

}  // namespace host_emu
