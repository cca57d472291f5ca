#include "support/sounds.h"
#include "support/tempdir.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace test
{
namespace
{
void put16(std::string& to, uint16_t value)
{
    to += (char)(value & 0xFF);
    to += (char)(value >> 8);
}

void put32(std::string& to, uint32_t value)
{
    put16(to, (uint16_t)(value & 0xFFFF));
    put16(to, (uint16_t)(value >> 16));
}

uint32_t get32(const std::string& from, size_t at)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(from.data()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
}

uint16_t get16(const std::string& from, size_t at)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(from.data()) + at;
    return (uint16_t)(p[0] | (p[1] << 8));
}
} // namespace

std::string wavFile(const WavFields& fields)
{
    std::string body = fields.wave + fields.chunkBefore + fields.formatId;
    put32(body, fields.formatChunkSize);
    std::string format;
    put16(format, fields.audioFormat);
    put16(format, fields.channels);
    put32(format, fields.rate);
    put32(format, fields.rate * fields.channels * fields.bits / 8);
    put16(format, (uint16_t)(fields.channels * fields.bits / 8));
    put16(format, fields.bits);
    format.resize(fields.formatChunkSize, '\0');
    body += format;
    body += fields.dataId;
    put32(body, fields.dataSizeClaim < 0 ? (uint32_t)fields.pcm.size() : (uint32_t)fields.dataSizeClaim);
    body += fields.pcm;
    std::string file = fields.riff;
    put32(file, (uint32_t)body.size());
    return file + body;
}

std::string sinePcm16Channels(unsigned rate, unsigned channels, double seconds, double frequency,
                              double amplitude)
{
    std::string pcm;
    const unsigned count = (unsigned)(rate * seconds);
    for (unsigned i = 0; i < count; ++i)
    {
        int16_t value =
            (int16_t)std::lround(32767.0 * amplitude * std::sin(2.0 * M_PI * frequency * i / rate));
        for (unsigned c = 0; c < channels; ++c)
            put16(pcm, (uint16_t)value);
    }
    return pcm;
}

std::string sinePcm16(unsigned rate, double seconds, double frequency, double amplitude)
{
    return sinePcm16Channels(rate, 1, seconds, frequency, amplitude);
}

bool writeOgg(const std::string& oggPath, const std::string& pcm16, unsigned rate, unsigned channels)
{
    WavFields fields;
    fields.rate = rate;
    fields.channels = (uint16_t)channels;
    fields.pcm = pcm16;
    const std::string wavPath = oggPath + ".source.wav";
    writeFile(wavPath, wavFile(fields));
    const std::string command = "oggenc -Q -o '" + oggPath + "' '" + wavPath + "'";
    bool ok = std::system(command.c_str()) == 0;
    std::remove(wavPath.c_str());
    return ok;
}

std::vector<int16_t> readWavSamples(const std::string& path, unsigned& rate, unsigned& channels)
{
    std::vector<int16_t> samples;
    const std::string file = readFile(path);
    if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0)
        return samples;
    unsigned bits = 0;
    for (size_t at = 12; at + 8 <= file.size();)
    {
        const std::string id = file.substr(at, 4);
        uint32_t size = get32(file, at + 4);
        at += 8;
        if (id == "fmt " && at + 16 <= file.size())
        {
            channels = get16(file, at + 2);
            rate = get32(file, at + 4);
            bits = get16(file, at + 14);
        }
        else if (id == "data" && bits == 16)
        {
            // A writer killed early leaves the size unset: take what is there.
            size_t end = (size == 0 || at + size > file.size()) ? file.size() : at + size;
            for (size_t i = at; i + 2 <= end; i += 2)
                samples.push_back((int16_t)get16(file, i));
            return samples;
        }
        at += size + (size & 1);
    }
    return samples;
}
} // namespace test
