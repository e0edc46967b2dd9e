#pragma once
// How many bytes one receive asks for, the head's and the body's alike. The
// benchmark's floor takes the same number from here, so that it stays the
// least this design can cost. No other include: the floor is built on its
// own.
//
// Every receive costs a socket call whatever it brings (about 75 us under
// Wine), so the size decides the speed of a large body; it is allocated once
// per download. Measured on loopback (bench/run, "floor by piece size"): up
// to 512 KiB each doubling was faster, beyond it nothing more was gained.
// 512 KiB fits every count of the 32-bit build with room to spare.
#include <cstdint>

constexpr int32_t PIECE_SIZE = 512 * 1024;
