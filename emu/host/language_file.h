// The host's language files: how a plug-in's messages are found and read.
//
// A file is chosen among all *.lng files in the plug-in's folder by the
// language name in its `.Language=<Name>,<Description>` header. Messages are
// the quoted lines, numbered from 0 in file order; their bytes (OEM) are
// kept exactly as written.
#pragma once

#include <string>
#include <vector>

namespace host_emu {

struct LanguageFile {
    std::string path;
    std::string name;         // from the header; empty when the header is missing
    std::string description;  // the text after the first comma
    std::vector<std::string> messages;
};

// Escapes of a message body: \\ \" \n \r \b \t, and "" for a quote; any
// other backslash stays as written.
std::string UnescapeMessage(const std::string& body);

// Reads a file's text (any line ends) into `out`.
LanguageFile ParseLanguageFile(const std::string& text);
bool ReadLanguageFile(const std::string& path, LanguageFile& out);

// Every *.lng directly in `folder` (no recursion), in directory order.
std::vector<LanguageFile> ReadLanguageFolder(const std::string& folder);

// The host's choice: the file whose name equals `language` (ignoring case),
// else the one named English, else the last one found; -1 when none.
int ChooseLanguageFile(const std::vector<LanguageFile>& files, const std::string& language);

}  // namespace host_emu
