#include "Generate.h"

#include "Bleepforge.h"
#include "Interrupt.h"
#include "LayeredSources.h"
#include "PresetSound.h"
#include "SoundWriting.h"
#include "Workers.h"
#include "RequestParsing.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <stdexcept>
#include <unistd.h>

namespace
{

const int kProgressWidth = 30;

struct Target
{
    std::string audio, state;
    unsigned seed;
};

std::vector<Target> targetsOf(const GenerateRequest& request)
{
    std::vector<Target> targets;
    const bool batch = request.count > 1;
    for (int k = 0; k < request.count; ++k)
    {
        Target t;
        t.audio = batch ? ExpandPattern(request.output, k) : request.output;
        t.state = request.stateOut.empty() ? ""
                  : batch                  ? ExpandPattern(request.stateOut, k)
                                           : request.stateOut;
        t.seed = request.seed + static_cast<unsigned>(k);
        targets.push_back(t);
    }
    return targets;
}

// A batch never replaces a file unless asked to; every name is checked before
// the first sound is made.
void refuseOverwrites(const std::vector<Target>& targets)
{
    for (const Target& t : targets)
    {
        for (const std::string* path : {&t.audio, &t.state})
        {
            if (!path->empty() && access(path->c_str(), F_OK) == 0)
                throw std::runtime_error("'" + *path + "' exists; nothing was written (--force "
                                         "overwrites)");
        }
    }
}

// A bar on a terminal; elsewhere nothing, as the file lines on stdout say it all.
void showProgress(int done, int total, const std::string& file)
{
    if (!isatty(STDERR_FILENO))
        return;
    const int filled = total ? done * kProgressWidth / total : kProgressWidth;
    std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
              << std::string(static_cast<size_t>(kProgressWidth - filled), '.') << "] " << done
              << "/" << total << " " << file << "\x1b[K" << (done == total ? "\n" : "")
              << std::flush;
}

void runGenerator(Bleepforge& plug, const GenerateRequest& request, unsigned seed)
{
    // Locked values are put back after the generator, which draws as it
    // always does, so every other value is what the seed gives without locks.
    std::vector<std::pair<int, double>> kept;
    for (int idx : LockedParams(request.locks))
        kept.emplace_back(idx, plug.GetParam(idx)->Value());
    RunKind(plug, request.kind, request.recipe ? &*request.recipe : nullptr, seed);
    for (const auto& [idx, value] : kept)
        plug.SetParameterFromHost(idx, value);
}

// A setting the generator draws over is lost unless locked: said once, for
// the first sound, with the way to keep it.
void warnOfReplacedSettings(const GenerateRequest& request, unsigned seed)
{
    for (const ReplacedSetting& replaced : ReplacedSettings(request, seed))
        std::cerr << "bleepforge: the generator replaced --set \"" << replaced.setting << "\" with "
                  << replaced.made << " (seed " << seed << "); --lock \"" << replaced.name << "\" keeps it"
                  << std::endl;
}

SoundFile soundFile(const GenerateRequest& request, const Target& target)
{
    SoundFile file;
    file.path = target.audio;
    file.format = OutputFormat(target.audio, request.format.sample, request.format.channels, request.render);
    file.normalization = request.normalization;
    // A sound played as it stands is written as render writes it.
    file.comment = KindName(request).empty() ? "" : "bleepforge " + KindName(request) + " seed " + std::to_string(target.seed);
    file.companions = {{target.state, nullptr}};
    file.program = "bleepforge";
    file.quiet = request.quiet;
    return file;
}

// A layered sound's text goes where a sound's state would.
void generateLayered(const GenerateRequest& request, const Target& target)
{
    const LayeredSound sound = MakeLayered(*request.layers, target.seed);
    SoundFile file = soundFile(request, target);
    const std::string text = LayeredText(sound);
    file.companions = {{target.state, [text](const ByteChunk&) { return text; }}};
    WriteLayered(sound, request.render, file, InstrumentBackends(), PlayThreads());
}

// The sound of one seed, written as it renders; its state is committed with it.
void generateOne(const GenerateRequest& request, const Target& target)
{
    if (request.layers)
        return generateLayered(request, target);
    InstrumentBackend instrument;
    RenderSession session(instrument, request.render);
    session.Prepare();
    runGenerator(instrument.Plug(), request, target.seed);
    WriteSession(session, soundFile(request, target));
}

} // namespace

std::vector<ReplacedSetting> ReplacedSettings(const GenerateRequest& request, unsigned seed)
{
    std::vector<ReplacedSetting> replaced;
    if (request.render.settings.empty())
        return replaced; // no instrument to build for nothing
    InstrumentBackend instrument;
    RenderSession session(instrument, request.render);
    const std::vector<int> set = session.Prepare();
    Bleepforge& plug = instrument.Plug();
    std::vector<double> asSet;
    for (int idx : set)
        asSet.push_back(plug.GetParam(idx)->Value());
    runGenerator(plug, request, seed);
    std::vector<int> said;
    for (size_t i = 0; i < set.size(); ++i)
    {
        const IParam* param = plug.GetParam(set[i]);
        if (param->Value() == asSet[i] || std::count(said.begin(), said.end(), set[i]))
            continue;
        said.push_back(set[i]);
        char made[IParam::kDisplaySize];
        param->GetDisplayForHost(made);
        replaced.push_back({request.render.settings[i], made, param->GetNameForHost()});
    }
    return replaced;
}

void GenerateSound(const GenerateRequest& request, const std::string& audio, unsigned seed)
{
    generateOne(request, {audio, "", seed});
}

void CheckGenerateRequest(const GenerateRequest& request)
{
    if (!request.recipe && !request.layers && !request.kind.empty() && !IsGeneratorKind(request.kind))
    {
        const bool file = request.kind.size() > 5 && request.kind.compare(request.kind.size() - 5, 5, ".toml") == 0;
        throw UsageError("unknown kind '" + request.kind + "'" +
                         (file ? "; to make sounds from a recipe file, give --recipe " + request.kind
                               : "; one of pickup (coin), shoot (laser), powerup, hit (hurt), jump, blip, "
                                 "slash, random, mutate, reset, or a recipe's ('bleepforge kinds' lists "
                                 "them)"));
    }
    if (request.layers && (!request.locks.empty() || !request.render.settings.empty() ||
                           !request.render.notes.empty() || !request.render.stateIn.empty()))
        throw UsageError("--set, --lock, --note and --state shape one sound; the layers of '" + KindName(request) +
                         "' are made by their own kinds");
    LockedParams(request.locks); // refused before anything is written
    if (request.count < 1 || request.count > kMaxCount)
        throw UsageError("--count: expected 1 ... " + std::to_string(kMaxCount));
    if (request.count > 1 && request.output == "-")
        throw UsageError("--count writes files: give an output pattern such as coin-%03d.wav");
    if (static_cast<unsigned long long>(request.seed) + static_cast<unsigned>(request.count) - 1 >
        UINT_MAX)
        throw UsageError("--seed " + std::to_string(request.seed) + " with --count " +
                         std::to_string(request.count) + " would pass the largest seed, " +
                         std::to_string(UINT_MAX));
    if (!request.render.stateIn.empty())
        ReadSound(request.render.stateIn); // refused before anything is made
    CheckRequest(request.render);
}


std::string KindName(const GenerateRequest& request)
{
    if (request.layers)
        return request.layersAsWritten ? "" : request.layers->name;
    return request.recipe ? request.recipe->name : CanonicalKind(request.kind);
}

bool IsGeneratorKind(const std::string& kind)
{
    return GeneratorOf(CanonicalKind(kind)) != nullptr;
}

std::string ExpandPattern(const std::string& pattern, int number)
{
    std::string out;
    int conversions = 0;
    for (size_t i = 0; i < pattern.size(); ++i)
    {
        if (pattern[i] != '%')
        {
            out += pattern[i];
            continue;
        }
        size_t j = i + 1;
        if (j < pattern.size() && pattern[j] == '%')
        {
            out += '%';
            i = j;
            continue;
        }
        // A width pads with zeros only: a name with spaces is no file name to count.
        const bool zeros = j < pattern.size() && pattern[j] == '0';
        size_t widthStart = zeros ? j + 1 : j;
        size_t k = widthStart;
        while (zeros && k < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[k])) && k < widthStart + 2)
            ++k;
        if (k >= pattern.size() || pattern[k] != 'd')
            throw UsageError("output pattern '" + pattern + "': only %d, %0Nd and %% are allowed");
        const int width = k > widthStart ? std::stoi(pattern.substr(widthStart, k - widthStart)) : 0;
        std::string digits = std::to_string(number);
        if (static_cast<int>(digits.size()) < width)
            digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
        out += digits;
        ++conversions;
        i = k;
    }
    if (conversions != 1)
        throw UsageError("output pattern '" + pattern + "' needs exactly one %d (such as %03d)");
    return out;
}

namespace
{

// Each line as its file is finished: a pipeline downstream, or an
// interrupted batch, sees exactly the files that exist.
void reportFinished(const Target& t, int done, int total)
{
    std::cout << t.audio << "\tseed " << t.seed << (t.state.empty() ? "" : "\tstate " + t.state)
              << std::endl;
    showProgress(done, total, t.audio);
}

void runInWorkers(const GenerateRequest& request, const std::vector<Target>& targets, int jobs)
{
    int done = 0;
    const WorkerRun run = RunInWorkers(
        targets.size(), jobs, false, [&](size_t k) { generateOne(request, targets[k]); },
        [&](size_t k, bool ok)
        {
            if (ok)
                reportFinished(targets[k], ++done, request.count);
        });
    if (run.failed || run.workersLost)
        throw std::runtime_error("the batch stopped: " + std::to_string(run.made) + " of " +
                                 std::to_string(request.count) + " sounds were made");
}

} // namespace

void RunGenerate(const GenerateRequest& request)
{
    CheckGenerateRequest(request);
    const std::vector<Target> targets = targetsOf(request);
    std::vector<std::string> outputs;
    for (const Target& t : targets)
        outputs.insert(outputs.end(), {t.audio, t.state});
    RefuseSharedOutputs(outputs);
    const bool batch = request.count > 1;
    if (batch && !request.force)
        refuseOverwrites(targets);
    if (!request.seeded)
        std::cerr << "bleepforge: seed " << request.seed << std::endl;
    warnOfReplacedSettings(request, request.seed);

    const int jobs = std::min(request.jobs, request.count);
    if (jobs > 1)
    {
        runInWorkers(request, targets, jobs);
        return;
    }
    for (size_t k = 0; k < targets.size(); ++k)
    {
        StopIfInterrupted();
        generateOne(request, targets[k]);
        if (batch)
            reportFinished(targets[k], static_cast<int>(k) + 1, request.count);
    }
}
