#pragma once

// How the command-line tools parse their command line and end alike: what
// goes wrong is said on stderr after the tool's name, with the exit status
// every tool gives (2 for a usage error, 1 for any other failure,
// InterruptedStatus() after Ctrl+C). Header only: CLI11 stays in each
// program's one translation unit that parses its command line.
#include "Interrupt.h"
#include "KIT_UsageError.h"

#include "KIT_Printable.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <functional>
#include <iostream>
#include <string>

struct ToolWords
{
    std::string name;        // as the tool is called
    std::string interrupted; // what it says when Ctrl+C stops it
    std::string parseHint;   // after a command-line error, or ""
};

// The message may quote names and texts from outside: its control characters
// are escaped, so that it stays one line and never works the terminal.
inline int ToolFailed(const ToolWords& words, const std::string& message, int status)
{
    std::cerr << words.name << ": " << KIT_Printable(message) << std::endl;
    return status;
}

// Parses the command line into app, then runs the tool's work and returns
// its exit status.
inline int RunTool(CLI::App& app, int argc, char** argv, const ToolWords& words, const std::function<int()>& work)
{
    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::ParseError& e)
    {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        return ToolFailed(words, e.what() + words.parseHint, 2);
    }
    CatchInterrupts();
    try
    {
        return work();
    }
    catch (const std::exception& e)
    {
        // A wait that a signal cut short fails as the interruption it is.
        if (InterruptRequested())
            return ToolFailed(words, words.interrupted, InterruptedStatus());
        return ToolFailed(words, e.what(), dynamic_cast<const UsageError*>(&e) ? 2 : 1);
    }
}
