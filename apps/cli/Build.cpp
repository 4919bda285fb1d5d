#include "Build.h"

#include "Bleepforge.h"
#include "Generate.h"
#include "Manifest.h"
#include "Interrupt.h"
#include "Workers.h"

#include "KIT_SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

const char kStampsHeader[] = "# bleepforge build: entry and bytes of each file made; kept by 'bleepforge build'";

// FNV-1a, 64 bits: enough to tell a changed entry or file from a kept one.
std::string hashOf(const std::string& bytes)
{
    unsigned long long hash = 14695981039346656037ULL;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ULL;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", hash);
    return text;
}

std::optional<std::string> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct Stamp
{
    std::string entry, bytes;
};

using Stamps = std::map<std::string, Stamp>; // by shown path

std::string stampsPath(const std::string& manifest)
{
    return manifest + ".built";
}

// A line a file: entry hash, bytes hash, path. A damaged line counts as none.
Stamps readStamps(const std::string& manifest)
{
    Stamps stamps;
    std::ifstream in(stampsPath(manifest));
    std::string line;
    while (std::getline(in, line))
    {
        if (line.size() < 35 || line[0] == '#' || line[16] != ' ' || line[33] != ' ')
            continue;
        stamps[line.substr(34)] = {line.substr(0, 16), line.substr(17, 16)};
    }
    return stamps;
}

void writeStamps(const std::string& manifest, const Stamps& stamps)
{
    std::string text = std::string(kStampsHeader) + "\n";
    for (const auto& [path, stamp] : stamps)
        text += stamp.entry + " " + stamp.bytes + " " + path + "\n";
    std::string error;
    if (!KIT_WriteFileSafely(stampsPath(manifest), text.data(), text.size(), &error))
        throw std::runtime_error("cannot write '" + stampsPath(manifest) + "': " + error);
}

void makeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot make the folder '" + folder + "': " + std::strerror(errno));
    }
}

// Makes a file as its entry says; what levelling did is not said, file by file.
void make(const BuildFile& file, const std::string& into)
{
    try
    {
        makeFolders(into);
        GenerateRequest request = file.request;
        request.quiet = true;
        GenerateSound(request, into, file.seed);
    }
    catch (const Interrupted&)
    {
        throw;
    }
    catch (const std::exception& e)
    {
        throw std::runtime_error(file.shown + ", entry " + file.entry + ": " + e.what());
    }
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int jobsFor(const BuildRequest& request, size_t count)
{
    return std::min<int>(request.jobs, std::max<int>(1, static_cast<int>(count)));
}

enum class Rendered
{
    kSame,
    kDifferent,
    kFailed
};

// Whether each file as it stands is what its entry makes now, rendered in a
// scratch folder.
std::map<size_t, Rendered> compareRendered(const BuildRequest& request, const std::vector<BuildFile>& files,
                                           const std::vector<size_t>& which)
{
    std::map<size_t, Rendered> found;
    if (which.empty())
        return found;
    char pattern[] = "/tmp/bleepforge-build-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("cannot make a folder to render into under /tmp");
    const std::string scratch = pattern;
    const auto renderedPath = [&](size_t i)
    { return scratch + "/" + std::to_string(i) + files[i].shown.substr(files[i].shown.rfind('.')); };
    try
    {
        RunInWorkers(
            which.size(), jobsFor(request, which.size()), true,
            [&](size_t k) { make(files[which[k]], renderedPath(which[k])); },
            [&](size_t k, bool ok)
            {
                const size_t i = which[k];
                found[i] = !ok ? Rendered::kFailed
                           : fileBytes(renderedPath(i)) == fileBytes(files[i].path) ? Rendered::kSame
                                                                                    : Rendered::kDifferent;
                std::remove(renderedPath(i).c_str());
            });
    }
    catch (...)
    {
        std::system(("rm -rf '" + scratch + "'").c_str());
        throw;
    }
    std::system(("rm -rf '" + scratch + "'").c_str());
    return found;
}

// Files an earlier build made that no entry makes now, still there.
std::vector<std::string> leftOver(const std::vector<BuildFile>& files, const Stamps& stamps,
                                  const std::string& manifest)
{
    std::set<std::string> made;
    for (const BuildFile& file : files)
        made.insert(file.shown);
    const size_t slash = manifest.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : manifest.substr(0, slash + 1);
    std::vector<std::string> left;
    for (const auto& [path, stamp] : stamps)
        if (!made.count(path) && access((folder + path).c_str(), F_OK) == 0)
            left.push_back(path);
    return left;
}

struct Tally
{
    size_t built = 0, upToDate = 0, refused = 0, failed = 0;
};

void summarise(const Tally& tally, size_t total, std::chrono::steady_clock::time_point start, bool interrupted)
{
    std::printf("%sbuilt %zu, up to date %zu, refused %zu, failed %zu, of %zu files in %.2f s\n",
                interrupted ? "interrupted: " : "", tally.built, tally.upToDate, tally.refused, tally.failed,
                total, secondsSince(start));
    std::fflush(stdout);
}

// A file is made again when it is missing, when its entry changed, or with
// --force. A file the build did not make, or one changed since, is kept and
// refused unless --force, or taken as up to date when it is what the entry
// makes. Files no entry makes any more are named and left alone.
int build(const BuildRequest& request, const std::vector<BuildFile>& files, const Stamps& stamps)
{
    const auto start = std::chrono::steady_clock::now();
    Tally tally;
    Stamps kept;
    std::vector<size_t> queued, unknown;
    std::vector<std::string> refusals;
    for (size_t i = 0; i < files.size(); ++i)
    {
        const BuildFile& file = files[i];
        const std::optional<std::string> bytes = request.force ? std::nullopt : fileBytes(file.path);
        const auto stamp = stamps.find(file.shown);
        if (!bytes)
            queued.push_back(i);
        else if (stamp == stamps.end())
            unknown.push_back(i);
        else if (stamp->second.bytes != hashOf(*bytes))
            refusals.push_back(file.shown + " was changed since it was built");
        else if (stamp->second.entry != hashOf(file.fingerprint))
            queued.push_back(i);
        else
            kept[file.shown] = stamp->second;
    }
    for (const auto& [i, found] : compareRendered(request, files, unknown))
    {
        if (found == Rendered::kSame)
            kept[files[i].shown] = {hashOf(files[i].fingerprint), hashOf(*fileBytes(files[i].path))};
        else if (found == Rendered::kDifferent)
            refusals.push_back(files[i].shown + " exists and is not what its entry " + files[i].entry + " makes");
        else
            ++tally.failed;
    }
    const std::vector<std::string> left = leftOver(files, stamps, request.manifest);
    for (const std::string& path : left)
        kept[path] = stamps.at(path);
    tally.upToDate = kept.size() - left.size();
    tally.refused = refusals.size();
    try
    {
        RunInWorkers(
            queued.size(), jobsFor(request, queued.size()), true, [&](size_t k) { make(files[queued[k]], files[queued[k]].path); },
            [&](size_t k, bool ok)
            {
                const BuildFile& file = files[queued[k]];
                if (!ok)
                {
                    ++tally.failed;
                    return;
                }
                ++tally.built;
                kept[file.shown] = {hashOf(file.fingerprint), hashOf(fileBytes(file.path).value_or(""))};
                std::cout << "built " << file.shown << std::endl;
            });
    }
    catch (const Interrupted&)
    {
        writeStamps(request.manifest, kept);
        summarise(tally, files.size(), start, true);
        throw;
    }
    for (const std::string& refusal : refusals)
        std::cerr << "bleepforge: " << refusal << "; nothing was written to it (--force replaces it)" << std::endl;
    for (const std::string& path : left)
        std::cout << "left over " << path << ": no entry makes it now (remove it, or it stays)" << std::endl;
    writeStamps(request.manifest, kept);
    summarise(tally, files.size(), start, false);
    return tally.failed || tally.refused ? 1 : 0;
}

int check(const BuildRequest& request, const std::vector<BuildFile>& files, const Stamps& stamps)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> said(files.size());
    std::vector<size_t> rendered;
    for (size_t i = 0; i < files.size(); ++i)
    {
        const BuildFile& file = files[i];
        const auto stamp = stamps.find(file.shown);
        if (access(file.path.c_str(), F_OK) != 0)
            said[i] = "missing";
        else if (stamp != stamps.end() && stamp->second.entry != hashOf(file.fingerprint))
            said[i] = "stale";
        else
            rendered.push_back(i);
    }
    for (const auto& [i, found] : compareRendered(request, files, rendered))
        if (found != Rendered::kSame)
            said[i] = found == Rendered::kFailed ? "failed" : "different";
    size_t wanting = 0;
    for (size_t i = 0; i < files.size(); ++i)
        if (!said[i].empty())
        {
            ++wanting;
            std::cout << said[i] << " " << files[i].shown << " (entry " << files[i].entry << ")" << std::endl;
        }
    const std::vector<std::string> left = leftOver(files, stamps, request.manifest);
    for (const std::string& path : left)
        std::cout << "left over " << path << " (no entry makes it now)" << std::endl;
    std::printf("%zu of %zu files as the manifest says, %zu not, %zu left over; checked in %.2f s\n",
                files.size() - wanting, files.size(), wanting, left.size(), secondsSince(start));
    return wanting || !left.empty() ? 1 : 0;
}

} // namespace

int RunBuild(const BuildRequest& request)
{
    InstrumentBackend instrument;
    instrument.Open(44100.0, 512, std::nullopt);
    const std::vector<ParamInfo> params = instrument.Params();
    const std::vector<BuildFile> files = ReadManifest(request.manifest, params);
    const Stamps stamps = readStamps(request.manifest);
    return request.check ? check(request, files, stamps) : build(request, files, stamps);
}
