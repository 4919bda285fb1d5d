#pragma once

#include <vector>

// A sound rendered whole as Export renders it, to be played as it is: one
// channel (both play the same), at the gain it is heard at, each sample
// rounded to single precision as a file of floats holds it.
struct Clip
{
    std::vector<float> samples;
    double gain = 1.0; // what normalising applied, as Export applies it
};
