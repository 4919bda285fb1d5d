#pragma once

// The maths routines every sound is made with. They are compiled from one
// portable source into every build, native and WebAssembly, so that a sound's
// samples, and the values its parameters' shapes give, are the same bits on
// any C library and processor: the C libraries' own sin, pow, ... differ from
// one another in the last bit now and then. Whatever makes samples or values
// calls these, never std::sin, std::pow, ...
// They read and write no memory and set no errno, so the compiler may keep
// values in registers across a call and reuse a result ([[gnu::const]]).
extern "C" {
[[gnu::const]] double bf_sin(double) noexcept;
[[gnu::const]] double bf_cos(double) noexcept;
[[gnu::const]] double bf_tan(double) noexcept;
[[gnu::const]] double bf_exp(double) noexcept;
[[gnu::const]] double bf_log(double) noexcept;
[[gnu::const]] double bf_log10(double) noexcept;
[[gnu::const]] double bf_pow(double, double) noexcept;
[[gnu::const]] double bf_hypot(double, double) noexcept;
}
