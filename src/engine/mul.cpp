#include "engine/ops.h"
#include "engine/store.h"
#include "engine/wide.h"
#include "engine/wide_mul.h"

namespace engine {

static_assert(wide::digitLimbs(kRegCells) <= wide::kMaxOperand, "a register value is one operand");

void mul() {
  static wide::Num a, b, p;
  wide::pack(rMulA, precision, a);
  wide::pack(rMulB, precision, b);
  wide::mulFixed(a, b, p, precision - decpoint, precision + 1);
  wide::unpack(p, rMulProd, precision);
}

}  // namespace engine
