#pragma once

#include <memory>
#include <string>

class Bleepforge;


// A new instrument as the module builds it, without an editor: the page's
// editor attaches one, drawn with the images embedded in the module.
std::unique_ptr<Bleepforge> OpenWebInstrument();

// The live instrument's sound from a code: empty when applied, else why not.
std::string SetLiveSound(const std::string& code);
// A parameter of the live instrument in its own units: empty when applied,
// else why not. A value outside the range changes nothing, where a host's
// setter would hold it at the nearest end unheard.
std::string SetLiveParam(int index, double value);
