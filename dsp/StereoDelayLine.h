#pragma once

#include <cstdint>
#include <memory>

/** A fixed-capacity delay line of two-channel frames.

    Serves as a module's compensation delay, as the compressor core's lookahead and as the
    processor's alignment of the parallel path. The buffer is allocated once, at construction,
    so changing the delay on the audio thread never allocates.
*/
class StereoDelayLine
{
public:
    static constexpr int32_t capacity = 10000;

    /** Allocates a zeroed buffer; the write position starts at the last slot. */
    explicit StereoDelayLine (int32_t initialReadIndex = 0);

    /** Sets the delay in frames, clamped to 0 .. capacity - 1, relative to the current write
        position. The buffer contents are kept. */
    void setDelay (int32_t frames) noexcept;

    int32_t getDelay() const noexcept { return delayLength; }

    /** Zeroes the buffer without moving the read and write positions. */
    void clear() noexcept;

    /** Writes one frame, reads the frame `getDelay()` frames old and advances both positions. */
    void process (float& left, float& right) noexcept
    {
        float* slot = buffer.get() + 2 * writeIndex;
        slot[0] = left;
        slot[1] = right;

        const float* delayed = buffer.get() + 2 * readIndex;
        left = delayed[0];
        right = delayed[1];

        if (++writeIndex == capacity)
            writeIndex = 0;

        if (++readIndex == capacity)
            readIndex = 0;
    }

private:
    std::unique_ptr<float[]> buffer;
    int32_t writeIndex = capacity - 1;
    int32_t readIndex = 0;
    int32_t delayLength = 0;
};
