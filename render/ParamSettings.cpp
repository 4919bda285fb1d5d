#include "ParamSettings.h"

#include "IParam.h"
#include "KIT_Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{

// The table keeps the white noise's "Whiite" slip, which the editor shows and
// stored sessions hold; users type it plainly.
std::string plainSpelling(const std::string& name)
{
    const std::string slip = "Whiite ";
    return name.compare(0, slip.size(), slip) == 0 ? "White " + name.substr(slip.size()) : name;
}

bool answersTo(const ParamInfo& param, const std::string& name)
{
    return name == param.name || name == plainSpelling(param.name) ||
           (!param.symbol.empty() && name == param.symbol);
}

size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
    {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j)
        {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string nearMatches(const std::vector<ParamInfo>& params, const std::string& name)
{
    const std::string wanted = Lower(Trim(name));
    std::vector<std::pair<size_t, std::string>> ranked;
    for (const ParamInfo& param : params)
    {
        const std::string candidate = Lower(plainSpelling(param.name));
        const size_t distance = candidate.find(wanted) != std::string::npos && !wanted.empty()
                                    ? 0
                                    : editDistance(wanted, candidate);
        if (distance <= std::max<size_t>(3, wanted.size() / 3))
            ranked.push_back({distance, plainSpelling(param.name)});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    if (ranked.empty())
        return " ('bleepforge params', 'auhost info' and 'lv2host info' list them)";
    std::string list = "; did you mean ";
    for (size_t i = 0; i < ranked.size() && i < 5; ++i)
        list += (i ? ", \"" : "\"") + ranked[i].second + "\"";
    return list + "?";
}

// The value as the backend will hold it.
double carried(const ParamInfo& param, double value)
{
    return param.single ? static_cast<double>(static_cast<float>(value)) : value;
}

bool inRange(const ParamInfo& param, double value)
{
    const double held = carried(param, value);
    return held >= carried(param, param.minimum) && held <= carried(param, param.maximum);
}

// The shortest text that reads back as the bound the backend holds, so that
// the range a refusal names is accepted as it is written.
std::string boundText(const ParamInfo& param, double bound)
{
    char text[400];
    for (int decimals = 0; decimals <= 17; ++decimals)
    {
        std::snprintf(text, sizeof text, "%.*f", decimals, bound);
        if (carried(param, std::strtod(text, nullptr)) == carried(param, bound))
            return text;
    }
    std::snprintf(text, sizeof text, "%.17g", bound);
    return text;
}

void refuseOutOfRange(const ParamInfo& param, const std::string& name, double value)
{
    if (inRange(param, value) && (!param.whole || value == std::floor(value)))
        return;
    throw UsageError("--set \"" + name + "\": expected " + (param.whole ? "a whole number " : "") +
                     boundText(param, param.minimum) + " ... " + boundText(param, param.maximum));
}

double valueOf(const ParamInfo& param, const std::string& name, const std::string& text)
{
    for (const auto& [value, label] : param.texts)
    {
        if (Lower(label) == Lower(Trim(text)))
            return value;
    }
    double value = 0.0;
    if (ParseNumber(text, &value))
        return value;
    if (param.texts.empty())
        throw UsageError("--set \"" + name + "\": '" + Trim(text) + "' is not a number");
    std::string choices;
    for (size_t i = 0; i < param.texts.size(); ++i)
        choices += (i ? ", " : "") + param.texts[i].second;
    throw UsageError("--set \"" + name + "\": '" + Trim(text) + "' is none of " + choices + " (nor a number)");
}

} // namespace

ParamInfo ParamInfoOf(const IParam& param)
{
    ParamInfo info;
    info.name = param.GetNameForHost();
    info.minimum = param.GetMin();
    info.maximum = param.GetMax();
    info.whole = param.Type() != IParam::kTypeDouble;
    for (int t = 0; t < param.GetNDisplayTexts(); ++t)
    {
        int value = 0;
        const char* text = param.GetDisplayTextAtIdx(t, &value);
        info.texts.emplace_back(value, text);
    }
    return info;
}

ResolvedSetting ResolveSetting(const std::vector<ParamInfo>& params, const std::string& assignment)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set '" + assignment + "': expected \"NAME=VALUE\"");
    const std::string name = Trim(assignment.substr(0, equals));
    const int index = ParamByName(params, name);
    const ParamInfo& param = params[static_cast<size_t>(index)];
    const double value = valueOf(param, name, assignment.substr(equals + 1));
    refuseOutOfRange(param, name, value);
    return {index, value};
}

int ParamByName(const std::vector<ParamInfo>& params, const std::string& name)
{
    const auto param = std::find_if(params.begin(), params.end(),
                                    [&name](const ParamInfo& p) { return answersTo(p, name); });
    if (param == params.end())
        throw UsageError("--set: unknown parameter \"" + name + "\"" + nearMatches(params, name));
    return static_cast<int>(param - params.begin());
}
