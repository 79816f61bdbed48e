// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/ReducedMessage.h"

#include "mailtext/EncodedWords.h"
#include "mime/CMimeHeader.h"
#include "mime/MessageBody.h"
#include "mime/MimeCoderRegistry.h"
#include "mime/MimeEntitySpan.h"
#include "mime/MimeString.h"
#include "platform/HexDigitValue.h"

#include <QSet>
#include <algorithm>
#include <utility>
#include <vector>

namespace parcelo {

namespace {

using Range = std::pair<std::size_t, std::size_t>;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string Decoded(std::string_view file, const MimeEntitySpan& entity) {
    std::string out;
    auto coder = CreateTransferCoder(entity.transferEncoding);
    coder->SetInput(entity.body(file), false);
    coder->Decode(out);
    return out;
}

// An attached message's Subject as one line of text.
std::string Subject(std::string_view file, const MimeEntitySpan& message) {
    CMimeHeader inner;
    if (SameTransferCoder(message.transferEncoding, {}))
        inner.Load(message.body(file)); // only its header is read
    else
        inner.Load(Decoded(file, message));
    std::string subject = DecodeHeaderText(inner.GetRawFieldValue("Subject")).utf8;
    std::erase_if(subject, [](char c) { return c == '\r' || c == '\n'; });
    const std::size_t first = subject.find_first_not_of(" \t");
    const std::size_t last = subject.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : subject.substr(first, last + 1 - first);
}

std::string AttachmentName(std::string_view file, const MimeEntitySpan& entity) {
    std::string name = entity.fileName();
    if (name.empty() && entity.type == "message/rfc822") {
        const std::string subject = Subject(file, entity);
        if (!subject.empty())
            name = subject + ".eml";
    }
    return name;
}

void CollectText(std::string_view file, const MimeEntitySpan& entity, std::string& text) {
    if (entity.isMultipart() && !entity.isSealed()) {
        for (const MimeEntitySpan& part : entity.parts)
            CollectText(file, part, text);
    } else if (entity.type.starts_with("text/")) {
        text += Decoded(file, entity);
        text += '\n';
    }
}

// The Content-IDs that "cid:" links in the text name, lower case, URL escapes undone.
QSet<std::string> LinkedIds(const std::string& text) {
    QSet<std::string> ids;
    const std::string lower = Lower(text);
    for (std::size_t at = lower.find("cid:"); at != std::string::npos;
         at = lower.find("cid:", at + 4)) {
        std::string id;
        for (std::size_t i = at + 4; i < lower.size(); ++i) {
            const char c = lower[i];
            if (c == '"' || c == '\'' || c == '<' || c == '>' || c == '(' || c == ')' || c == ' ' ||
                c == '\t' || c == '\r' || c == '\n')
                break;
            const int high = c == '%' && i + 2 < lower.size() ? HexDigitValue(lower[i + 1]) : -1;
            const int low = high >= 0 ? HexDigitValue(lower[i + 2]) : -1;
            if (low >= 0) {
                id += static_cast<char>(high * 16 + low);
                i += 2;
            } else {
                id += c;
            }
        }
        ids.insert(Lower(id));
    }
    return ids;
}

class Reduction {
public:
    Reduction(std::string_view file, const MessageSelection& selection)
        : file_(file), selection_(selection) {}

    // Whether anything of the entity is kept; the ranges of what is not go to cuts.
    bool visit(const MimeEntitySpan& entity, const MessageBody& body, std::vector<Range>& cuts) {
        if (body.holds(entity)) {
            visitBody(entity, cuts);
            return true;
        }
        if (entity.isWhole() || !entity.isMultipart())
            return keepsAttachment(entity);
        // A multipart that keeps none of its parts goes whole: its parent cuts it.
        std::vector<Range> inner;
        bool kept = false;
        for (const MimeEntitySpan& part : entity.parts) {
            if (visit(part, body, inner))
                kept = true;
            else
                inner.emplace_back(part.cutBegin, part.cutEnd);
        }
        if (kept)
            cuts.insert(cuts.end(), inner.begin(), inner.end());
        return kept;
    }

    ReducedMessageCounts counts;

private:
    void visitBody(const MimeEntitySpan& entity, std::vector<Range>& cuts) {
        if (entity.isWhole() || !entity.isMultipart())
            return;
        if (entity.type != "multipart/related") {
            for (const MimeEntitySpan& part : entity.parts)
                visitBody(part, cuts);
            return;
        }
        const MimeEntitySpan* root = &entity.parts.front();
        std::string start = entity.contentType.rawParameter("start");
        if (start.size() >= 2 && start.front() == '<' && start.back() == '>')
            start = start.substr(1, start.size() - 2);
        for (const MimeEntitySpan& part : entity.parts) {
            if (!start.empty() && part.contentId == start)
                root = &part;
        }
        std::string text;
        CollectText(file_, entity, text);
        const QSet<std::string> linked = LinkedIds(text);
        for (const MimeEntitySpan& part : entity.parts) {
            const bool referred =
                (!part.contentId.empty() && linked.contains(Lower(part.contentId))) ||
                (!part.contentLocation.empty() &&
                 text.find(part.contentLocation) != std::string::npos);
            if (&part == root || referred || HoldsBodyText(part))
                visitBody(part, cuts);
            else if (!keepsAttachment(part))
                cuts.emplace_back(part.cutBegin, part.cutEnd);
        }
    }

    bool keepsAttachment(const MimeEntitySpan& entity) {
        bool keep = selection_.attachmentsMode == 2;
        if (selection_.attachmentsMode == 1) {
            const std::string name = AttachmentName(file_, entity);
            keep = !name.empty() && selection_.attachmentNames.contains(QString::fromUtf8(
                                        name.data(), static_cast<qsizetype>(name.size())));
        }
        ++(keep ? counts.attachmentsKept : counts.attachmentsLeftOut);
        return keep;
    }

    std::string_view file_;
    const MessageSelection& selection_;
};

bool KeepsField(std::string_view name, const MessageSelection& selection, bool contentKept) {
    if (StartsWithNoCase(name, "Content-"))
        return contentKept;
    if (selection.headersMode == 2 || EqualsNoCase(name, "MIME-Version"))
        return true;
    return selection.headersMode == 1 && !name.empty() &&
           selection.headerNames.contains(
               QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
               Qt::CaseInsensitive);
}

// The header lines of the fields the selection leaves out. The choice ends at the first line
// that is no field (a name with spaces or 8-bit bytes, a line that starts with white space):
// readers differ on whether the body begins there, so it and what follows stay.
void CutFields(std::string_view file, std::size_t headerEnd, const MessageSelection& selection,
               bool contentKept, std::vector<Range>& cuts) {
    for (std::size_t at = 0; at < headerEnd && file[at] != '\r' && file[at] != 0;) {
        if (file[at] == ' ' || file[at] == '\t')
            return;
        CMimeHeaderField field;
        const std::ptrdiff_t length = field.Load(file.data() + at, headerEnd - at);
        if (length <= 0)
            return;
        const std::size_t next = std::min(at + static_cast<std::size_t>(length), headerEnd);
        if (!KeepsField(field.GetName(), selection, contentKept))
            cuts.emplace_back(at, next);
        at = next;
    }
}

} // namespace

ReducedMessageCounts ReduceMessageFile(std::string& file, const MessageSelection& selection) {
    const MimeEntitySpan top = MapMimeEntities(file);
    Reduction reduction(file, selection);
    std::vector<Range> cuts;
    bool contentKept = true;
    if (selection.attachmentsMode != 2) {
        contentKept = reduction.visit(top, FindMessageBody(top), cuts);
        if (!contentKept) {
            cuts.clear();
            cuts.emplace_back(top.bodyBegin, top.end);
        }
    }
    if (selection.headersMode != 2 || !contentKept)
        CutFields(file, top.bodyBegin, selection, contentKept, cuts);

    std::sort(cuts.begin(), cuts.end());
    // Two cuts apart by one line end are the last parts of nested multiparts that lack their
    // closing delimiters: the inner one's delimiter line end goes as well, or the text before
    // them would end with one line end more than before.
    for (std::size_t i = 1; i < cuts.size(); ++i) {
        Range& before = cuts[i - 1];
        if (before.first >= top.bodyBegin && cuts[i].first == before.second + 2 &&
            file.compare(before.second, 2, "\r\n") == 0)
            before.second = cuts[i].first;
    }
    std::size_t write = 0;
    std::size_t read = 0;
    for (const auto& [from, to] : cuts) {
        if (from > read)
            write = static_cast<std::size_t>(
                std::copy(file.begin() + static_cast<std::ptrdiff_t>(read),
                          file.begin() + static_cast<std::ptrdiff_t>(from),
                          file.begin() + static_cast<std::ptrdiff_t>(write)) -
                file.begin());
        read = std::max(read, to);
    }
    if (read > write)
        file.erase(write, read - write);
    ReducedMessageCounts counts = reduction.counts;
    counts.onlyHeader = !contentKept;
    return counts;
}

} // namespace parcelo
