// Files and folders for tests and benchmarks, by their UTF-16 names, so a
// test's own set-up never depends on the code page under test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test_files {

// A new, empty folder named `prefix` plus a random number, under `base` (with
// its final backslash) or the temporary folder. The first call in a process
// also removes what killed runs left in the temporary folder: folders named
// "kelp-*" untouched for half an hour.
std::wstring MakeTempFolder(const wchar_t* prefix = L"kelp-test",
                            const std::wstring& base = std::wstring());
void RemoveTree(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);  // "<missing>" when it cannot be opened
bool Exists(const std::wstring& path);
std::vector<std::wstring> Names(const std::wstring& folder);  // sorted, without . and ..

}  // namespace test_files
