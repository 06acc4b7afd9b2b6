#pragma once

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace testing_support
{

/** The impulse response of a per-sample process, `length` samples long. */
inline std::vector<double> impulseResponse (const std::function<float (float)>& process, int length)
{
    std::vector<double> response ((size_t) length);

    for (int n = 0; n < length; ++n)
        response[(size_t) n] = process (n == 0 ? 1.0f : 0.0f);

    return response;
}

/** The complex frequency response of an impulse response at one frequency. */
inline std::complex<double> responseAt (const std::vector<double>& impulse, double frequency, double sampleRate)
{
    const double omega = 2.0 * 3.14159265358979323846 * frequency / sampleRate;
    std::complex<double> sum { 0.0, 0.0 };

    for (size_t n = 0; n < impulse.size(); ++n)
        sum += impulse[n] * std::polar (1.0, -omega * (double) n);

    return sum;
}

inline double magnitudeDb (std::complex<double> response)
{
    return 20.0 * std::log10 (std::abs (response));
}

/** Logarithmically spaced frequencies from `low` to `high`, `perOctave` to an octave. */
inline std::vector<double> logFrequencies (double low, double high, int perOctave)
{
    std::vector<double> frequencies;

    for (double f = low; f <= high * 1.0000001; f *= std::pow (2.0, 1.0 / perOctave))
        frequencies.push_back (f);

    return frequencies;
}

} // namespace testing_support
