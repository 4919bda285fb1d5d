#pragma once

// The host applications the framework recognises by product name.
enum EHost : int
{
    kHostUnknown = 0,
    kHostReaper,
    kHostProTools,
    kHostCubase,
    kHostNuendo,
    kHostSonar,
    kHostVegas,
    kHostFL,
    kHostSamplitude,
    kHostLive,
    kHostUnused10,
    kHostUnused11,
    kHostMelodyne,
    kHostVSTScanner,
    kHostAULab,
    kHostForte,
    kHostChainer,
    kHostAudition,
    kHostOrion,
    kHostUnused19,
    kHostSAWStudio,
    kHostLogic,
    kHostGarageBand,
    kHostDigitalPerformer,
    kHostStandalone,
    kHostAudioMulch,
    kHostStudioOne,
    kHostVST3TestHost,
    kHostArdour,
    kNumHosts
};

// Names of 256 characters or more are judged by their first 255.
EHost LookUpHost(const char* productName);
// Copies the display name into text, which holds at least 19 bytes.
void GetHostNameStr(EHost host, char* text);
