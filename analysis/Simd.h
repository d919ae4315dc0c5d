// Vectors of the compiler's vector extension, and the instruction sets this
// processor offers. Kernels are written once as templates over the vector
// type and compiled into one function per target; the caller picks the
// function by CpuFeatures().
#pragma once

typedef float TFloats4 __attribute__((vector_size(16)));
typedef float TFloats8 __attribute__((vector_size(32)));
// Vectors of 2, 4 and 8 doubles: one register of SSE2, AVX and AVX-512.
typedef double TDoubles2 __attribute__((vector_size(16)));
typedef double TDoubles4 __attribute__((vector_size(32)));
typedef double TDoubles8 __attribute__((vector_size(64)));

#if defined(__x86_64__) || defined(__i386__)
#define DTMF_X86_TARGETS 1
#endif

struct TCpuFeatures
{
    bool Avx2 = false;
    bool Avx2Fma = false; // AVX2 with fused multiply-adds
    bool Avx512 = false;  // AVX-512 F, VL, DQ and BW, with AVX2 and FMA
};

// Found on the first call; always false off x86.
const TCpuFeatures &CpuFeatures();
