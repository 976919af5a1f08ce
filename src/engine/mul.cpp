#include "engine/ops.h"
#include "engine/store.h"
#include "engine/pack.h"
#include "limbs/num.h"
#include "limbs/mul.h"

namespace engine {

static_assert(limbs::digitLimbs(kRegCells) <= limbs::kMaxOperand, "a register value is one operand");

void mul() {
  static limbs::Num a, b, p;
  pack(rMulA, precision, a);
  pack(rMulB, precision, b);
  limbs::mulFixed(a, b, p, precision - decpoint, precision + 1);
  unpack(p, rMulProd, precision);
}

}  // namespace engine
