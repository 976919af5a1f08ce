#include "engine/pack.h"

#include <algorithm>

#include "engine/store.h"

namespace engine {

using limbs::kLimbDigits;
using limbs::Limb;
using limbs::Num;

// Limb i holds the digits of weight 10^(8i)..10^(8i+7): cells p-8i-7..p-8i.
void pack(int r, int p, Num& x) {
  const signed char* c = n + r;
  x.len = limbs::digitLimbs(p + 1);
  for (int i = 0; i < x.len; ++i) {
    Limb v = 0;
    for (int k = std::max(0, p - kLimbDigits * i - (kLimbDigits - 1)); k <= p - kLimbDigits * i; ++k) {
      v = v * 10 + static_cast<Limb>(c[k]);
    }
    x.d[i] = v;
  }
  limbs::trim(x);
}

void unpack(const Num& x, int r, int p) {
  signed char* c = n + r;
  for (int i = 0; kLimbDigits * i <= p; ++i) {
    Limb v = i < x.len ? x.d[i] : 0;
    for (int k = p - kLimbDigits * i; k >= 0 && k > p - kLimbDigits * (i + 1); --k) {
      c[k] = static_cast<signed char>(v % 10);
      v /= 10;
    }
  }
}

}  // namespace engine
