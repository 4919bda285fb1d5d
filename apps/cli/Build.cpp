#include "Build.h"

#include "Bleepforge.h"
#include "BuildFolder.h"
#include "BuildRecord.h"
#include "Generate.h"
#include "Interrupt.h"
#include "Manifest.h"
#include "Workers.h"

#include "KIT_ReadFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <unistd.h>
#include <vector>

namespace
{

// Far above the largest file a build makes: 30 s at 384 kHz in stereo, 64-bit samples.
const size_t kMostFileBytes = size_t(256) << 20;

// A folder of the build's own to render into, removed with all it holds
// however the build ends, an interruption included.
class Scratch
{
public:
    Scratch()
    {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern =
            std::string(temporary && *temporary ? temporary : "/tmp") + "/bleepforge-build-XXXXXX";
        if (!mkdtemp(&pattern[0]))
            throw std::runtime_error("cannot make a folder to render into in '" +
                                     pattern.substr(0, pattern.rfind('/')) +
                                     "': " + std::strerror(errno));
        mPath = pattern;
    }
    ~Scratch()
    {
        if (DIR* folder = opendir(mPath.c_str()))
        {
            while (const dirent* entry = readdir(folder))
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    unlinkat(dirfd(folder), entry->d_name, 0);
            closedir(folder);
        }
        rmdir(mPath.c_str());
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // Where file i renders; its extension chooses the container.
    std::string PathOf(size_t i, const BuildFile& file) const
    {
        return mPath + "/" + std::to_string(i) + file.shown.substr(file.shown.rfind('.'));
    }
    // The bytes rendered there, the file removed; nothing, said, when they cannot be read.
    std::optional<std::string> Take(const std::string& path) const
    {
        std::string bytes, error;
        const bool read = KIT_ReadFile(path, kMostFileBytes, &bytes, &error);
        std::remove(path.c_str());
        if (!read)
            std::cerr << "bleepforge: " << error << std::endl;
        return read ? std::optional<std::string>(std::move(bytes)) : std::nullopt;
    }

private:
    std::string mPath;
};

std::string named(const BuildFile& file)
{
    return file.shown + ", entry " + file.entry;
}

// Makes a file as its entry says; what levelling did is not said, file by file.
void make(const BuildFile& file, const std::string& into)
{
    try
    {
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
        throw std::runtime_error(named(file) + ": " + e.what());
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

// Renders the files at `which` into a scratch folder, jobs at a time;
// told(i, bytes) as each ends, with nothing for a file that failed (its
// worker said why).
void renderEach(const BuildRequest& request, const std::vector<BuildFile>& files,
                const std::vector<size_t>& which,
                const std::function<void(size_t, std::optional<std::string>)>& told)
{
    if (which.empty())
        return;
    const Scratch scratch;
    RunInWorkers(
        which.size(), jobsFor(request, which.size()), true,
        [&](size_t k) { make(files[which[k]], scratch.PathOf(which[k], files[which[k]])); },
        [&](size_t k, bool ok)
        {
            const size_t i = which[k];
            told(i, ok ? scratch.Take(scratch.PathOf(i, files[i])) : std::nullopt);
        });
}

// A file as it stands: its bytes, nothing when it is not there, or why a
// build will not read or replace it.
struct Found
{
    std::optional<std::string> bytes;
    std::string refusal;
};

Found look(const BuildFolder& folder, const BuildFile& file)
{
    try
    {
        return {folder.Read(file.shown, kMostFileBytes), ""};
    }
    catch (const std::exception& e)
    {
        return {std::nullopt, e.what()};
    }
}

// Whether the file as it stands holds exactly these bytes.
bool holds(const BuildFolder& folder, const BuildFile& file, const std::string& bytes)
{
    return look(folder, file).bytes == bytes;
}

// Files an earlier build made that no entry makes now, still there.
std::vector<std::string> leftOver(const std::vector<BuildFile>& files, const Stamps& stamps,
                                  const BuildFolder& folder)
{
    std::set<std::string> made;
    for (const BuildFile& file : files)
        made.insert(file.shown);
    std::vector<std::string> left;
    for (const auto& [path, stamp] : stamps)
        if (!made.count(path) && folder.Holds(path))
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

// Whether the record was written; when it was not, why is said, and the
// files built stay.
bool keep(const BuildRequest& request, const BuildFolder& folder, const Stamps& stamps)
{
    try
    {
        WriteRecord(folder, request.manifest, stamps);
        return true;
    }
    catch (const std::exception& e)
    {
        std::cerr << "bleepforge: " << e.what() << "; the files built are kept" << std::endl;
        return false;
    }
}

// A file is made again when it is missing, when its entry changed, or with
// --force. A file the build did not make, or one changed since, is kept and
// refused unless --force, or taken as up to date when it is what the entry
// makes. A link, or anything but a regular file, is refused even with
// --force. Files no entry makes any more are named and left alone.
int build(const BuildRequest& request, const BuildFolder& folder,
          const std::vector<BuildFile>& files, const BuildRecord& record)
{
    const auto start = std::chrono::steady_clock::now();
    Tally tally;
    Stamps kept;
    std::vector<size_t> rendered;
    std::vector<bool> compared(files.size(), false); // rendered to compare, not to write
    std::vector<std::string> refusals;
    for (size_t i = 0; i < files.size(); ++i)
    {
        const BuildFile& file = files[i];
        const Found found = look(folder, file);
        const auto stamp = record.stamps.find(file.shown);
        if (!found.refusal.empty())
            refusals.push_back(named(file) + ": " + found.refusal + "; nothing was written to it");
        else if (request.force || !found.bytes)
            rendered.push_back(i);
        else if (stamp == record.stamps.end())
        {
            rendered.push_back(i);
            compared[i] = true;
        }
        else if (stamp->second.bytes != HashOf(*found.bytes))
            refusals.push_back(file.shown +
                               " was changed since it was built; nothing was written to it "
                               "(--force replaces it)");
        else if (stamp->second.entry != HashOf(file.fingerprint) || record.otherVersion)
            rendered.push_back(i);
        else
        {
            kept[file.shown] = stamp->second;
            ++tally.upToDate;
        }
    }
    const std::vector<std::string> left = leftOver(files, record.stamps, folder);
    for (const std::string& path : left)
        kept[path] = record.stamps.at(path);
    const auto put = [&](const BuildFile& file, const std::string& bytes)
    {
        try
        {
            folder.Write(file.shown, bytes);
        }
        catch (const std::exception& e)
        {
            ++tally.failed;
            std::cerr << "bleepforge: " << named(file) << ": " << e.what() << std::endl;
            return;
        }
        kept[file.shown] = {HashOf(file.fingerprint), HashOf(bytes)};
        ++tally.built;
        std::cout << "built " << file.shown << std::endl;
    };
    const auto told = [&](size_t i, std::optional<std::string> bytes)
    {
        const BuildFile& file = files[i];
        if (!bytes)
            ++tally.failed;
        else if (!compared[i])
            put(file, *bytes);
        else if (!holds(folder, file, *bytes))
            refusals.push_back(file.shown + " exists and is not what its entry " + file.entry +
                               " makes; nothing was written to it (--force replaces it)");
        else
        {
            kept[file.shown] = {HashOf(file.fingerprint), HashOf(*bytes)};
            ++tally.upToDate;
        }
    };
    try
    {
        renderEach(request, files, rendered, told);
    }
    catch (const Interrupted&)
    {
        keep(request, folder, kept);
        tally.refused = refusals.size();
        summarise(tally, files.size(), start, true);
        throw;
    }
    tally.refused = refusals.size();
    for (const std::string& refusal : refusals)
        std::cerr << "bleepforge: " << refusal << std::endl;
    for (const std::string& path : left)
        std::cout << "left over " << path << ": no entry makes it now (remove it, or it stays)" << std::endl;
    const bool recorded = keep(request, folder, kept);
    summarise(tally, files.size(), start, false);
    return tally.failed || tally.refused || !recorded ? 1 : 0;
}

void summariseCheck(size_t total, size_t wanting, size_t left, std::chrono::steady_clock::time_point start)
{
    std::printf("%zu of %zu files as the manifest says, %zu not, %zu left over; checked in %.2f s\n",
                total - wanting, total, wanting, left, secondsSince(start));
}

// A record the build cannot read stops it before anything is made or
// compared: every file is refused.
int refuseAll(const BuildRequest& request, size_t total, const std::string& why)
{
    const auto start = std::chrono::steady_clock::now();
    std::cerr << "bleepforge: " << why << "; nothing was " << (request.check ? "checked" : "written")
              << std::endl;
    Tally tally;
    tally.refused = total;
    if (request.check)
        summariseCheck(total, total, 0, start);
    else
        summarise(tally, total, start, false);
    return 1;
}

int check(const BuildRequest& request, const BuildFolder& folder,
          const std::vector<BuildFile>& files, const BuildRecord& record)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> said(files.size());
    std::vector<size_t> rendered;
    for (size_t i = 0; i < files.size(); ++i)
    {
        const BuildFile& file = files[i];
        const Found found = look(folder, file);
        const auto stamp = record.stamps.find(file.shown);
        if (!found.refusal.empty())
            said[i] = "refused " + file.shown + " (entry " + file.entry + "): " + found.refusal;
        else if (!found.bytes)
            said[i] = "missing";
        else if (stamp != record.stamps.end() &&
                 (stamp->second.entry != HashOf(file.fingerprint) || record.otherVersion))
            said[i] = "stale";
        else
            rendered.push_back(i);
    }
    std::vector<bool> unchecked(files.size(), false);
    for (const size_t i : rendered)
        unchecked[i] = true;
    try
    {
        renderEach(request, files, rendered,
                   [&](size_t i, std::optional<std::string> bytes)
                   {
                       unchecked[i] = false;
                       if (!bytes || !holds(folder, files[i], *bytes))
                           said[i] = bytes ? "different" : "failed";
                   });
    }
    catch (const Interrupted&)
    {
        // --check writes nothing, so what it found so far is all there is to say.
        const size_t unknown = std::count(unchecked.begin(), unchecked.end(), true);
        const size_t wanting = files.size() - std::count(said.begin(), said.end(), "");
        std::printf("interrupted: %zu of %zu files as the manifest says, %zu not, %zu not checked; in %.2f s\n",
                    files.size() - wanting - unknown, files.size(), wanting, unknown, secondsSince(start));
        std::fflush(stdout);
        throw;
    }
    size_t wanting = 0;
    for (size_t i = 0; i < files.size(); ++i)
    {
        if (said[i].empty())
            continue;
        ++wanting;
        if (said[i].rfind("refused ", 0) == 0)
            std::cout << said[i] << std::endl;
        else
            std::cout << said[i] << " " << files[i].shown << " (entry " << files[i].entry << ")" << std::endl;
    }
    const std::vector<std::string> left = leftOver(files, record.stamps, folder);
    for (const std::string& path : left)
        std::cout << "left over " << path << " (no entry makes it now)" << std::endl;
    summariseCheck(files.size(), wanting, left.size(), start);
    return wanting || !left.empty() ? 1 : 0;
}

} // namespace

int RunBuild(const BuildRequest& request)
{
    InstrumentBackend instrument;
    instrument.Open(44100.0, 512, std::nullopt);
    const std::vector<ParamInfo> params = instrument.Params();
    const std::vector<BuildFile> files = ReadManifest(request.manifest, params);
    const BuildFolder folder(request.manifest);
    BuildRecord record;
    try
    {
        record = ReadRecord(folder, request.manifest);
    }
    catch (const Refused& e)
    {
        return refuseAll(request, files.size(), e.what());
    }
    return request.check ? check(request, folder, files, record)
                         : build(request, folder, files, record);
}
