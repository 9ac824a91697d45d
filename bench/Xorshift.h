// SPDX-License-Identifier: GPL-3.0-or-later
// A small fast generator (xorshift64) for generated scenes, which are
// reproducible from their seed. Not for anything that must be unpredictable.
#pragma once

#include <cstdint>

struct Xorshift {
    std::uint64_t State;
    std::uint64_t Next()
    {
        State ^= State << 13;
        State ^= State >> 7;
        State ^= State << 17;
        return State;
    }
    // In [0, 1), 53 bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Between(double a, double b) { return a + (b - a) * Uniform(); }
};
