// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the content codecs on 1 MiB of mixed text and of binary data.
#include "mime/CMimeCodeBase64.h"
#include "mime/CMimeCodeQP.h"

#include <benchmark/benchmark.h>
#include <random>
#include <string>

namespace {

constexpr std::size_t kSize = 1 << 20;

std::string TextInput() {
    std::string text;
    const std::string line =
        "The quick brown fox jumps over the lazy dog, caf\xC3\xA9 = 3 \xE2\x82\xAC.\r\n";
    while (text.size() < kSize)
        text += line;
    text.resize(kSize);
    return text;
}

std::string BinaryInput() {
    std::mt19937 random(7);
    std::string bytes(kSize, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

template <typename Coder>
void Encode(benchmark::State& state, Coder coder, const std::string& input) {
    for (auto _ : state) {
        coder.SetInput(input, true);
        std::string out;
        coder.Encode(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

template <typename Coder>
void Decode(benchmark::State& state, Coder coder, const std::string& input) {
    Coder encoder = coder;
    encoder.SetInput(input, true);
    std::string encoded;
    encoder.Encode(encoded);
    for (auto _ : state) {
        coder.SetInput(encoded, false);
        std::string out;
        coder.Decode(out);
        benchmark::DoNotOptimize(out.data());
    }
    // Throughput is counted in decoded bytes, as for encoding.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void Base64Encode(benchmark::State& state) {
    Encode(state, parcelo::CMimeCodeBase64(true), BinaryInput());
}
void Base64Decode(benchmark::State& state) {
    Decode(state, parcelo::CMimeCodeBase64(true), BinaryInput());
}
void QpEncodeText(benchmark::State& state) {
    Encode(state, parcelo::CMimeCodeQP(), TextInput());
}
void QpDecodeText(benchmark::State& state) {
    Decode(state, parcelo::CMimeCodeQP(), TextInput());
}
void QpEncodeBinary(benchmark::State& state) {
    Encode(state, parcelo::CMimeCodeQP(), BinaryInput());
}
void QpDecodeBinary(benchmark::State& state) {
    Decode(state, parcelo::CMimeCodeQP(), BinaryInput());
}

} // namespace

BENCHMARK(Base64Encode);
BENCHMARK(Base64Decode);
BENCHMARK(QpEncodeText);
BENCHMARK(QpDecodeText);
BENCHMARK(QpEncodeBinary);
BENCHMARK(QpDecodeBinary);
