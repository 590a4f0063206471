// The demo without a terminal: the same operations a user would do in the
// interactive host, driven through the scripted front end and told in plain
// text on standard output.
#pragma once

#include "host_emulator.h"

#include <string>

namespace host_emu {

// Lists the phone's drives and a folder, copies a file from the phone into
// pcFolder and one from pcFolder back, deletes that one again. Returns 0
// when every step did what it should, 1 otherwise.
int RunTour(HostEmulator& host, const std::string& pcFolder);

}  // namespace host_emu
