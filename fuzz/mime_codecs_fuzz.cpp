// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every codec over arbitrary bytes. Transfer codecs must decode what they encoded; field
// codecs must stay within their estimates and never put a bare line break into a header.
#include "mime/CMimeCodeBase64.h"
#include "mime/CMimeCodeQP.h"
#include "mime/CMimeEncodedWord.h"
#include "mime/MimeCoderRegistry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void RoundTrip(parcelo::CMimeCodeBase& encoder, parcelo::CMimeCodeBase& decoder,
               const std::string& input) {
    encoder.SetInput(input, true);
    std::string encoded;
    encoder.Encode(encoded);
    Check(encoded.size() <= encoder.EncodedLength());
    decoder.SetInput(encoded, false);
    std::string decoded;
    decoder.Decode(decoded);
    Check(decoded.size() <= decoder.DecodedLength());
    Check(decoded == input);
}

bool HasBareLineBreak(const std::string& v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\r' && v[i] != '\n')
            continue;
        if (v[i] == '\n' && i == 0)
            return true;
        const std::size_t cr = v[i] == '\r' ? i : i - 1;
        const bool fold = cr + 2 < v.size() && v[cr] == '\r' && v[cr + 1] == '\n' &&
                          (v[cr + 2] == ' ' || v[cr + 2] == '\t');
        if (!fold)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks a field name and a charset; the rest is the input.
    static const char* const kNames[] = {"Subject", "From", "Content-Type", "X-Other"};
    static const char* const kCharsets[] = {"utf-8", "iso-8859-1",  "gb2312",
                                            "x",     "iso-2022-jp", ""};
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const char* name = kNames[data[0] & 3];
    const char* charset = kCharsets[(data[0] >> 2) % 6];

    parcelo::CMimeCodeQP qpEncoder, qpDecoder;
    RoundTrip(qpEncoder, qpDecoder, input);
    parcelo::CMimeCodeBase64 b64Encoder(true), b64Decoder(true);
    RoundTrip(b64Encoder, b64Decoder, input);
    parcelo::CMimeCodeBase64 flatEncoder(false), flatDecoder(false);
    RoundTrip(flatEncoder, flatDecoder, input);

    for (char letter : {'B', 'Q'}) {
        parcelo::CMimeEncodedWord word;
        word.SetCharset(charset);
        word.SetEncoding(letter);
        word.SetInput(input, true);
        std::string encoded;
        word.Encode(encoded);
        Check(encoded.size() <= word.EncodedLength());
    }

    auto decoder = parcelo::CreateFieldCoder(name);
    decoder->SetInput(input, false);
    std::string value;
    decoder->Decode(value);
    auto encoder = parcelo::CreateFieldCoder(name);
    encoder->SetCharset(decoder->GetCharset().empty() ? charset : decoder->GetCharset());
    encoder->SetInput(value, true);
    std::string stored;
    encoder->Encode(stored);
    Check(stored.size() <= encoder->EncodedLength());
    if (!encoder->GetCharset().empty() && !HasBareLineBreak(input))
        Check(!HasBareLineBreak(stored));
    return 0;
}
