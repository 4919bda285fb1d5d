// Writes the bundle's Turtle: the manifest, the plug-in and its ports from the
// parameter table, and a factory preset per generator kind. Run by the build,
// so the description cannot drift from the table.
#include "Bleepforge.h"
#include "IParam.h"
#include "KIT_Base64.h"
#include "LV2Ports.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace
{

const char* const kPrefixes = "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                              "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix midi:  <http://lv2plug.in/ns/ext/midi#> .\n"
                              "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
                              "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
                              "@prefix xsd:   <http://www.w3.org/2001/XMLSchema#> .\n\n";

struct Kind
{
    const char* symbol;
    const char* label;
    void (Bleepforge::*generate)();
};

const Kind kKinds[] = {{"pickup", "Pickup", &Bleepforge::PickupParams},
                       {"shoot", "Shoot", &Bleepforge::ShootParams},
                       {"powerup", "Powerup", &Bleepforge::PowerupParams},
                       {"hit", "Hit", &Bleepforge::HitParams},
                       {"jump", "Jump", &Bleepforge::JumpParams},
                       {"blip", "Blip", &Bleepforge::BlitParams},
                       {"slash", "Slash", &Bleepforge::SlashParams}};
// Every factory sound comes from this seed, so the build always makes the same ones.
const unsigned kPresetSeed = 1;

// A decimal Turtle reads back as the same single-precision value.
std::string decimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(static_cast<float>(value)));
    std::string s = text;
    if (s.find('e') != std::string::npos)
    {
        std::snprintf(text, sizeof text, "%.15f", static_cast<double>(static_cast<float>(value)));
        s = text;
        while (s.back() == '0')
            s.pop_back();
    }
    if (s.find('.') == std::string::npos)
        s += ".0";
    else if (s.back() == '.')
        s += "0";
    return s;
}

// "Output Gain" -> output_gain, "Mutation %" -> mutation.
std::string symbolOf(const char* name)
{
    std::string symbol;
    for (const char* c = name; *c; ++c)
    {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            symbol += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        else if (!symbol.empty() && symbol.back() != '_')
            symbol += '_';
    }
    while (!symbol.empty() && symbol.back() == '_')
        symbol.pop_back();
    return symbol;
}

// Hosts store port values under these: spelled plainly, whatever the table's names.
std::string portSymbol(int index)
{
    return symbolOf(ParamPlainName(static_cast<EParams>(index)));
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
        out += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

const char* unitOf(const std::string& label)
{
    static const std::pair<const char*, const char*> units[] = {
        {"dB", "units:db"},  {"s", "units:s"},     {"Hz", "units:hz"},
        {"st", "units:semitone12TET"}, {"cts", "units:cent"}, {"oct", "units:oct"}};
    for (const auto& [label_, unit] : units)
    {
        if (label == label_)
            return unit;
    }
    return nullptr;
}

void describeControl(std::ostream& out, int index, const IParam& param)
{
    const ParamProperties& row = paramProperties[index];
    out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol \"" << portSymbol(index) << "\" ;\n"
        << "        lv2:name " << quoted(row.name) << " ;\n"
        << "        rdfs:comment " << quoted(row.tooltip) << " ;\n"
        << "        lv2:default " << decimal(param.GetDefault()) << " ;\n"
        << "        lv2:minimum " << decimal(param.GetMin()) << " ;\n"
        << "        lv2:maximum " << decimal(param.GetMax());
    if (param.Type() == IParam::kTypeInt || param.Type() == IParam::kTypeEnum)
        out << " ;\n        lv2:portProperty lv2:integer";
    if (param.Type() == IParam::kTypeEnum)
        out << " , lv2:enumeration";
    // A curve that spreads out the low end, on a range that stays above zero.
    if (ParamShape(static_cast<EParams>(index)) > 1.0 && param.GetMin() > 0.0)
        out << " ;\n        lv2:portProperty pprop:logarithmic";
    if (const char* unit = unitOf(row.label))
        out << " ;\n        units:unit " << unit;
    for (int t = 0; t < param.GetNDisplayTexts(); ++t)
    {
        int value = 0;
        const char* text = param.GetDisplayTextAtIdx(t, &value);
        out << " ;\n        lv2:scalePoint [ rdfs:label " << quoted(text) << " ; rdf:value "
            << decimal(value) << " ]";
    }
    out << "\n    ]";
}

// An output port of the type; more holds its further properties, each line ending " ;\n".
void describeOutput(std::ostream& out, int index, const char* type, const char* symbol,
                    const char* name, const char* more)
{
    out << " ,\n    [\n        a lv2:OutputPort , " << type << " ;\n"
        << more << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol \"" << symbol << "\" ;\n        lv2:name \"" << name << "\"\n    ]";
}

void describeOtherPorts(std::ostream& out)
{
    out << " ,\n    [\n        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n        atom:supports midi:MidiEvent ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << kLV2MidiIn << " ;\n"
        << "        lv2:symbol \"midi_in\" ;\n        lv2:name \"MIDI In\"\n    ]";
    describeOutput(out, kLV2OutLeft, "lv2:AudioPort", "out_left", "Left", "");
    describeOutput(out, kLV2OutRight, "lv2:AudioPort", "out_right", "Right", "");
    const char* const meter = "        lv2:default 0.0 ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n"
                              "        lv2:portProperty pprop:notOnGUI ;\n";
    describeOutput(out, kLV2MeterLeft, "lv2:ControlPort", "meter_left", "Meter Left", meter);
    describeOutput(out, kLV2MeterRight, "lv2:ControlPort", "meter_right", "Meter Right", meter);
}

std::string describePlugin(Bleepforge& plug)
{
    std::ostringstream out;
    out << kPrefixes << "<" BLEEPFORGE_LV2_URI ">\n"
        << "    a lv2:InstrumentPlugin , doap:Project ;\n"
        << "    doap:name \"Bleepforge\" ;\n"
        << "    doap:shortdesc \"Short retro-game sound effects\" ;\n"
        << "    rdfs:comment \"Keys play in the instrument's own tuning, which stored sounds "
           "depend on: MIDI note 69 sounds at about 414.9 Hz, not 440 Hz, and semitone steps "
           "are slightly uneven.\" ;\n"
        << "    doap:maintainer [ foaf:name \"Vantrell\" ] ;\n"
        << "    lv2:minorVersion 0 ;\n    lv2:microVersion 0 ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , bufsz:boundedBlockLength , opts:options ;\n"
        << "    opts:supportedOption bufsz:maxBlockLength ;\n"
        << "    lv2:extensionData state:interface ;\n"
        << "    ui:ui <" BLEEPFORGE_LV2_UI_URI "> ;\n"
        << "    lv2:port\n";
    for (int i = 0; i < kNumParams; ++i)
    {
        if (i)
            out << " ,\n";
        describeControl(out, i, *plug.GetParam(i));
    }
    describeOtherPorts(out);
    out << " .\n\n<" BLEEPFORGE_LV2_STATE_URI ">\n    a rdf:Property ;\n"
        << "    rdfs:label \"Bleepforge sound\" ;\n"
        << "    rdfs:comment \"The version word and the 60 parameter values, as doubles.\" .\n";
    return out.str();
}

std::string base64Of(const ByteChunk& chunk)
{
    std::string text(static_cast<size_t>(base64EncodedLength(chunk.Size())) + 1, '\0');
    base64encode(chunk.GetBytes(), &text[0], chunk.Size());
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string describePresets()
{
    std::ostringstream out;
    out << kPrefixes;
    for (const Kind& kind : kKinds)
    {
        Bleepforge plug{IPluginInstanceInfo()};
        plug.SeedRandom(kPresetSeed);
        (plug.*kind.generate)();
        ByteChunk state;
        plug.SerializeState(&state);
        out << "<" BLEEPFORGE_LV2_URI "#preset-" << kind.symbol << ">\n"
            << "    a pset:Preset ;\n    lv2:appliesTo <" BLEEPFORGE_LV2_URI "> ;\n"
            << "    rdfs:label \"" << kind.label << "\" ;\n    lv2:port";
        for (int i = 0; i < kNumParams; ++i)
            out << (i ? " , " : " ") << "[ lv2:symbol \"" << portSymbol(i)
                << "\" ; pset:value " << decimal(plug.GetParam(i)->Value()) << " ]";
        out << " ;\n    state:state [ <" BLEEPFORGE_LV2_STATE_URI "> \"" << base64Of(state)
            << "\"^^xsd:base64Binary ] .\n\n";
    }
    return out.str();
}

std::string describeManifest(const std::string& dsp, const std::string& ui)
{
    std::ostringstream out;
    out << kPrefixes << "<" BLEEPFORGE_LV2_URI ">\n    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
        << "    lv2:binary <" << dsp << "> ;\n    rdfs:seeAlso <bleepforge.ttl> .\n\n"
        << "<" BLEEPFORGE_LV2_UI_URI ">\n    a ui:X11UI ;\n    ui:binary <" << ui << "> ;\n"
        << "    lv2:requiredFeature ui:idleInterface , urid:map ;\n"
        << "    lv2:optionalFeature ui:parent , ui:resize , ui:touch ;\n"
        << "    lv2:extensionData ui:idleInterface ;\n";
    const char* const meters[] = {"meter_left", "meter_right"};
    for (const char* meter : meters)
        out << "    ui:portNotification [ ui:plugin <" BLEEPFORGE_LV2_URI "> ; lv2:symbol \"" << meter
            << "\" ; ui:protocol ui:floatProtocol ] ;\n";
    out << "    rdfs:seeAlso <bleepforge.ttl> .\n";
    for (const Kind& kind : kKinds)
        out << "\n<" BLEEPFORGE_LV2_URI "#preset-" << kind.symbol << ">\n    a pset:Preset ;\n"
            << "    lv2:appliesTo <" BLEEPFORGE_LV2_URI "> ;\n    rdfs:seeAlso <presets.ttl> .\n";
    return out.str();
}

bool write(const std::string& path, const std::string& text)
{
    std::ofstream file(path + ".tmp", std::ios::binary);
    file << text;
    file.close();
    return file && std::rename((path + ".tmp").c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: %s BUNDLE-FOLDER DSP-BINARY UI-BINARY\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    Bleepforge plug{IPluginInstanceInfo()};
    if (!write(folder + "/manifest.ttl", describeManifest(argv[2], argv[3])) ||
        !write(folder + "/bleepforge.ttl", describePlugin(plug)) ||
        !write(folder + "/presets.ttl", describePresets()))
    {
        std::fprintf(stderr, "%s: cannot write the description into %s\n", argv[0], folder.c_str());
        return 1;
    }
    return 0;
}
