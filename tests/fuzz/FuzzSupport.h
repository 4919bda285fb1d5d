#pragma once

#include "Bleepforge.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

// Loaders that take a path get the input through one file per process.
inline const std::string& fuzzFilePath()
{
    static const std::string path = "/tmp/bleepforge-fuzz-" + std::to_string(getpid());
    return path;
}

inline const char* writeFuzzFile(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(fuzzFilePath().c_str(), "wb");
    if (!file)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
    return fuzzFilePath().c_str();
}

inline std::vector<double> paramValues(Bleepforge& plug)
{
    std::vector<double> values;
    for (int i = 0; i < plug.NParams(); ++i)
        values.push_back(plug.GetParam(i)->Value());
    return values;
}

// A refused input must leave every parameter as it was, and none may ever be
// outside its range or non-finite.
inline void checkParams(Bleepforge& plug, bool accepted, const std::vector<double>& before)
{
    const std::vector<double> after = paramValues(plug);
    if (!accepted && after != before)
        std::abort();
    for (int i = 0; i < plug.NParams(); ++i)
    {
        const IParam* p = plug.GetParam(i);
        if (!(after[i] >= p->GetMin() && after[i] <= p->GetMax()))
            std::abort();
    }
}
