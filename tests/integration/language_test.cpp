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
    case MKeptSinceCopy: case MNotSettled: case MReadingFolder: return "d";
    case MTimeLine: return "sss";
    case MTotalFiles: return "ddss";
    case MCounted: return "ds";
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
            // A counted message: each of its forms takes the count.
            size_t start = 0;
            for (size_t end; (end = text.find('|', start)) != std::string::npos; start = end + 1)
                EXPECT_EQ("d", Conversions(text.substr(start, end - start)))
                    << file.name << " message " << id;
            EXPECT_EQ(ExpectedConversions(id), Conversions(text.substr(start)))
                << file.name << " message " << id;
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

// Russian counts take the form their number asks for: 1 элемент,
// 2 элемента, 5 элементов, 21 элемент.
TEST_F(RussianHost, CountsTakeTheirPluralForms)
{
    std::vector<std::string> names;
    for (int i = 0; i < 21; ++i) {
        names.push_back("f" + std::to_string(100 + i));
        ASSERT_TRUE(MakeDirs(PhonePath("C")));
        ASSERT_TRUE(WriteFileText(PhonePath("C\\" + names.back()), "x"));
    }
    HANDLE panel = OpenAt("C:");
    const std::pair<size_t, const char*> cases[] = {
        {2, "2 \xED\xAB\xA5\xAC\xA5\xAD\xE2\xA0"},           // 2 элемента
        {5, "5 \xED\xAB\xA5\xAC\xA5\xAD\xE2\xAE\xA2"},       // 5 элементов
        {21, "21 \xED\xAB\xA5\xAC\xA5\xAD\xE2"},             // 21 элемент
    };
    for (const auto& c : cases) {
        std::vector<host::PluginPanelItem> items =
            Select(panel, std::vector<std::string>(names.begin(), names.begin() + c.first));
        host->Journal().Clear();
        host->Script().AnswerMessage(1);  // cancel
        EXPECT_EQ(0, host->DeleteFiles(panel, items));
        ASSERT_EQ(1u, host->Journal().Prompts().size());
        EXPECT_EQ(c.second, host->Journal().Prompts()[0]->lines[1]);
    }
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test
