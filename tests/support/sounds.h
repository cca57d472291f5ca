#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace test
{
// The fields of a WAV file as written; the defaults make a valid 16-bit mono file.
struct WavFields
{
    std::string riff = "RIFF";
    std::string wave = "WAVE";
    // Written in full before "fmt " when not empty (id, size and body).
    std::string chunkBefore;
    std::string formatId = "fmt ";
    uint32_t formatChunkSize = 16;
    uint16_t audioFormat = 1;
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    std::string dataId = "data";
    std::string pcm;
    // The size the "data" chunk claims; negative for the size of pcm.
    int64_t dataSizeClaim = -1;
};

std::string wavFile(const WavFields& fields);

// 16-bit little-endian mono PCM of a sine tone at the given amplitude (0 to 1).
std::string sinePcm16(unsigned rate, double seconds, double frequency, double amplitude);
// The same tone as 16-bit samples, for several channels interleaved.
std::string sinePcm16Channels(unsigned rate, unsigned channels, double seconds, double frequency,
                              double amplitude);

// Encodes PCM as Ogg Vorbis into oggPath with the installed oggenc; false when that fails.
bool writeOgg(const std::string& oggPath, const std::string& pcm16, unsigned rate, unsigned channels);

// 16-bit samples of a WAV file's "data" chunk, with its rate and channel count; empty when
// the file is not a 16-bit PCM WAV.
std::vector<int16_t> readWavSamples(const std::string& path, unsigned& rate, unsigned& channels);
} // namespace test
