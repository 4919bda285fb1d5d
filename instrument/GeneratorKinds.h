#pragma once

// The built-in kinds of sound by the names the command line and hosts use,
// and the other names people give them. Needs no instrument: programs that
// host the bundle read recipes by these names too.
#include <cstddef>
#include <string>

// In the order of the instrument's generators: the seven kinds the buttons
// make, then random, mutate and reset.
constexpr const char* kGeneratorKinds[] = {"pickup", "shoot", "powerup", "hit",    "jump",
                                           "blip",   "slash", "random",  "mutate", "reset"};
constexpr size_t kNumGeneratorKinds = sizeof kGeneratorKinds / sizeof kGeneratorKinds[0];

// The kind a name means, in any case and by the names people use ("coin" is
// pickup, "laser" shoot, "power-up" powerup, "hurt" hit).
std::string CanonicalKind(const std::string& kind);
// The kinds as a refusal lists them: "pickup, shoot, ... mutate or reset".
std::string GeneratorKindsText();
// The place of a kind (as CanonicalKind gives it) in kGeneratorKinds, or
// kNumGeneratorKinds for none.
size_t GeneratorKindIndex(const std::string& kind);
// Whether a kind (as CanonicalKind gives it) makes a sound of its own, and
// so can start a recipe: any but mutate and reset.
bool IsStartKind(const std::string& kind);
