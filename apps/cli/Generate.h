#pragma once

#include "AudioFile.h"
#include "Levels.h"
#include "Locks.h"
#include "LayeredText.h"
#include "Recipe.h"
#include "RenderJob.h"

#include <optional>

#include <string>
#include <vector>

const int kMaxCount = 100000;

struct GenerateRequest
{
    std::string kind;      // pickup, shoot, powerup, hit, jump, blip, slash, random, mutate, reset
    std::optional<Recipe> recipe; // when set, makes the sounds instead of the kind's generator
    // When set, the sounds are layered: sound k's layers are made with seed + k
    // added to theirs.
    std::optional<LayeredDraft> layers;
    bool layersAsWritten = false; // a layered sound, not a kind: named by no kind
    RenderRequest render;  // rate, block, notes, settings, state and length; its seed is below
    AudioFormat format;    // the container follows each file's extension
    Normalization normalization;
    bool seeded = false;
    unsigned seed = 0;     // the first sound's; sound k uses seed + k
    int count = 1;
    bool force = false;    // with a count, overwrite existing files
    std::string output;    // a file, "-", or with a count a pattern holding one %d
    std::string stateOut;  // likewise, optional
    std::vector<std::string> locks; // parameter names or groups kept through the generator
    int jobs = 1;          // sounds made at once, each in a process of its own
    bool quiet = false;    // no line a file on stderr
};

// The kind the sounds are named by: the recipe's, else the generator's.
std::string KindName(const GenerateRequest& request);
// Whether KIND names a generator.
bool IsGeneratorKind(const std::string& kind);
// Expands a pattern's one "%d" (with optional zero padding and width, like
// "%03d"; "%%" is a literal %); throws UsageError for anything else.
std::string ExpandPattern(const std::string& pattern, int number);
// Runs the generator once per sound and writes each with its state; progress on
// stderr and, for batches, a summary line on stdout as each file is finished.
void RunGenerate(const GenerateRequest& request);
// Makes one sound of the request (its count and outputs aside) into a file,
// as RunGenerate makes each; with neither a kind nor a recipe, the request's
// state (or the default sound) as it stands, as render writes it.
void GenerateSound(const GenerateRequest& request, const std::string& audio, unsigned seed);
// The settings a seed's generator (or recipe) draws over, each once, with
// the value it made and the name that --lock keeps it by.
struct ReplacedSetting
{
    std::string setting, made, name;
};
std::vector<ReplacedSetting> ReplacedSettings(const GenerateRequest& request, unsigned seed);
// Refuses (UsageError) what RunGenerate would refuse before writing anything.
void CheckGenerateRequest(const GenerateRequest& request);
