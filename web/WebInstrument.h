#pragma once

#include <memory>
#include <string>

class Bleepforge;


// A new instrument as the module builds it: headless, its editor's images
// standing in as blank strips (the page draws the editor).
std::unique_ptr<Bleepforge> OpenWebInstrument();

// The live instrument's sound from a code: empty when applied, else why not.
std::string SetLiveSound(const std::string& code);
