#include "ProcessorFixture.h"

namespace
{
/** The generated factory library, installed into a test data root as the install step lays it out. */
class FactoryLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installed = TestEnvironment::dataRoot().getChildFile ("common/Tarnwick/Valmora/Factory Presets");
        installed.deleteRecursively();
        ASSERT_TRUE (juce::File (VALMORA_FACTORY_PRESETS_DIR).copyDirectoryTo (installed));
    }

    void TearDown() override { TestEnvironment::dataRoot().getChildFile ("common").deleteRecursively(); }

    juce::File installed;
};
} // namespace

TEST_F (FactoryLibrary, IsListedWithMasterDefaultFirst)
{
    ValmoraAudioProcessor processor;
    const auto& categories = processor.getPresetStore().getCategories();

    int factoryCategories = 0, factoryPresets = 0;
    for (const auto& category : categories)
    {
        if (category.isUser)
            continue;

        ++factoryCategories;
        factoryPresets += (int) category.items.size();
    }

    EXPECT_GE (factoryCategories, 3);
    EXPECT_GE (factoryPresets, 12);
    ASSERT_FALSE (categories.empty());
    EXPECT_EQ (categories[0].displayName, "Master");
    ASSERT_FALSE (categories[0].items.empty());
    EXPECT_EQ (categories[0].items[0].name, "Default");

    EXPECT_TRUE (processor.getPresetStore().getCurrentPreset().valid) << "a new instance starts on Master/Default";
    EXPECT_EQ (processor.getPresetStore().getCurrentPreset().name, "Default");
}

TEST_F (FactoryLibrary, EveryPresetLoadsAndSoundsFinite)
{
    ValmoraAudioProcessor processor;
    auto& store = processor.getPresetStore();
    prepare (processor, 44100.0, 512);

    for (int category = 0; category < (int) store.getCategories().size(); ++category)
    {
        for (const auto& item : store.getCategories()[(size_t) category].items)
        {
            const auto data = store.readPresetFile (category, item.itemIndex);
            ASSERT_NE (data, nullptr) << item.name;
            EXPECT_EQ (data->getSize(), 492u) << item.name;
            const auto payload = store.unpackPresetData (data->getData(), data->getSize());
            ASSERT_TRUE (payload.has_value()) << item.name;
            ASSERT_TRUE (processor.loadState (payload->getData(), (int) payload->getSize(), true)) << item.name;

            auto audio = sine (2, 22050, 80.0, 44100.0, 0.7f);
            render (processor, audio, 512);
            const float peak = audio.getMagnitude (0, audio.getNumSamples());
            EXPECT_TRUE (std::isfinite (peak)) << item.name;
            EXPECT_LE (peak, 1.0f) << item.name << " stays under full scale";
        }
    }
}
