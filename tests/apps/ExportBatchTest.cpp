// Export starred and Export all, without the window: what the batch writes,
// what its summary says, and that a cancel or a folder that is not a real
// folder leaves nothing half-made and writes nowhere else.
#include "ExportBatch.h"
#include "KIT_ReadFile.h"
#include "RenderBundleLeaks.h"
#include "ScratchTest.h"
#include "SoundState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <thread>

namespace
{

const AudioUnitParameterID kAmpEnvHold = 29;
const size_t kLongBatch = 40;

std::string slurp(const std::string& path)
{
    std::string bytes, error;
    EXPECT_TRUE(KIT_ReadFile(path, 1 << 24, &bytes, &error)) << error;
    return bytes;
}

// Every entry, hidden ones too: a batch's working folders must not stay.
std::vector<std::string> entriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void waitUntil(const std::function<bool()>& ready)
{
    while (!ready())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

class ExportBatchTest : public ScratchTest
{
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        folder = mDir + "/set";
        std::filesystem::create_directory(folder);
        ASSERT_EQ(unit.Configure(44100, 512), noErr);
        ASSERT_EQ(unit.Initialize(), noErr);
        ASSERT_EQ(unit.SetParameter(kAmpEnvHold, 0.01f), noErr);
        state = BytesOf(CurrentState(unit));
        settings.format = {Container::kWav, SampleFormat::kPcm16, 1};
        // The file every listed copy of the state must be, byte for byte.
        std::filesystem::create_directory(mDir + "/one");
        whole = slurp(ExportListed(renders, state, "one", settings, mDir + "/one"));
        ASSERT_GT(whole.size(), 44u);
    }
    std::vector<ListedSound> copies(size_t count) const
    {
        return std::vector<ListedSound>(count, ListedSound{state, "coin", "pickup", true});
    }
    static void finish(ExportBatch& batch) { waitUntil([&] { return batch.Finished(); }); }
    // Each file there is the whole export: none was cut short.
    void expectOnlyWholeFiles(size_t count)
    {
        const std::vector<std::string> entries = entriesOf(folder);
        EXPECT_EQ(entries.size(), count);
        for (const std::string& name : entries)
            EXPECT_EQ(slurp(folder + "/" + name), whole) << name;
    }

    std::string folder, state, whole;
    AUBundle bundle{BLEEPFORGE_BUNDLE};
    RenderBundle renders{bundle};
    AUInstance unit{bundle};
    ExportSettings settings;
};

} // namespace

TEST_F(ExportBatchTest, WritesEverySoundUnderFreeNamesAndSumsUp)
{
    std::ofstream(folder + "/coin.wav") << "mine";
    std::vector<ListedSound> sounds = copies(2);
    sounds.push_back({state, "blip/2", "blip", false});
    {
        ExportBatch batch(renders, sounds, settings, folder);
        finish(batch);
        EXPECT_EQ(batch.Done(), 3u);
        EXPECT_EQ(batch.Summary(), "Exported 3 of 3 sounds to " + folder +
                                       "; 2 files numbered past names already taken, none replaced");
    }
    EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"blip-2.wav", "coin (2).wav", "coin (3).wav", "coin.wav"}));
    EXPECT_EQ(slurp(folder + "/coin.wav"), "mine");
    for (const char* name : {"blip-2.wav", "coin (2).wav", "coin (3).wav"})
        EXPECT_EQ(slurp(folder + "/" + name), whole) << name;

    // One sound that cannot be read: the others are still written, and the status is an error.
    sounds = {ListedSound{"not a state", "broken", "opened", true}, ListedSound{state, "fine", "pickup", true}};
    ExportBatch failing(renders, sounds, settings, folder);
    finish(failing);
    const std::string summary = failing.Summary();
    EXPECT_EQ(summary.rfind("Error: Exported 1 of 2 sounds to " + folder + "; 1 could not be written: 'broken': ", 0),
              0u)
        << summary;
    EXPECT_EQ(slurp(folder + "/fine.wav"), whole);
}

TEST_F(ExportBatchTest, ACancelOrAnEndMidBatchLeavesOnlyWholeFiles)
{
    size_t written = 0;
    {
        ExportBatch batch(renders, copies(kLongBatch), settings, folder);
        waitUntil([&] { return batch.Done() >= 1; });
        batch.Cancel();
        finish(batch);
        written = batch.Done();
        EXPECT_LT(written, kLongBatch);
        EXPECT_EQ(batch.Summary(), "Exported " + std::to_string(written) + " of 40 sounds to " + folder +
                                       " (cancelled); " + std::to_string(written - 1) +
                                       (written == 2 ? " file" : " files") +
                                       " numbered past names already taken, none replaced");
    }
    expectOnlyWholeFiles(written);

    // Ended while writing, as when the app closes: what was written stays whole.
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    {
        ExportBatch batch(renders, copies(kLongBatch), settings, folder);
        waitUntil([&] { return batch.Done() >= 1; });
    }
    const size_t left = entriesOf(folder).size();
    EXPECT_GE(left, 1u);
    EXPECT_LT(left, kLongBatch);
    expectOnlyWholeFiles(left);
}

// Files go into the folder chosen or nowhere: never through a link to another.
TEST_F(ExportBatchTest, AFolderThatIsALinkOrGoesAwayIsRefused)
{
    const std::string elsewhere = mDir + "/elsewhere", link = mDir + "/link";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::create_directory_symlink(elsewhere, link);
    {
        ExportBatch batch(renders, copies(2), settings, link);
        finish(batch);
        EXPECT_EQ(batch.Summary(), "Error: Exported 0 of 2 sounds to " + link + " (stopped: " + link +
                                       " is a link, not a folder)");
    }
    EXPECT_TRUE(entriesOf(elsewhere).empty());

    const std::string missing = mDir + "/missing";
    ExportBatch never(renders, copies(1), settings, missing);
    finish(never);
    EXPECT_EQ(never.Summary().rfind("Error: Exported 0 of 1 sound to " + missing + " (stopped: cannot open ", 0), 0u)
        << never.Summary();

    // The folder moved away mid-batch and a link put in its place: the batch stops.
    const std::string moved = mDir + "/moved";
    {
        ExportBatch batch(renders, copies(kLongBatch), settings, folder);
        waitUntil([&] { return batch.Done() >= 1; });
        std::filesystem::rename(folder, moved);
        std::filesystem::create_directory_symlink(elsewhere, folder);
        finish(batch);
        const std::string summary = batch.Summary();
        EXPECT_NE(summary.find(" (stopped: " + folder + " is a link, not a folder)"), std::string::npos)
            << summary;
        EXPECT_EQ(summary.rfind("Error: ", 0), 0u);
    }
    EXPECT_TRUE(entriesOf(elsewhere).empty());
    std::filesystem::remove(folder);
    std::filesystem::rename(moved, folder);
    expectOnlyWholeFiles(entriesOf(folder).size());

    // Gone from its name: stopped too, rather than failing once per sound.
    {
        ExportBatch batch(renders, copies(kLongBatch), settings, folder);
        waitUntil([&] { return batch.Done() >= 1; });
        std::filesystem::remove_all(moved);
        std::filesystem::rename(folder, moved);
        finish(batch);
        EXPECT_NE(batch.Summary().find(" (stopped: " + folder + " is gone: "), std::string::npos)
            << batch.Summary();
        EXPECT_EQ(batch.Summary().find("could not be written"), std::string::npos) << batch.Summary();
    }
    std::filesystem::rename(moved, folder);
    expectOnlyWholeFiles(entriesOf(folder).size());
}
