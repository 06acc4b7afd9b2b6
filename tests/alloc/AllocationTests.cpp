// Counts heap allocations made while the processor runs its audio callback. The global allocation
// functions of this test binary are replaced, so every new and delete anywhere is seen.

#include "../core/ProcessorFixture.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<bool> counting { false };
std::atomic<long> allocations { 0 };

void* allocate (std::size_t size)
{
    if (counting.load())
        ++allocations;

    if (void* memory = std::malloc (size == 0 ? 1 : size))
        return memory;

    throw std::bad_alloc();
}
} // namespace

void* operator new (std::size_t size) { return allocate (size); }
void* operator new[] (std::size_t size) { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void operator delete (void* memory) noexcept { std::free (memory); }
void operator delete[] (void* memory) noexcept { std::free (memory); }
void operator delete (void* memory, std::size_t) noexcept { std::free (memory); }
void operator delete[] (void* memory, std::size_t) noexcept { std::free (memory); }

namespace
{
class NoAllocation : public ::testing::TestWithParam<int> {};
} // namespace

TEST_P (NoAllocation, ProcessBlockAllocatesNothingAfterPreparation)
{
    const int blockSize = GetParam();
    ValmoraAudioProcessor processor;

    // Every module in play, so no path through the chain is skipped.
    for (int index = 12; index <= 21; ++index)
        setParameter (processor, index, 0.7f);
    setParameter (processor, 2, 0.9f);
    processor.setAddSolo (false);

    prepare (processor, 48000.0, 512); // blocks larger than announced are included below
    auto audio = sine (2, blockSize, 220.0, 48000.0, 0.8f);
    juce::MidiBuffer midi;
    processor.processBlock (audio, midi); // first block: ramps start, nothing new is created

    allocations = 0;
    counting = true;

    for (int repeat = 0; repeat < 20; ++repeat)
    {
        setParameter (processor, 12 + repeat % 10, (float) (repeat % 3) / 2.0f);
        processor.processBlock (audio, midi);
    }

    counting = false;
    EXPECT_EQ (allocations.load(), 0) << "block size " << blockSize;
}

INSTANTIATE_TEST_SUITE_P (BlockSizes, NoAllocation, ::testing::Values (1, 7, 64, 512, 4096, 8192));

TEST (NoAllocationMono, MonoBlocksAllocateNothing)
{
    ValmoraAudioProcessor processor;
    prepare (processor, 44100.0, 256, 1);
    auto audio = sine (1, 256, 220.0, 44100.0, 0.8f);
    juce::MidiBuffer midi;
    processor.processBlock (audio, midi);

    allocations = 0;
    counting = true;
    for (int repeat = 0; repeat < 20; ++repeat)
        processor.processBlock (audio, midi);
    counting = false;

    EXPECT_EQ (allocations.load(), 0);
}
