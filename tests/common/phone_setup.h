// What the link's and the integration tests' fixtures share: the phone's
// drive folders, and a thread of a test's own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace test_support {

// The phone's drives C: and E:, as folders under `root`.
bool MakePhoneDrives(const std::wstring& root);

// Runs f on a thread of its own, one nothing has initialised COM on, while
// this one dispatches its messages (a phone served in this process answers
// through them); false when it did not start, or a minute passed with
// neither its end nor a message.
bool RunOnOwnThread(std::function<void()> f);

}  // namespace test_support
