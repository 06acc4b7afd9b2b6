#include "ProcessorFixture.h"

TEST (GlobalSettings, SharedThroughOneCompressedFileInTheUserFolder)
{
    const auto file = TestEnvironment::dataRoot().getChildFile ("user/Tarnwick/Valmora/Valmora.settings");
    file.deleteFile();

    {
        TWGlobalSettings settings;
        EXPECT_EQ (settings.getFile(), file);
        settings.set ("Zoom", "150");
        settings.set ("zoom", "other key: names are case-sensitive");
    } // written when the store goes away

    ASSERT_TRUE (file.existsAsFile());
    juce::MemoryBlock bytes;
    file.loadFileAsData (bytes);
    EXPECT_EQ (juce::String::createStringFromData (bytes.getData(), (int) bytes.getSize()).indexOf ("Zoom"), -1)
        << "stored compressed, not as plain text";

    TWGlobalSettings reopened;
    EXPECT_EQ (reopened.get ("Zoom"), "150");
    EXPECT_EQ (reopened.get ("zoom"), "other key: names are case-sensitive");
    EXPECT_EQ (reopened.get ("Missing", "fallback"), "fallback");
}
