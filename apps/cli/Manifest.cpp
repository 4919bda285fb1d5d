#include "Manifest.h"

#include "Bleepforge.h"
#include "BuildFolder.h"
#include "Kinds.h"
#include "LayeredSources.h"
#include "PresetSound.h"
#include "ShareCode.h"

#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"

#include "TomlText.h"
#include "SoundState.h"
#include "KIT_Text.h"

#include <cctype>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <unistd.h>
#include <utility>

namespace
{

const char kEntryKeys[] = "name, kind, recipe, state, sound, layers, seed, count, set, lock, folder, container, "
                          "channels, rate, format, normalize";
const char kDefaultKeys[] = "folder, container, channels, rate, format, normalize";
// Far above any manifest or recipe a person writes.
const size_t kMostTextBytes = size_t(16) << 20;

// The whole of a text file; throws UsageError saying why it cannot be read.
std::string textFile(const std::string& path, const std::string& what)
{
    std::string text, error;
    if (!KIT_ReadFile(path, kMostTextBytes, &text, &error))
        throw UsageError(what + ": " + error);
    return text;
}

// A name without a count as its file is named: each %% a %; nothing when a
// lone % makes it a pattern.
std::optional<std::string> literalName(const std::string& name)
{
    std::string literal;
    for (size_t i = 0; i < name.size(); ++i)
    {
        if (name[i] == '%' && (i + 1 == name.size() || name[++i] != '%'))
            return std::nullopt;
        literal += name[i];
    }
    return literal;
}

// How files are written: the manifest's defaults, overridden per entry.
struct FileOptions
{
    std::string folder = ".";
    std::string container = "wav";
    int channels = 2;
    double rate = 44100.0;
    std::string format = "pcm16";
    std::string normalize = "none";
};

class Manifest
{
public:
    Manifest(const std::string& path, const std::vector<ParamInfo>& params) : mPath(path), mParams(params)
    {
        const size_t slash = path.rfind('/');
        mFolder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    }

    std::vector<BuildFile> Read()
    {
        toml::table table;
        const std::string text = textFile(mPath, "manifest");
        try
        {
            table = ParseTomlText(text, mPath);
        }
        catch (const toml::parse_error& e)
        {
            fail(e.source(), "not TOML: " + std::string(e.description()));
        }
        for (const auto& [key, node] : table)
            if (key.str() != "defaults" && key.str() != "sound")
                fail(node.source(), "unknown key \"" + std::string(key.str()) +
                                        "\"; a manifest has [defaults] and [[sound]] entries");
        FileOptions defaults;
        if (const toml::node* node = table.get("defaults"))
        {
            if (!node->is_table())
                fail(node->source(), "defaults expects a table: [defaults]");
            defaults = options(*node->as_table(), defaults, kDefaultKeys, true);
        }
        const toml::array* entries = table["sound"].as_array();
        if (!entries || entries->empty())
            fail(table.source(), "no sounds: add [[sound]] entries, each with a name, a kind and a seed");
        mInputs = {mPath};
        std::vector<BuildFile> files;
        std::map<std::string, std::string> made; // shown path → entry
        for (const toml::node& entry : *entries)
        {
            if (!entry.is_table())
                fail(entry.source(), "each sound expects a table: [[sound]]");
            for (BuildFile& file : filesOf(*entry.as_table(), defaults))
            {
                const auto [at, fresh] = made.emplace(file.shown, file.entry);
                if (!fresh)
                    fail(entry.source(), "'" + file.shown + "' is made by " + at->second + " already");
                files.push_back(std::move(file));
            }
        }
        // Two names that reach one file through a link.
        std::vector<std::string> paths;
        for (const BuildFile& file : files)
            paths.push_back(file.path);
        RefuseSharedOutputs(paths);
        refuseWritingInputs(files);
        return files;
    }

private:
    // A build never writes over what it reads, with --force or without: the
    // manifest, or a recipe, state, sound or layered file an entry names.
    void refuseWritingInputs(const std::vector<BuildFile>& files) const
    {
        std::map<std::string, std::string> read; // identity → the path as given
        for (const std::string& input : mInputs)
            read.emplace(KIT_OutputIdentity(input), input);
        std::vector<std::pair<std::string, std::string>> written = {{mPath + ".built", "the build's record"}};
        for (const BuildFile& file : files)
            written.emplace_back(file.path, "entry " + file.entry);
        for (const auto& [path, by] : written)
        {
            const auto input = read.find(KIT_OutputIdentity(path));
            if (input != read.end() && !input->first.empty())
                throw UsageError(mPath + ": '" + path + "' (" + by + ") is '" + input->second +
                                 "', which this build reads; a build never writes over what it reads "
                                 "(nothing was written)");
        }
    }

    [[noreturn]] void fail(const toml::source_region& at, const std::string& what) const
    {
        throw UsageError(mPath + ":" + std::to_string(at.begin.line) + ": " + what);
    }

    std::string text(const toml::table& table, const char* key) const
    {
        return textOf(*table.get(key), key);
    }

    // A NUL would cut the text short where it is used, a path above all.
    std::string textOf(const toml::node& node, const std::string& key) const
    {
        if (!node.is_string())
            fail(node.source(), key + " expects a text");
        const std::string value = node.as_string()->get();
        if (value.find('\0') != std::string::npos)
            fail(node.source(), key + " holds a NUL character");
        return value;
    }

    long long whole(const toml::table& table, const char* key, long long lo, long long hi) const
    {
        const toml::node* node = table.get(key);
        if (!node->is_integer() || node->as_integer()->get() < lo || node->as_integer()->get() > hi)
            fail(node->source(), std::string(key) + " expects a whole number " + std::to_string(lo) + " ... " +
                                     std::to_string(hi));
        return node->as_integer()->get();
    }

    std::vector<std::string> texts(const toml::table& table, const char* key) const
    {
        std::vector<std::string> out;
        const toml::node* node = table.get(key);
        if (!node)
            return out;
        const toml::array* list = node->as_array();
        const std::string example = std::string(key) == "set" ? "[\"Output Gain=-3\"]" : "[\"pitch\"]";
        if (!list)
            fail(node->source(), std::string(key) + " expects a list of texts, such as " + example);
        for (const toml::node& item : *list)
            out.push_back(textOf(item, key));
        return out;
    }

    // Where a build writes: inside the manifest's folder, one a line in its record.
    std::string relativeName(const toml::table& table, const char* key) const
    {
        const std::string name = text(table, key);
        const std::string why = WhyNotInside(name);
        if (!why.empty())
            fail(table.get(key)->source(), std::string(key) + " " + why);
        return name;
    }

    // What a build reads is named from the manifest's folder, whatever the
    // working folder; it may lie above it (../shared/) or be absolute.
    std::string inputPath(const std::string& given) const
    {
        return given[0] == '/' ? given : mFolder + given;
    }

    FileOptions options(const toml::table& table, FileOptions base, const char* accepted, bool only) const
    {
        for (const auto& [key, node] : table)
        {
            const std::string name(key.str());
            if (name == "folder")
                base.folder = node.is_string() && node.as_string()->get() == "." // the manifest's own
                                  ? "."
                                  : relativeName(table, "folder");
            else if (name == "container")
            {
                base.container = text(table, "container");
                static const std::set<std::string> containers = {"wav", "flac", "ogg", "aiff", "mp3"};
                if (!containers.count(base.container))
                    fail(node.source(), "container expects wav, flac, ogg, aiff or mp3, not '" + base.container + "'");
            }
            else if (name == "channels")
                base.channels = static_cast<int>(whole(table, "channels", 1, 2));
            else if (name == "rate")
                base.rate = static_cast<double>(whole(table, "rate", 1000, 384000));
            else if (name == "format")
                base.format = checked(node, text(table, "format"), [](const std::string& f) { ParseSampleFormat(f); });
            else if (name == "normalize")
                base.normalize = checked(node, text(table, "normalize"), [](const std::string& n)
                                         { if (n != "none") ParseNormalization(n); });
            else if (only)
                fail(node.source(), "unknown key \"" + name + "\"; expected " + accepted);
        }
        return base;
    }

    template <typename Check>
    std::string checked(const toml::node& node, const std::string& value, Check check) const
    {
        try
        {
            check(value);
        }
        catch (const std::exception& e)
        {
            fail(node.source(), e.what());
        }
        return value;
    }

    // The sound an entry starts from: exactly one of kind, recipe, state, sound, layers.
    std::string source(const toml::table& entry, GenerateRequest& request)
    {
        int given = 0;
        for (const char* key : {"kind", "recipe", "state", "sound", "layers"})
            given += entry.contains(key) ? 1 : 0;
        if (given != 1)
            fail(entry.source(), "give one of kind, recipe, state, sound or layers");
        if (entry.contains("layers"))
            return layers(entry, request);
        if (entry.contains("kind"))
        {
            request.kind = text(entry, "kind");
            if (IsGeneratorKind(request.kind))
                return "kind " + CanonicalKind(request.kind);
            // Only what every machine has: a recipe of the user's own goes beside the manifest.
            const std::optional<std::string> shipped = FindProgramRecipe(request.kind);
            if (!shipped)
                fail(entry.get("kind")->source(),
                     "unknown kind '" + request.kind + "': a manifest's kind is built in or ships with the program, " +
                         "so that every machine builds the same" +
                         (FindRecipe(request.kind) ? "; keep your recipe beside the manifest and give recipe = \"" +
                                                         request.kind + ".toml\" (its path from the manifest)"
                                                   : "; 'bleepforge kinds' lists the kinds"));
            return use(entry, "kind", *shipped, request);
        }
        if (entry.contains("recipe"))
        {
            mInputs.push_back(inputPath(text(entry, "recipe")));
            return use(entry, "recipe", mInputs.back(), request);
        }
        const char* key = entry.contains("state") ? "state" : "sound";
        request.render.stateIn = soundInput(text(entry, key));
        const ByteChunk state =
            attempt(entry, key, [&] { return ReadSound(request.render.stateIn); });
        return "sound " + BytesOf(state);
    }

    // A sound code as it is, else a file's path, which the build reads.
    std::string soundInput(const std::string& given)
    {
        const bool code =
            LooksLikeShareCode(TrimSpace(given)) && access(inputPath(given).c_str(), F_OK) != 0;
        if (code)
            return given;
        mInputs.push_back(inputPath(given));
        return mInputs.back();
    }

    // A layered sound as it is: a layered code, or a layered text's path. Its
    // layers carry their seeds, and their kinds are the program's.
    std::string layers(const toml::table& entry, GenerateRequest& request)
    {
        for (const char* key : {"seed", "count", "set", "lock"})
            if (entry.contains(key))
                fail(entry.get(key)->source(), std::string(key) + " shapes one sound or a kind's; the layers of a "
                                                                  "layered sound carry their own");
        const std::string given = text(entry, "layers");
        const bool code = LooksLikeLayeredCode(TrimSpace(given)) && access(inputPath(given).c_str(), F_OK) != 0;
        if (!code)
            mInputs.push_back(inputPath(given));
        request.layers = attempt(entry, "layers", [&]
                                 { return code ? DraftOf(DecodeLayered(TrimSpace(given)))
                                               : ReadLayeredText(inputPath(given), KindLookup::kProgramOnly); });
        request.layersAsWritten = true;
        return "layers";
    }

    // The recipe read once, so that what its fingerprint holds is what makes
    // the sound: its text, and the sound it starts from; or the layers it
    // describes, each made at the file's seed.
    std::string use(const toml::table& entry, const char* key, const std::string& path,
                    GenerateRequest& request) const
    {
        const std::string text = attempt(entry, key, [&] { return textFile(path, "recipe"); });
        if (DescribesLayers(text))
        {
            request.layers = attempt(entry, key, [&] { return ParseLayeredText(text, path, KindLookup::kProgramOnly); });
            return "layers";
        }
        request.recipe = attempt(entry, key, [&] { return ParseRecipe(text, path, mParams); });
        const std::string from = "recipe " + request.recipe->name + "\n" + text;
        return request.recipe->sound.Size() == 0
                   ? from
                   : from + "\nsound " + BytesOf(request.recipe->sound);
    }

    // A refusal from the command line's rules, told at the key's line (the
    // entry's when the value comes from the defaults) in the manifest's words.
    template <typename Call>
    auto attempt(const toml::table& entry, const char* key, Call call) const -> decltype(call())
    {
        try
        {
            return call();
        }
        catch (const std::exception& e)
        {
            std::string reason = e.what();
            for (const std::string option : {"--set", "--lock"})
                if (reason.rfind(option, 0) == 0)
                    reason = option.substr(2) + reason.substr(option.size());
            fail(entry.contains(key) ? entry.get(key)->source() : entry.source(), reason);
        }
    }

    std::vector<BuildFile> filesOf(const toml::table& entry, const FileOptions& defaults)
    {
        for (const auto& [key, node] : entry)
        {
            const std::string name(key.str());
            if (std::string(", ") .append(kEntryKeys).append(",").find(", " + name + ",") == std::string::npos)
                fail(node.source(), "unknown key \"" + name + "\"; an entry has " + kEntryKeys);
        }
        if (!entry.contains("name"))
            fail(entry.source(), "the entry has no name: name = \"ui/click\" (with count, a pattern such as \"coin-%02d\")");
        if (!entry.contains("seed") && !entry.contains("layers"))
            fail(entry.source(), "the entry has no seed: seed = 1 makes the same sound at every build");
        const std::string name = relativeName(entry, "name");
        checkName(entry, name);
        const FileOptions options = this->options(entry, defaults, kEntryKeys, false);
        GenerateRequest request;
        const std::string from = source(entry, request);
        request.render.rate = options.rate;
        request.render.generatedNoteWhenNone = true;
        request.render.settings = texts(entry, "set");
        request.locks = texts(entry, "lock");
        request.normalization = options.normalize == "none" ? Normalization() : ParseNormalization(options.normalize);
        request.seeded = true;
        request.seed = request.layersAsWritten ? 0 : static_cast<unsigned>(whole(entry, "seed", 0, 4294967295LL));
        request.count = entry.contains("count") ? static_cast<int>(whole(entry, "count", 1, kMaxCount)) : 1;
        const std::string label = "'" + name + "' (line " + std::to_string(entry.source().begin.line) + ")";
        if (request.layers && (entry.contains("set") || entry.contains("lock")))
            fail(entry.get(entry.contains("set") ? "set" : "lock")->source(),
                 "set and lock shape one sound; the layers of '" + request.layers->name + "' are made by their own kinds");
        if (request.render.stateIn.size() && !request.locks.empty())
            fail(entry.get("lock")->source(), "lock keeps values through a kind or a recipe; this entry has neither");
        attempt(entry, "set", [&] { return checkSettings(request.render.settings), 0; });
        attempt(entry, "lock", [&] { return LockedParams(request.locks), 0; });
        attempt(entry, "seed", [&] { return CheckGenerateRequest(request), 0; });
        warnOfReplacedSettings(entry, name, request);
        std::vector<BuildFile> files;
        for (int k = 0; k < request.count; ++k)
        {
            BuildFile file;
            const std::string base = entry.contains("count")
                                         ? attempt(entry, "name", [&] { return ExpandPattern(name, k); })
                                         : *literalName(name);
            file.shown = (options.folder == "." ? "" : options.folder + "/") + base + "." + options.container;
            file.path = mFolder + file.shown;
            file.entry = label;
            file.seed = request.seed + static_cast<unsigned>(k);
            if (static_cast<unsigned long long>(request.seed) + static_cast<unsigned>(k) > 4294967295ULL)
                fail(entry.get("count")->source(), "seed + count passes the largest seed, 4294967295");
            file.request = request;
            file.request.count = 1;
            file.request.format = attempt(entry, "format", [&]
                { return OutputFormat(file.path, ParseSampleFormat(options.format), options.channels, file.request.render); });
            file.fingerprint = fingerprintOf(from, file, options);
            files.push_back(std::move(file));
        }
        return files;
    }

    void checkSettings(const std::vector<std::string>& settings) const
    {
        for (const std::string& setting : settings)
            ResolveSetting(mParams, setting);
    }

    // A pattern only with a count; no extension, which the container gives.
    void checkName(const toml::table& entry, const std::string& name) const
    {
        if (!entry.contains("count") && !literalName(name))
            fail(entry.get("name")->source(), "name '" + name + "' is a pattern: give count = N, or write % as %%");
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos || name.find('/', dot) != std::string::npos)
            return;
        std::string extension = name.substr(dot + 1);
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        static const std::set<std::string> audio = {"wav", "flac", "ogg", "aiff", "aif", "mp3"};
        if (audio.count(extension))
            fail(entry.get("name")->source(), "name '" + name + "': give it without the extension; container = \"" +
                                                  extension + "\" chooses the file type");
    }

    // As generate does: a setting the kind draws over is said, with the lock
    // that keeps it.
    void warnOfReplacedSettings(const toml::table& entry, const std::string& name, const GenerateRequest& request) const
    {
        if (request.kind.empty() && !request.recipe)
            return;
        for (const ReplacedSetting& replaced : ReplacedSettings(request, request.seed))
            std::cerr << "bleepforge: " << mPath << ":" << entry.get("set")->source().begin.line << ": entry '" << name
                      << "': its kind replaces set \"" << replaced.setting << "\" with " << replaced.made << " (seed "
                      << request.seed << "); lock = [\"" << replaced.name << "\"] keeps it" << std::endl;
    }

    // A layered file's holds its layers as made for it, every layer's sound,
    // recipe or state among them.
    static std::string fingerprintOf(const std::string& from, const BuildFile& file, const FileOptions& options)
    {
        std::ostringstream text;
        text << "bleepforge " << BLEEPFORGE_VERSION << "\n" << from << "\nseed " << file.seed << "\n";
        if (file.request.layers)
            text << EncodeLayered(MakeLayered(*file.request.layers, file.seed)) << "\n";
        for (const std::string& setting : file.request.render.settings)
            text << "set " << setting << "\n";
        for (const std::string& lock : file.request.locks)
            text << "lock " << lock << "\n";
        text << options.container << " " << options.format << " " << options.channels << " " << options.rate << " "
             << options.normalize << "\n";
        return text.str();
    }

    std::string mPath, mFolder;
    const std::vector<ParamInfo>& mParams;
    std::vector<std::string> mInputs; // every file the build reads, as opened
};

} // namespace

std::vector<BuildFile> ReadManifest(const std::string& path, const std::vector<ParamInfo>& params)
{
    return Manifest(path, params).Read();
}
