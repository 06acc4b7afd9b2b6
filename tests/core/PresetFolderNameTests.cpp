// Preset folders holding names that are not UTF-8. Another program, an unpacked archive or a
// damaged disk can leave such names anywhere; JUCE's own directory listing turns each into a
// juce::String as if it were UTF-8 and runs past the string's buffer on some of them. The scan
// must skip them and list everything else as usual.

#include "ProcessorFixture.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
const char* const malformedNames[] = {
    "\x80" "lone_continuation",
    "01_\xc0\xaf" "overlong_slash",
    "01_truncated_\xe5\x90",
    "01_surrogate_\xed\xa0\x80",
    "01_latin1_caf\xe9",
    "01_beyond_unicode_\xf4\x90\x80\x80",
};

std::string path (const juce::File& folder, const std::string& name)
{
    return (std::filesystem::path (folder.getFullPathName().toStdString()) / name).string();
}

/** A 492-byte preset file with a valid header, written without JUCE so any name can be used. */
void writePreset (const std::string& file)
{
    std::FILE* stream = std::fopen (file.c_str(), "wb");
    ASSERT_NE (stream, nullptr) << file;

    const uint32_t header[4] = { 0x5461726eu, 1450076024u, 16777216u, 492u };
    std::fwrite (header, sizeof (header), 1, stream);

    for (int n = 0; n < 476; ++n)
        std::fputc (0, stream);

    std::fclose (stream);
}
} // namespace

TEST (PresetFolderNames, NamesThatAreNotUtf8AreSkippedAndTheRestListed)
{
    const auto root = TestEnvironment::dataRoot();
    root.getChildFile ("common").deleteRecursively();
    root.getChildFile ("user").deleteRecursively();

    // Removed with std::filesystem whatever happens, so no later test meets these names.
    struct RemoveAfterwards
    {
        std::string common, user;
        ~RemoveAfterwards()
        {
            std::error_code error;
            std::filesystem::remove_all (common, error);
            std::filesystem::remove_all (user, error);
        }
    } removeAfterwards { path (root, "common"), path (root, "user") };

    const auto factory = root.getChildFile ("common/Tarnwick/Valmora/Factory Presets");
    const auto user = root.getChildFile ("user/Tarnwick/Valmora/User Presets");
    factory.getChildFile ("01_Mastering").createDirectory();
    user.createDirectory();

    writePreset (path (factory, "01_Mastering/01_Warm.valmora"));
    writePreset (path (user, "Caf\xc3\xa9.valmora")); // well-formed UTF-8 beyond ASCII stays listed

    for (const char* name : malformedNames)
    {
        std::filesystem::create_directory (path (factory, name));
        writePreset (path (factory, std::string (name) + "/01_Inside.valmora"));
        writePreset (path (factory, std::string ("01_Mastering/") + name + ".valmora"));
        writePreset (path (user, std::string (name) + ".valmora"));
    }

    PresetStore store ("valmora", "group.tarnwick.valmora2", 460, "Valmora", "Factory Presets", "User Presets");
    const auto& categories = store.getCategories();

    ASSERT_EQ (categories.size(), 2u);
    EXPECT_EQ (categories[0].displayName, "Mastering");
    ASSERT_EQ (categories[0].items.size(), 1u);
    EXPECT_EQ (categories[0].items[0].name, "Warm");

    EXPECT_EQ (categories[1].displayName, "User Presets");
    ASSERT_EQ (categories[1].items.size(), 1u);
    EXPECT_EQ (categories[1].items[0].name, juce::String::fromUTF8 ("Caf\xc3\xa9"));
    EXPECT_NE (store.readPresetFile (1, 0), nullptr);
}

TEST (PresetFolderNames, SavedPresetNamesNeverLeaveTheUserPresetFolder)
{
    // juce::File reads a name starting with "~" as an absolute path: "~root.valmora" would look
    // for a user "root.valmora", and without one stay a path relative to the working directory.
    struct Case { const char* name; bool saved; };
    const Case cases[] = {
        { "~", false },
        { "~root", false },
        { "~no such user", false },
        { "a~b", true },
        { "Mix ~", true },
    };

    const auto root = TestEnvironment::dataRoot();
    root.getChildFile ("user").deleteRecursively();
    PresetStore store ("valmora", "group.tarnwick.valmora2", 460, "Valmora", "Factory Presets", "User Presets");
    const int userCategory = (int) store.getCategories().size() - 1;
    const auto userRoot = store.getUserRoot();
    const juce::MemoryBlock blob (476, true);

    for (const auto& testCase : cases)
    {
        SCOPED_TRACE (testCase.name);
        const juce::String fileName = juce::String (testCase.name) + ".valmora";
        EXPECT_EQ (store.savePreset (blob, testCase.name, userCategory), testCase.saved);
        EXPECT_EQ (PresetStore::isSafePresetName (testCase.name), testCase.saved);
        EXPECT_EQ (juce::File (userRoot.getFullPathName() + "/" + fileName).existsAsFile(), testCase.saved);
        EXPECT_FALSE (std::filesystem::exists (std::filesystem::current_path() / fileName.toStdString()));
    }

    root.getChildFile ("user").deleteRecursively();
}
