// Registers to limbs and back: the only code that reads the digit store into the limb
// arithmetic and writes its results back.
#pragma once

#include "limbs/num.h"

namespace engine {

// pack: x := the integer held in cells 0..p of register r (cell p is the units digit).
void pack(int r, int p, limbs::Num& x);
// unpack: cells 0..p of register r := x mod 10^(p+1).
void unpack(const limbs::Num& x, int r, int p);

}  // namespace engine
