#include "Simd.h"

namespace {

TCpuFeatures Probe()
{
    TCpuFeatures Features;
#ifdef DTMF_X86_TARGETS
    __builtin_cpu_init();
    Features.Avx2 = __builtin_cpu_supports("avx2");
    Features.Avx2Fma = Features.Avx2 && __builtin_cpu_supports("fma");
    Features.Avx512 = Features.Avx2Fma && __builtin_cpu_supports("avx512f") &&
                      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                      __builtin_cpu_supports("avx512bw");
#endif
    return Features;
}

} // namespace

const TCpuFeatures &CpuFeatures()
{
    static const TCpuFeatures Features = Probe();
    return Features;
}
