#include "core/cipher.h"
#include "core/sha256.h"

#include <benchmark/benchmark.h>

#include <vector>

static void BM_Sha256(benchmark::State& state) {
    const std::vector<uint8_t> input(size_t(state.range(0)), 0x5a);
    uint8_t digest[32];
    for (auto _ : state) {
        Sha256 sha;
        sha.init();
        sha.update(input.data(), input.size());
        sha.final(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Sha256)->Arg(64)->Arg(16 * 1024);

static void BM_CipherBlock(benchmark::State& state) {
    const Cipher cipher("Marcipanfuj");
    const bool encrypt = state.range(0) != 0;
    uint8_t block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (auto _ : state) {
        if (encrypt)
            cipher.encryptBlock(block);
        else
            cipher.decryptBlock(block);
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 16);
    state.SetLabel(encrypt ? "encrypt" : "decrypt");
}
BENCHMARK(BM_CipherBlock)->Arg(1)->Arg(0);
