// The shipped language files, as the host reads them from the plug-in's folder.
#include "integration_support.h"

#include "language_file.h"
#include "message_ids.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kelp_test {
namespace {

// The printf conversions a text carries, in order ("%%" is none).
std::string Conversions(const std::string& text)
{
    std::string found;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') continue;
        size_t j = i + 1;
        if (text[j] == '%') {
            i = j;
            continue;
        }
        while (j < text.size() && strchr("-+ #0123456789.lh", text[j])) ++j;
        if (j < text.size()) found += text[j];
        i = j;
    }
    return found;
}

// What each message must carry: its arguments are passed in this order.
std::string ExpectedConversions(int id)
{
    switch (id) {
    case MCopyOneItem: case MMoveOneItem: return "s";
    case MCopyManyItems: case MMoveManyItems: return "d";
    case MFilesCopied: return "d";
    case MDeleteItems: return "d";
    case MInfoHeading: return "ss";
    case MStatusOther: return "d";
    case MCopyFailed: case MMoveFailed: case MErrorDestination: return "s";
    case MTreeIncomplete: return "s";
    case MEntriesLeftOut: case MInfoHiddenCount: return "d";
    default: return "";
    }
}

std::string PluginFolder()
{
    std::string dll = host_emu::FindPluginDll();
    return dll.substr(0, dll.find_last_of('\\'));
}

TEST(LanguageFiles, EveryShippedLanguageHasEveryMessageWithItsPlaceholders)
{
    std::vector<host_emu::LanguageFile> files = host_emu::ReadLanguageFolder(PluginFolder());
    std::vector<std::string> names;
    for (const auto& file : files) names.push_back(file.name);
    std::sort(names.begin(), names.end());
    ASSERT_EQ((std::vector<std::string>{"English", "Russian"}), names);

    for (const auto& file : files) {
        ASSERT_EQ((size_t)MessageCount, file.messages.size()) << file.path;
        for (int id = 0; id < MessageCount; ++id) {
            const std::string& text = file.messages[id];
            EXPECT_EQ(ExpectedConversions(id), Conversions(text)) << file.name << " message " << id;
            if (id != MUnused5) {
                EXPECT_FALSE(text.empty()) << file.name << " message " << id;
            }
        }
        char status[128];
        snprintf(status, sizeof(status), file.messages[MStatusOther].c_str(), -25);
        EXPECT_NE(std::string::npos, std::string(status).find("-25")) << file.name;
    }
}

class RussianHost : public KelpTest {
protected:
    void SetUp() override
    {
        hostOptions.language = "Russian";
        KelpTest::SetUp();
    }
};

// The host hands the Russian texts over byte for byte, in code page 866.
TEST_F(RussianHost, DiskMenuEntryComesFromTheRussianFile)
{
    host::PluginInfo info;
    host->Exports().GetPluginInfo(&info);
    ASSERT_EQ(1, info.DiskMenuStringsNumber);
    const char expected[] = "\x92\xA5\xAB\xA5\xE4\xAE\xAD";  // "Телефон" in 866
    EXPECT_STREQ(expected, info.DiskMenuStrings[0]);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test
