// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sha256.h"

#include <new>
#include <openssl/evp.h>

namespace parcelo {

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    if (!context_)
        throw std::bad_alloc();
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(context_);
}

void Sha256::add(std::string_view bytes) {
    // The library fails only when it cannot allocate: that is the caller's bad_alloc too.
    if (!started_ && EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
    started_ = true;
    if (!bytes.empty() && EVP_DigestUpdate(context_, bytes.data(), bytes.size()) != 1)
        throw std::bad_alloc();
}

Sha256Digest Sha256::finish() {
    add({});
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_, digest.data(), &length) != 1 || length != digest.size())
        throw std::bad_alloc();
    started_ = false;
    return digest;
}

Sha256Digest Sha256::of(std::string_view bytes) {
    Sha256 hash;
    hash.add(bytes);
    return hash.finish();
}

} // namespace parcelo
