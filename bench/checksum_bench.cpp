// Checksum throughput over a 1 MB buffer: our CRC32 against zlib's crc32(), and our MD5
// against OpenSSL's when the build found libcrypto.
#include "toolkit/crc32.h"
#include "toolkit/md5.h"

#include <benchmark/benchmark.h>
#include <zlib.h>
#ifdef HAVE_LIBCRYPTO
#include <openssl/evp.h>
#endif

#include <vector>

namespace
{
const unsigned BUFFER_SIZE = 1 << 20;

const std::vector<unsigned char>& buffer()
{
    static std::vector<unsigned char> bytes = []
    {
        std::vector<unsigned char> data(BUFFER_SIZE);
        unsigned value = 1;
        for (auto& byte : data)
        {
            value = value * 1664525u + 1013904223u;
            byte = static_cast<unsigned char>(value >> 24);
        }
        return data;
    }();
    return bytes;
}

void finish(benchmark::State& state)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * BUFFER_SIZE);
}

void BM_CRC32(benchmark::State& state)
{
    const auto& data = buffer();
    brix::CRC32 crc;
    for (auto _ : state)
    {
        crc.reset();
        crc.addRaw(data.data(), BUFFER_SIZE);
        benchmark::DoNotOptimize(crc.getChecksumInteger());
    }
    finish(state);
}
BENCHMARK(BM_CRC32);

void BM_ZlibCRC32(benchmark::State& state)
{
    const auto& data = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(0L, data.data(), BUFFER_SIZE));
    finish(state);
}
BENCHMARK(BM_ZlibCRC32);

void BM_MD5(benchmark::State& state)
{
    const auto& data = buffer();
    brix::MD5 md5;
    for (auto _ : state)
    {
        md5.reset();
        md5.addRaw(data.data(), BUFFER_SIZE);
        md5.finalize();
        benchmark::DoNotOptimize(md5.getChecksumInteger());
    }
    finish(state);
}
BENCHMARK(BM_MD5);

#ifdef HAVE_LIBCRYPTO
void BM_OpenSSLMD5(benchmark::State& state)
{
    const auto& data = buffer();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    for (auto _ : state)
    {
        EVP_Digest(data.data(), BUFFER_SIZE, digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest[0]);
    }
    finish(state);
}
BENCHMARK(BM_OpenSSLMD5);
#endif
} // namespace
