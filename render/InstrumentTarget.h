#pragma once

#include "RenderLoop.h"

class Bleepforge;

// The render loop's view of an instrument, prepared for a rate and a block
// size (reset, both outputs connected). The instrument must outlive it.
RenderTarget InstrumentTarget(Bleepforge& plug, double rate, int block);
