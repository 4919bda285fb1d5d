#include "Settings.h"

#include "Generating.h"

#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace
{

const char kGroup[] = "bleepforge";
const size_t kMostSettingsBytes = 1 << 16;

struct KeyFile
{
    KeyFile() : file(g_key_file_new()) {}
    ~KeyFile() { g_key_file_free(file); }
    KeyFile(const KeyFile&) = delete;
    KeyFile& operator=(const KeyFile&) = delete;

    std::string text(const char* key) const
    {
        gchar* value = g_key_file_get_string(file, kGroup, key, nullptr);
        const std::string result = value ? value : "";
        g_free(value);
        return result;
    }

    std::vector<std::string> list(const char* key) const
    {
        gsize length = 0;
        gchar** values = g_key_file_get_string_list(file, kGroup, key, &length, nullptr);
        std::vector<std::string> result(values, values + (values ? length : 0));
        g_strfreev(values);
        return result;
    }

    GKeyFile* file;
};

struct Choice
{
    const char* name;
    int value;
};

const Choice kSampleFormats[] = {{"pcm16", static_cast<int>(SampleFormat::kPcm16)},
                                 {"pcm24", static_cast<int>(SampleFormat::kPcm24)},
                                 {"float", static_cast<int>(SampleFormat::kFloat)}};
const Choice kContainers[] = {{"wav", static_cast<int>(Container::kWav)},
                              {"flac", static_cast<int>(Container::kFlac)},
                              {"ogg", static_cast<int>(Container::kOgg)}};

template <size_t N> void readChoice(const std::string& text, const Choice (&choices)[N], int* value)
{
    for (const Choice& choice : choices)
        if (text == choice.name)
            *value = choice.value;
}

template <size_t N> const char* nameOf(int value, const Choice (&choices)[N])
{
    for (const Choice& choice : choices)
        if (choice.value == value)
            return choice.name;
    return choices[0].name;
}

} // namespace

AppSettings LoadSettings(const std::string& path, std::string* problem)
{
    AppSettings settings;
    if (access(path.c_str(), F_OK) != 0)
        return settings;
    // Read as every outside file is: a FIFO or a device would block a plain open.
    std::string text, error;
    KeyFile keys;
    if (!KIT_ReadFile(path, kMostSettingsBytes, &text, &error) ||
        !g_key_file_load_from_data(keys.file, text.data(), text.size(), G_KEY_FILE_NONE, nullptr))
    {
        if (problem)
            *problem = "the settings could not be read, so the defaults apply: " +
                       (error.empty() ? "'" + path + "' is not a settings file" : error);
        return settings;
    }
    ExportSettings& out = settings.exportSettings;
    settings.playOnChange = keys.text("play-on-change") != "false";
    const std::string channels = keys.text("export-channels");
    if (channels == "1" || channels == "2")
        out.format.channels = channels[0] - '0';
    int sample = static_cast<int>(out.format.sample), container = static_cast<int>(out.format.container);
    readChoice(keys.text("export-format"), kSampleFormats, &sample);
    readChoice(keys.text("export-container"), kContainers, &container);
    out.format.sample = static_cast<SampleFormat>(sample);
    out.format.container = static_cast<Container>(container);
    const std::string rate = keys.text("export-rate");
    for (int offered : kExportRates)
        if (rate == std::to_string(offered))
            out.rate = offered;
    out.normalise = keys.text("export-normalise") != "false";
    out.loudness = keys.text("export-normalise-to") == "lufs";
    settings.exportFolder = keys.text("export-folder");
    settings.locks = KnownLocks(keys.list("locks"));
    const int variations = std::atoi(keys.text("variations").c_str());
    if (variations >= 1 && variations <= kMostVariations)
        settings.variations = variations;
    return settings;
}

void SaveSettings(const AppSettings& settings, const std::string& path)
{
    const ExportSettings& out = settings.exportSettings;
    KeyFile keys;
    g_key_file_set_string(keys.file, kGroup, "play-on-change", settings.playOnChange ? "true" : "false");
    g_key_file_set_string(keys.file, kGroup, "export-channels", std::to_string(out.format.channels).c_str());
    g_key_file_set_string(keys.file, kGroup, "export-format",
                          nameOf(static_cast<int>(out.format.sample), kSampleFormats));
    g_key_file_set_string(keys.file, kGroup, "export-container",
                          nameOf(static_cast<int>(out.format.container), kContainers));
    g_key_file_set_string(keys.file, kGroup, "export-rate",
                          std::to_string(static_cast<int>(out.rate)).c_str());
    g_key_file_set_string(keys.file, kGroup, "export-normalise", out.normalise ? "true" : "false");
    g_key_file_set_string(keys.file, kGroup, "export-normalise-to", out.loudness ? "lufs" : "peak");
    g_key_file_set_string(keys.file, kGroup, "export-folder", settings.exportFolder.c_str());
    std::vector<const gchar*> locks;
    for (const std::string& lock : settings.locks)
        locks.push_back(lock.c_str());
    g_key_file_set_string_list(keys.file, kGroup, "locks", locks.data(), locks.size());
    g_key_file_set_string(keys.file, kGroup, "variations", std::to_string(settings.variations).c_str());
    gsize length = 0;
    gchar* data = g_key_file_to_data(keys.file, &length, nullptr);
    std::string error;
    const bool written = KIT_WriteFileSafely(path, data, length, &error);
    g_free(data);
    if (!written)
        throw std::runtime_error("cannot keep the settings in '" + path + "': " + error);
}

std::string ExportStartFolder(const std::string& lastFolder, const char* musicFolder,
                              const std::string& home)
{
    for (const char* folder : {lastFolder.c_str(), musicFolder})
        if (folder && *folder && g_file_test(folder, G_FILE_TEST_IS_DIR))
            return folder;
    return home;
}
