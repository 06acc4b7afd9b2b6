// PresetStore::unpackPresetData, the acceptance rule for preset file contents and decoded preset
// messages, against arbitrary bytes; accepted payloads are loaded into a processor as presets.
//
// The rule itself is checked, not only survived: data with the magic is accepted exactly when it is
// longer than the header and its size word equals its size, and then the payload is the data after
// the 16 header bytes; data without the magic is accepted exactly when it has the legacy raw size,
// and then the payload is the whole of it. A file made by createPresetFileData from an accepted
// payload unpacks to that payload again.

#include "FuzzSupport.h"

namespace
{
uint32_t wordAt (const uint8_t* bytes)
{
    return (uint32_t) bytes[0] | ((uint32_t) bytes[1] << 8) | ((uint32_t) bytes[2] << 16) | ((uint32_t) bytes[3] << 24);
}

ValmoraAudioProcessor& processor() { return fuzz::preparedProcessor().processor; }
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzz::initialise();
    processor();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;

    auto& store = processor().getPresetStore();
    const auto payload = store.unpackPresetData (data, size);

    const bool hasMagic = size >= 4 && wordAt (data) == PresetStore::magicWord;
    const bool shouldAccept = hasMagic ? size > (size_t) PresetStore::headerSize && wordAt (data + 12) == (uint32_t) size
                                       : size > 3 && size == (size_t) store.expectedRawSize;

    if (payload.has_value() != shouldAccept)
        fuzz::fail ("acceptance differs from the rule");

    if (! payload)
        return 0;

    const uint8_t* expectedBytes = hasMagic ? data + PresetStore::headerSize : data;
    const size_t expectedSize = hasMagic ? size - (size_t) PresetStore::headerSize : size;

    if (payload->getSize() != expectedSize || std::memcmp (payload->getData(), expectedBytes, expectedSize) != 0)
        fuzz::fail ("payload is not the data after the header");

    const auto file = store.createPresetFileData (payload->getData(), payload->getSize());
    const auto again = store.unpackPresetData (file.getData(), file.getSize());

    if (! again || *again != *payload)
        fuzz::fail ("a file made from a payload does not unpack to it");

    // What the preset manager does with an accepted payload, from the same state every time so
    // that a crash reproduces from its input alone.
    processor().loadState (fuzz::preparedProcessor().start.getData(), (int) fuzz::preparedProcessor().start.getSize(), false);
    processor().loadState (payload->getData(), (int) payload->getSize(), true);
    fuzz::checkProcessedOutputIsFinite (processor(), 2);
    fuzz::checkSavedValuesAreNormalised (processor(), true);
    return 0;
}
