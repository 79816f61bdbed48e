// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace parcelo {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 through the system's crypto library, which uses the processor's SHA instructions
// where it has them: message sources are hashed whole, several times faster than by Qt's own.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(std::string_view bytes);
    // The digest of what was added since the last one; the next bytes start a new digest.
    Sha256Digest finish();

    static Sha256Digest of(std::string_view bytes);

private:
    EVP_MD_CTX* context_;
    bool started_ = false;
};

} // namespace parcelo
