// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeHeader.h"
#include "mime/MimeMediaType.h"

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parcelo {

// A header with content and nested parts. The content is the decoded body (for a multipart
// body, the decoded preamble), decoded by the transfer codec of the body's
// "Content-Transfer-Encoding". A loaded body keeps its source bytes: Store writes them as they
// came while the content and its encoding stay unchanged, so nothing is decoded and encoded again
// on its way through; the content is decoded only when it is asked for.
class CMimeBody : public CMimeHeader {
public:
    using CMimeHeader::Load;
    using CMimeHeader::Store;

    ~CMimeBody() override;

    MimeMediaType GetMediaType() const;
    std::string GetCharset() const { return GetParameter("Content-Type", "charset"); }
    std::string GetName() const { return GetParameter("Content-Type", "name"); }
    std::string GetBoundary() const { return GetParameter("Content-Type", "boundary"); }
    void SetCharset(const QString& charset);
    void SetName(const QString& name);
    // Without a boundary one is made up.
    void SetBoundary(const std::optional<std::string>& boundary = std::nullopt);
    void SetTransferEncoding(const QString& encoding);

    const std::string& GetContent() const;
    std::size_t GetText(std::string& text) const;
    std::ptrdiff_t SetText(const QString& text);

    const std::vector<std::unique_ptr<CMimeBody>>& Parts() const { return m_parts; }
    CMimeBody* AddPart(std::string_view mainType = {}, const CMimeBody* before = nullptr);
    void RemovePart(CMimeBody* part);
    void RemoveAllParts();
    // Appends the non-multipart bodies of this tree, in order; returns how many.
    int CollectLeafParts(std::vector<CMimeBody*>& list);
    int CollectLeafParts(std::vector<const CMimeBody*>& list) const;

    void Clear() override;
    std::size_t GetLength() const override;
    std::ptrdiff_t Store(std::string& out) const override;
    std::ptrdiff_t Load(const char* data, std::size_t size) override;
    // 0 on success, -2 when the file cannot be opened, -1 when reading fails.
    virtual int LoadFromFile(const QString& path);

    // The encoding the content is decoded and encoded with: the "Content-Transfer-Encoding"
    // value, except that a body with a multipart Content-Type keeps its bytes as they are
    // (RFC 2045 allows no other encoding there, and decoding would destroy the parts).
    std::string GetContentCoding() const;

private:
    std::ptrdiff_t LoadAtDepth(const char* data, std::size_t size, int depth);

    std::ptrdiff_t StoreContent(std::string& out) const;

    mutable std::string m_content;
    mutable bool m_contentPending = false; // m_source is not decoded into m_content yet
    bool m_hasSource = false;
    std::string m_source;       // the body bytes as loaded
    std::string m_sourceCoding; // the transfer encoding they were loaded with
    std::vector<std::unique_ptr<CMimeBody>> m_parts;
};

// A new part for a main media type ("text" when empty).
std::unique_ptr<CMimeBody> CreateBodyPart(std::string_view mainType);

} // namespace parcelo
