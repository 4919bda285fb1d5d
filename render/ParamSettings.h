#pragma once

// Parameters by name, as a person sets them ("NAME=VALUE"): read by one set
// of rules wherever they are given (--set, recipes, the C library).
#include "KIT_UsageError.h"

#include <string>
#include <utility>
#include <vector>

// A parameter as a backend shows it, what reading "NAME=VALUE" needs.
struct ParamInfo
{
    std::string name;                            // as shown
    std::string symbol;                          // another name it answers to, or ""
    double minimum = 0.0, maximum = 1.0;
    bool whole = false;                          // a whole number or a list entry
    bool single = false;                         // the backend carries values in single precision
    std::vector<std::pair<double, std::string>> texts; // list entries by their text
};

class IParam;
// A parameter of the framework's, as a session reads settings for it.
ParamInfo ParamInfoOf(const IParam& param);

struct ResolvedSetting
{
    int index;
    double value; // in the parameter's units
};

// "NAME=VALUE": a parameter by its name (the white noise's "Whiite" slip
// may be spelled plainly) or symbol, a list entry by its text in any case, or
// a finite number in range, whole where the parameter is. Throws UsageError
// saying what was expected.
ResolvedSetting ResolveSetting(const std::vector<ParamInfo>& params, const std::string& assignment);
// The index of the parameter a name (or symbol) names; throws UsageError
// with the names nearest to it.
int ParamByName(const std::vector<ParamInfo>& params, const std::string& name);
