#include "KIT_Base64.h"
#include "TestPlug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

using Bytes = std::vector<unsigned char>;

void putBE(Bytes& b, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<unsigned char>(v >> shift));
}
void putTag(Bytes& b, const char* tag)
{
    b.insert(b.end(), tag, tag + 4);
}
void putFloatBE(Bytes& b, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    putBE(b, bits);
}
void putName(Bytes& b, const char* name)
{
    char field[28] = {};
    std::strncpy(field, name, 27);
    b.insert(b.end(), field, field + 28);
}

void programRecord(Bytes& b, IPluginBase& plug, const char* name, const std::vector<double>& plain)
{
    putTag(b, "CcnK");
    putBE(b, 0);
    putTag(b, "FxCk");
    putBE(b, 1);
    putBE(b, TestPlug::kUniqueID);
    putBE(b, 10203);
    putBE(b, 60);
    putName(b, name);
    for (int i = 0; i < 60; ++i)
        putFloatBE(b, static_cast<float>(plug.GetParam(i)->GetNormalized(plain[i])));
}

class TempFile
{
public:
    TempFile()
    {
        char pattern[] = "/tmp/bleepforge-test-XXXXXX";
        const int fd = mkstemp(pattern);
        close(fd);
        mPath = pattern;
        mName.Set(pattern);
    }
    ~TempFile() { std::remove(mPath.c_str()); }
    const KIT_String* name() const { return &mName; }
    const char* path() const { return mPath.c_str(); }
    Bytes read() const
    {
        std::ifstream in(mPath, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void write(const Bytes& bytes) const
    {
        std::ofstream out(mPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::string mPath;
    KIT_String mName;
};

void setSomeValues(TestPlug& plug)
{
    plug.GetParam(0)->Set(7);
    plug.GetParam(1)->Set(1);
    for (int i = 2; i < 60; ++i)
        plug.GetParam(i)->Set(1.0 + i * 3.0);
}

} // namespace

TEST(Presets, ParameterBlockRoundTrips)
{
    TestPlug plug;
    ByteChunk chunk;
    EXPECT_TRUE(plug.SerializeParams(&chunk));
    EXPECT_EQ(chunk.Size(), 480);
    const auto saved = plug.values();
    setSomeValues(plug);
    EXPECT_EQ(plug.UnserializeParams(&chunk, 0), 480);
    EXPECT_EQ(plug.values(), saved);
}

TEST(Presets, ShortOrNonFiniteBlocksAreRefusedWhole)
{
    TestPlug plug;
    const auto before = plug.values();
    const double a = 9.0, b = 1.0, c = 123.0, nan = std::nan("");
    ByteChunk shortChunk;
    shortChunk.Put(&a);
    shortChunk.Put(&b);
    shortChunk.PutBytes(&c, 4);
    EXPECT_EQ(plug.UnserializeParams(&shortChunk, 0), -1);

    ByteChunk withNan;
    for (int i = 0; i < 60; ++i)
        withNan.Put(i == 30 ? &nan : &a);
    EXPECT_EQ(plug.UnserializeParams(&withNan, 0), -1);
    EXPECT_EQ(plug.values(), before);
    EXPECT_TRUE(plug.calls.empty()); // nothing re-applied
}

TEST(Presets, RestoringAnEmptySlotNamesItAndMakesItCurrent)
{
    TestPlug plug;
    EXPECT_TRUE(plug.RestorePreset(2));
    EXPECT_STREQ(plug.GetPresetName(2), "user preset 1");
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);
    EXPECT_EQ(plug.GetPreset(2)->mChunk.Size(), 480);
    EXPECT_TRUE(plug.RestorePreset(3));
    EXPECT_STREQ(plug.GetPresetName(3), "user preset 2");
    EXPECT_FALSE(plug.RestorePreset(""));
    EXPECT_FALSE(plug.RestorePreset(nullptr));
    EXPECT_FALSE(plug.RestorePreset(4));
    EXPECT_STREQ(plug.GetPresetName(-1), "");
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);
}

TEST(Presets, MakeOperationsFillTheNextEmptySlot)
{
    TestPlug plug;
    plug.MakeDefaultPreset("-", 1);
    std::vector<double> args(60, 50.0);
    plug.MakePreset("all", 4, 1, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0,
                    50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0,
                    50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0,
                    50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0,
                    50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0, 50.0);
    plug.MakePresetFromNamedParams("named", 2, 0, 6, 5, 99.5);
    EXPECT_STREQ(plug.GetPresetName(0), "-");
    EXPECT_TRUE(plug.RestorePreset("all"));
    EXPECT_EQ(plug.GetParam(0)->Value(), 4.0);
    EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
    EXPECT_EQ(plug.GetParam(30)->Value(), 50.0);
    const auto live = plug.values();
    EXPECT_TRUE(plug.RestorePreset(2));
    EXPECT_EQ(plug.GetParam(0)->Value(), 6.0);
    EXPECT_EQ(plug.GetParam(5)->Value(), 99.5);
    EXPECT_EQ(plug.GetParam(30)->Value(), 40.0); // unnamed: the value at creation
    EXPECT_NE(live[30], 40.0);

    ByteChunk block;
    plug.SerializeParams(&block);
    std::string blob(static_cast<size_t>(base64EncodedLength(block.Size())) + 1, '\0');
    base64encode(block.GetBytes(), &blob[0], block.Size());
    plug.MakePresetFromBlob("blob", blob.c_str(), block.Size());
    EXPECT_EQ(plug.GetPreset(3)->mChunk.Size(), 480);
    EXPECT_EQ(std::memcmp(plug.GetPreset(3)->mChunk.GetBytes(), block.GetBytes(), 480), 0);
    plug.MakePresetFromChunk("no room", &block); // every slot is taken
    EXPECT_STREQ(plug.GetPresetName(3), "blob");
}

TEST(Presets, EnsureModifyAndPrune)
{
    TestPlug plug;
    plug.MakeDefaultPreset("first", 1);
    plug.PruneUninitializedPresets();
    EXPECT_EQ(plug.NPresets(), 1);

    TestPlug full;
    full.EnsureDefaultPreset();
    for (int i = 0; i < full.NPresets(); ++i)
        EXPECT_STREQ(full.GetPresetName(i), "Empty");
    full.GetParam(7)->Set(77.0);
    full.ModifyCurrentPreset("changed");
    EXPECT_STREQ(full.GetPresetName(0), "changed");
    full.GetParam(7)->Set(1.0);
    full.RestorePreset(0);
    EXPECT_EQ(full.GetParam(7)->Value(), 77.0);
    full.ModifyCurrentPreset(""); // keeps its name
    EXPECT_STREQ(full.GetPresetName(0), "changed");
}

TEST(Presets, FrameworkHeaderIsTaggedAndOptional)
{
    ByteChunk chunk;
    IPluginBase::InitChunkWithIPluginVer(&chunk);
    ASSERT_EQ(chunk.Size(), 8);
    EXPECT_EQ(std::memcmp(chunk.GetBytes(), "tffp", 4), 0);
    int pos = 0;
    EXPECT_EQ(IPluginBase::GetIPluginVerFromChunk(&chunk, &pos), 0x10000);
    EXPECT_EQ(pos, 8);
    ByteChunk other;
    other.PutStr("abcd");
    pos = 0;
    EXPECT_EQ(IPluginBase::GetIPluginVerFromChunk(&other, &pos), 0);
    EXPECT_EQ(pos, 0);
}

TEST(ProgramFile, ValuesVariantHasTheExactLayout)
{
    TestPlug plug;
    setSomeValues(plug);
    plug.MakeDefaultPreset("A program name longer than twenty-seven", 1);
    TempFile file;
    ASSERT_TRUE(plug.SaveProgramAsFXP(file.name()));
    Bytes expected;
    programRecord(expected, plug, "A program name longer than ", plug.values());
    const Bytes written = file.read();
    EXPECT_EQ(written.size(), 296u);
    EXPECT_EQ(written, expected);

    const auto saved = plug.values();
    TestPlug other;
    other.EnsureDefaultPreset(); // an empty slot would be renamed on restore
    ASSERT_TRUE(other.LoadProgramFromFXP(file.name()));
    for (int i = 0; i < 60; ++i)
        EXPECT_NEAR(other.GetParam(i)->Value(), saved[i], 1e-4) << i;
    EXPECT_STREQ(other.GetPresetName(0), "A program name longer than ");
    EXPECT_EQ(other.programChanges, 1);
}

TEST(ProgramFile, StateVariantCarriesTheFrameworkHeader)
{
    TestPlug plug(true);
    setSomeValues(plug);
    plug.MakeDefaultPreset("state", 1);
    TempFile file;
    ASSERT_TRUE(plug.SaveProgramAsFXP(file.name()));
    Bytes expected;
    putTag(expected, "CcnK");
    putBE(expected, 8 + 480 + 60);
    putTag(expected, "FPCh");
    putBE(expected, 1);
    putBE(expected, TestPlug::kUniqueID);
    putBE(expected, 10203);
    putBE(expected, 60);
    putName(expected, "state");
    putBE(expected, 8 + 480);
    putTag(expected, "tffp");
    const int version = 0x10000;
    expected.insert(expected.end(), reinterpret_cast<const unsigned char*>(&version),
                    reinterpret_cast<const unsigned char*>(&version) + 4);
    for (double v : plug.values())
        expected.insert(expected.end(), reinterpret_cast<const unsigned char*>(&v),
                        reinterpret_cast<const unsigned char*>(&v) + 8);
    EXPECT_EQ(file.read(), expected);

    TestPlug other(true);
    ASSERT_TRUE(other.LoadProgramFromFXP(file.name()));
    EXPECT_EQ(other.values(), plug.values());
}

TEST(ProgramFile, MalformedFilesAreRefusedAndChangeNothing)
{
    TestPlug source(true);
    setSomeValues(source);
    TempFile good;
    ASSERT_TRUE(source.SaveProgramAsFXP(good.name()));
    const Bytes bytes = good.read();

    TempFile bad;
    std::vector<Bytes> cases;
    cases.push_back(Bytes(bytes.begin(), bytes.begin() + 40)); // short header
    cases.push_back(Bytes(bytes.begin(), bytes.end() - 100));  // truncated state
    cases.push_back(bytes);
    cases.back()[19] ^= 1; // another plug-in's code
    cases.push_back(bytes);
    cases.back()[27] = 59; // wrong parameter count
    cases.push_back(bytes);
    cases.back()[56] = 0x7F; // absurd state size
    cases.push_back(Bytes());
    for (size_t c = 0; c < cases.size(); ++c)
    {
        TestPlug plug(true);
        const auto before = plug.values();
        bad.write(cases[c]);
        EXPECT_FALSE(plug.LoadProgramFromFXP(bad.name())) << c;
        EXPECT_EQ(plug.values(), before) << c;
        EXPECT_EQ(plug.programChanges, 0) << c;
    }
    TestPlug plug;
    KIT_String missing("/nonexistent/dir/file.fxp"), empty;
    EXPECT_FALSE(plug.LoadProgramFromFXP(&missing));
    EXPECT_FALSE(plug.LoadProgramFromFXP(&empty));
    EXPECT_FALSE(plug.SaveProgramAsFXP(&empty));
    EXPECT_FALSE(plug.SaveProgramAsFXP(&missing));
}

TEST(ProgramFile, NamesFillingTheWholeFieldAreCutOnRead)
{
    TestPlug plug;
    plug.EnsureDefaultPreset();
    Bytes image;
    programRecord(image, plug, "", plug.values());
    std::fill(image.begin() + 28, image.begin() + 56, 'n'); // no terminator
    TempFile file;
    file.write(image);
    ASSERT_TRUE(plug.LoadProgramFromFXP(file.name()));
    EXPECT_EQ(std::string(plug.GetPresetName(0)), std::string(27, 'n'));
}

TEST(ProgramFile, NormalisedValuesFromFilesAreHeldToTheUnitRange)
{
    TestPlug plug;
    Bytes image;
    std::vector<double> plain = plug.values();
    programRecord(image, plug, "loud", plain);
    const size_t first = 56;
    const float tooHigh = 7.0f, tooLow = -3.0f;
    Bytes high, low;
    putFloatBE(high, tooHigh);
    putFloatBE(low, tooLow);
    std::copy(high.begin(), high.end(), image.begin() + first + 4 * 5);
    std::copy(low.begin(), low.end(), image.begin() + first + 4 * 6);
    TempFile file;
    file.write(image);
    ASSERT_TRUE(plug.LoadProgramFromFXP(file.name()));
    EXPECT_EQ(plug.GetParam(5)->Value(), 200.0);
    EXPECT_EQ(plug.GetParam(6)->Value(), 1.0);

    Bytes nan;
    putFloatBE(nan, std::nanf(""));
    std::copy(nan.begin(), nan.end(), image.begin() + first + 4 * 7);
    file.write(image);
    const auto loaded = plug.values();
    EXPECT_FALSE(plug.LoadProgramFromFXP(file.name()));
    EXPECT_EQ(plug.values(), loaded);
}

TEST(BankFile, ValuesVariantRoundTripsWithExactLayout)
{
    TestPlug plug;
    for (int p = 0; p < 4; ++p)
    {
        plug.GetParam(2 + p)->Set(100.0 + p);
        const std::string name = "program " + std::to_string(p);
        plug.MakeDefaultPreset(name.c_str(), 1);
    }
    plug.RestorePreset(1);
    TempFile file;
    ASSERT_TRUE(plug.SaveBankAsFXB(file.name()));

    Bytes expected;
    putTag(expected, "CcnK");
    putBE(expected, 0);
    putTag(expected, "FxBk");
    putBE(expected, 2);
    putBE(expected, TestPlug::kUniqueID);
    putBE(expected, 10203);
    putBE(expected, 4);
    putBE(expected, 1);
    expected.resize(expected.size() + 124, 0);
    for (int p = 0; p < 4; ++p)
    {
        std::vector<double> plain(60);
        std::memcpy(plain.data(), plug.GetPreset(p)->mChunk.GetBytes(), 480);
        programRecord(expected, plug, plug.GetPresetName(p), plain);
    }
    EXPECT_EQ(file.read(), expected);

    TestPlug other;
    ASSERT_TRUE(other.LoadBankFromFXB(file.name()));
    EXPECT_EQ(other.GetCurrentPresetIdx(), 1);
    EXPECT_STREQ(other.GetPresetName(3), "program 3");
    EXPECT_NEAR(other.GetParam(3)->Value(), 101.0, 1e-4);
    EXPECT_NEAR(other.GetParam(5)->Value(), 10.0 + 5, 1e-4); // program 1 had not set it yet
}

TEST(BankFile, StateVariantRoundTrips)
{
    TestPlug plug(true);
    for (int p = 0; p < 4; ++p)
    {
        plug.GetParam(10)->Set(20.0 * (p + 1));
        plug.MakeDefaultPreset(("bank " + std::to_string(p)).c_str(), 1);
    }
    plug.RestorePreset(2);
    TempFile file;
    ASSERT_TRUE(plug.SaveBankAsFXB(file.name()));
    const Bytes bytes = file.read();
    ASSERT_GT(bytes.size(), 160u);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "FBCh", 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 160, "tffp", 4), 0);
    EXPECT_EQ(bytes[7] + (bytes[6] << 8) + (bytes[5] << 16), static_cast<int>(bytes.size()));

    TestPlug other(true);
    ASSERT_TRUE(other.LoadBankFromFXB(file.name()));
    EXPECT_STREQ(other.GetPresetName(3), "bank 3");
    EXPECT_EQ(other.GetParam(10)->Value(), 20.0); // its own current preset, 0
    EXPECT_TRUE(other.RestorePreset(2));
    EXPECT_EQ(other.GetParam(10)->Value(), 60.0);
}

TEST(BankFile, MalformedBanksAreRefusedBeforeAnythingIsApplied)
{
    for (bool chunks : {false, true})
    {
        TestPlug source(chunks);
        setSomeValues(source);
        source.EnsureDefaultPreset();
        TempFile good;
        ASSERT_TRUE(source.SaveBankAsFXB(good.name()));
        const Bytes bytes = good.read();
        std::vector<Bytes> cases;
        cases.push_back(Bytes(bytes.begin(), bytes.begin() + 100));
        cases.push_back(Bytes(bytes.begin(), bytes.end() - 10)); // last program cut
        cases.push_back(bytes);
        cases.back()[19] ^= 1; // another plug-in
        if (!chunks)
        {
            cases.push_back(bytes);
            cases.back()[bytes.size() - 240 - 28 - 1] = 61; // last program's count
        }
        TempFile bad;
        for (size_t c = 0; c < cases.size(); ++c)
        {
            TestPlug plug(chunks);
            plug.MakeDefaultPreset("mine", 4);
            const auto before = plug.values();
            bad.write(cases[c]);
            EXPECT_FALSE(plug.LoadBankFromFXB(bad.name())) << chunks << " " << c;
            EXPECT_EQ(plug.values(), before) << chunks << " " << c;
            for (int p = 0; p < 4; ++p)
                EXPECT_STREQ(plug.GetPresetName(p), "mine") << chunks << " " << c;
        }
    }
}

TEST(Dumps, BlobsOfAnySizeAreComplete)
{
    TestPlug plug(true, "0-2", 200, 2); // a 1600-byte state, far beyond 765 bytes
    plug.MakeDefaultPreset("big", 2);
    TempFile file;
    ASSERT_TRUE(plug.DumpPresetBlob(file.path()));
    const Bytes raw = file.read();
    const std::string text(raw.begin(), raw.end());
    const std::string head = "MakePresetFromBlob(\"name\", \"";
    ASSERT_EQ(text.compare(0, head.size(), head), 0);
    const size_t end = text.find('"', head.size());
    const std::string blob = text.substr(head.size(), end - head.size());
    EXPECT_EQ(blob.size(), static_cast<size_t>(base64EncodedLength(1600)));
    EXPECT_EQ(text.substr(end), "\", 1600);\n");
    std::vector<unsigned char> decoded(1600);
    EXPECT_EQ(base64decode(blob.c_str(), decoded.data(), 1600), 1600);
    EXPECT_EQ(std::memcmp(decoded.data(), plug.GetPreset(0)->mChunk.GetBytes(), 1600), 0);

    ASSERT_TRUE(plug.DumpBankBlob(file.path()));
    const Bytes bank = file.read();
    EXPECT_NE(std::string(bank.begin(), bank.end()).find("MakePresetFromBlob(\"big\", \""),
              std::string::npos);
    EXPECT_FALSE(plug.DumpBankBlob("/nonexistent/dir/x"));
}

TEST(Dumps, SourceCodeNamesEveryParameter)
{
    TestPlug plug(false, "0-2", 3, 1);
    plug.GetParam(1)->Set(1.0);
    const char* names[] = {"kCount", "kMute", "kLevel"};
    TempFile file;
    ASSERT_TRUE(plug.DumpPresetSrcCode(file.path(), names));
    const Bytes raw = file.read();
    EXPECT_EQ(std::string(raw.begin(), raw.end()),
              "  MakePresetFromNamedParams(\"name\", 3,\n    kCount, 3,\n    kMute, true,\n"
              "    kLevel, 12.000000);\n");
}
