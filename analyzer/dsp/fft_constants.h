// Exactly rounded sine and cosine constants of the FFT (made by scripts/fft_constants.py).
// Why: the C runtimes of the native and the Windows build disagree in the last bit of sin
// and cos for some arguments; literals make both builds compute the same bits.
#pragma once

namespace vex {

// sin(2pi / 2^k) and cos(2pi / 2^k) for k = 0..30, 2pi being the double 6.283185307179586.
inline constexpr double kSinTwoPiOver[31] = {
    -0x1.1a62633145c07p-52, 0x1.1a62633145c07p-53, 0x1p+0,
    0x1.6a09e667f3bccp-1,   0x1.87de2a6aea963p-2,  0x1.8f8b83c69a60ap-3,
    0x1.917a6bc29b42cp-4,   0x1.91f65f10dd814p-5,  0x1.92155f7a3667ep-6,
    0x1.921d1fcdec784p-7,   0x1.921f0fe670071p-8,  0x1.921f8becca4bap-9,
    0x1.921faaee6472dp-10,  0x1.921fb2aecb36p-11,  0x1.921fb49ee4ea6p-12,
    0x1.921fb51aeb57bp-13,  0x1.921fb539ecf31p-14, 0x1.921fb541ad59ep-15,
    0x1.921fb5439d73ap-16,  0x1.921fb544197ap-17,  0x1.921fb544387bap-18,
    0x1.921fb544403c1p-19,  0x1.921fb544422c2p-20, 0x1.921fb54442a83p-21,
    0x1.921fb54442c73p-22,  0x1.921fb54442cefp-23, 0x1.921fb54442d0ep-24,
    0x1.921fb54442d15p-25,  0x1.921fb54442d17p-26, 0x1.921fb54442d18p-27,
    0x1.921fb54442d18p-28,
};
inline constexpr double kCosTwoPiOver[31] = {
    0x1p+0,
    -0x1p+0,
    0x1.1a62633145c07p-54,
    0x1.6a09e667f3bcdp-1,
    0x1.d906bcf328d46p-1,
    0x1.f6297cff75cbp-1,
    0x1.fd88da3d12526p-1,
    0x1.ff621e3796d7ep-1,
    0x1.ffd886084cd0dp-1,
    0x1.fff62169b92dbp-1,
    0x1.fffd8858e8a92p-1,
    0x1.ffff621621d02p-1,
    0x1.ffffd88586ee6p-1,
    0x1.fffff62161a34p-1,
    0x1.fffffd8858675p-1,
    0x1.ffffff621619cp-1,
    0x1.ffffffd885867p-1,
    0x1.fffffff62161ap-1,
    0x1.fffffffd88586p-1,
    0x1.ffffffff62162p-1,
    0x1.ffffffffd8858p-1,
    0x1.fffffffff6216p-1,
    0x1.fffffffffd886p-1,
    0x1.ffffffffff621p-1,
    0x1.ffffffffffd88p-1,
    0x1.fffffffffff62p-1,
    0x1.fffffffffffd9p-1,
    0x1.ffffffffffff6p-1,
    0x1.ffffffffffffep-1,
    0x1.fffffffffffffp-1,
    0x1p+0,
};
// For half = 2^h, h = 0..29, theta = (float)(pi / half): the double sines of theta / 2
// and of theta, each rounded to float.
inline constexpr float kSplitSinHalfTheta[30] = {
    0x1p+0f,         0x1.6a09e6p-1f,  0x1.87de2cp-2f,  0x1.8f8b84p-3f,  0x1.917a6cp-4f,
    0x1.91f66p-5f,   0x1.92156p-6f,   0x1.921d2p-7f,   0x1.921f1p-8f,   0x1.921f8cp-9f,
    0x1.921facp-10f, 0x1.921fb4p-11f, 0x1.921fb6p-12f, 0x1.921fb6p-13f, 0x1.921fb6p-14f,
    0x1.921fb6p-15f, 0x1.921fb6p-16f, 0x1.921fb6p-17f, 0x1.921fb6p-18f, 0x1.921fb6p-19f,
    0x1.921fb6p-20f, 0x1.921fb6p-21f, 0x1.921fb6p-22f, 0x1.921fb6p-23f, 0x1.921fb6p-24f,
    0x1.921fb6p-25f, 0x1.921fb6p-26f, 0x1.921fb6p-27f, 0x1.921fb6p-28f, 0x1.921fb6p-29f,
};
inline constexpr float kSplitSinTheta[30] = {
    -0x1.777a5cp-24f, 0x1p+0f,         0x1.6a09e6p-1f,  0x1.87de2cp-2f,  0x1.8f8b84p-3f,
    0x1.917a6cp-4f,   0x1.91f66p-5f,   0x1.92156p-6f,   0x1.921d2p-7f,   0x1.921f1p-8f,
    0x1.921f8cp-9f,   0x1.921facp-10f, 0x1.921fb4p-11f, 0x1.921fb6p-12f, 0x1.921fb6p-13f,
    0x1.921fb6p-14f,  0x1.921fb6p-15f, 0x1.921fb6p-16f, 0x1.921fb6p-17f, 0x1.921fb6p-18f,
    0x1.921fb6p-19f,  0x1.921fb6p-20f, 0x1.921fb6p-21f, 0x1.921fb6p-22f, 0x1.921fb6p-23f,
    0x1.921fb6p-24f,  0x1.921fb6p-25f, 0x1.921fb6p-26f, 0x1.921fb6p-27f, 0x1.921fb6p-28f,
};

} // namespace vex
