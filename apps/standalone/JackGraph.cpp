#include "JackGraph.h"

#include <algorithm>

namespace
{

std::string clientOf(const std::string& port)
{
    return port.substr(0, port.find(':'));
}

// Each client once, in the order of its first port.
std::vector<std::string> numberedClients(const std::vector<JackPort>& ports)
{
    std::vector<std::string> clients;
    for (const JackPort& port : ports)
    {
        const std::string client = clientOf(port.name);
        if (std::find(clients.begin(), clients.end(), client) == clients.end())
            clients.push_back(client);
    }
    return clients;
}

std::vector<std::string> inputsOf(const std::vector<JackPort>& ports, const std::string& client)
{
    std::vector<std::string> inputs;
    for (const JackPort& port : ports)
        if (port.input && clientOf(port.name) == client)
            inputs.push_back(port.name);
    return inputs;
}

std::vector<std::string> physicalInputs(const std::vector<JackPort>& ports)
{
    std::vector<std::string> inputs;
    for (const JackPort& port : ports)
        if (port.input && port.physical)
            inputs.push_back(port.name);
    return inputs;
}

} // namespace

std::vector<AudioDestination> AudioDestinations(const std::vector<JackPort>& ports)
{
    const std::vector<std::string> clients = numberedClients(ports);
    const std::vector<std::string> physical = physicalInputs(ports);
    const std::string defaultClient = physical.empty() ? std::string() : clientOf(physical.front());
    std::vector<AudioDestination> destinations;
    for (size_t n = 0; n < clients.size(); ++n)
    {
        if (!inputsOf(ports, clients[n]).empty())
            destinations.push_back({static_cast<int>(n), clients[n],
                                    !physical.empty() && clients[n] == defaultClient});
    }
    return destinations;
}

std::vector<std::string> PlaybackPorts(const std::vector<JackPort>& ports, int number)
{
    if (number < 0)
        return physicalInputs(ports);
    const std::vector<std::string> clients = numberedClients(ports);
    if (static_cast<size_t>(number) >= clients.size())
        return {};
    return inputsOf(ports, clients[static_cast<size_t>(number)]);
}
