#pragma once

#include <string>
#include <vector>

// What the app reads from a JACK server's list of audio ports, apart from the
// server: where its outputs can go, numbered as --list-devices shows them.

// An audio port as the server lists it.
struct JackPort
{
    std::string name; // "client:port"
    bool input = false;
    bool physical = false;
};

// A client that takes audio. Every client with audio ports has a number, in
// the server's order, so that the numbers stay those the app has always shown.
struct AudioDestination
{
    int number = 0;
    std::string client;
    bool isDefault = false; // it holds the first physical playback port
};

std::vector<AudioDestination> AudioDestinations(const std::vector<JackPort>& ports);
// The input ports the app's outputs go to, in order: destination number's,
// or for -1 the physical playback ports. Empty: there is no such destination.
std::vector<std::string> PlaybackPorts(const std::vector<JackPort>& ports, int number);
