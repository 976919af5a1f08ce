#include "engine/ops.h"
#include "engine/store.h"
#include "engine/wide.h"

namespace engine {

void mul() {
  static wide::Num a, b, p;
  wide::pack(rMulA, a);
  wide::pack(rMulB, b);
  wide::mulFixed(a, b, p);
  wide::unpack(p, rMulProd);
}

}  // namespace engine
