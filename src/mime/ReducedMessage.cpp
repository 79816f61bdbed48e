#include "mime/ReducedMessage.h"

#include "mime/CMimeMessage.h"
#include "mime/MessageConversion.h"
#include "mime/MimeCoderRegistry.h"
#include "mime/MimeString.h"

#include <QUrl>
#include <algorithm>
#include <optional>
#include <vector>

namespace parcelo {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return text;
}

bool keepsHeader(const CMimeHeaderField& field, const MessageSelection& selection) {
    // A line the parser kept without a proper name (a stray envelope line) is no header field.
    const std::string& fieldName = field.GetName();
    if (fieldName.empty() || std::any_of(fieldName.begin(), fieldName.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) > '~';
        }))
        return false;
    if (StartsWithNoCase(field.GetName(), "Content-") ||
        EqualsNoCase(field.GetName(), "MIME-Version"))
        return false;
    if (selection.headersMode == 2)
        return true;
    if (selection.headersMode != 1)
        return false;
    const QString name = QString::fromLocal8Bit(field.GetName().data(),
                                                static_cast<qsizetype>(field.GetName().size()));
    return selection.headerNames.contains(name, Qt::CaseInsensitive);
}

// The file name a part carries: the Content-Type name, else the Content-Disposition filename.
QString attachmentName(const CMimeBody& part) {
    for (const auto& [fieldName, attribute] :
         {std::pair{"Content-Type", "name"}, std::pair{"Content-Disposition", "filename"}}) {
        if (const CMimeHeaderField* field = part.FindField(fieldName)) {
            const std::string value = field->GetParameter(attribute);
            if (!value.empty())
                return FieldValueToText(value, field->GetCharset());
        }
    }
    return {};
}

bool keepsAttachment(const QString& name, const MessageSelection& selection) {
    if (selection.attachmentsMode == 2)
        return true;
    return selection.attachmentsMode == 1 && selection.attachmentNames.contains(name);
}

std::string field(std::string_view name, std::string_view value) {
    std::string out;
    CMimeHeaderField(std::string(name), std::string(value)).Store(out);
    return out;
}

std::string encoded(const std::string& content, std::string_view coding) {
    std::string out;
    auto coder = CreateTransferCoder(coding);
    coder->SetInput(content, true);
    coder->Encode(out);
    return out;
}

// A text body as its own part: its media type and charset, and its content encoded again
// with the coding it came in, so that it decodes to the same bytes.
std::string textPart(const CMimeBody& body, std::string_view type) {
    std::string contentType(type);
    const std::string charset = body.GetCharset();
    if (!charset.empty())
        contentType += "; charset=\"" + charset + "\"";
    std::string out = field("Content-Type", contentType);
    const std::string coding = body.GetContentCoding();
    if (!coding.empty())
        out += field("Content-Transfer-Encoding", coding);
    out += "\r\n";
    out += encoded(body.GetContent(), coding);
    return out;
}

std::string quoted(const QByteArray& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// The part carries its name as a quoted parameter; a name beyond ASCII as an encoded word in
// the Content-Type and in RFC 2231 form in the Content-Disposition, as mail programs read them.
std::string attachmentPart(const CMimeBody& body, const QString& name) {
    CMimeBody typed;
    typed.SetName(name);
    const std::string typeValue = typed.GetFieldValue("Content-Type");
    const std::string type = typeValue.substr(0, typeValue.find(';'));
    const QByteArray utf8 = name.toUtf8();
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::string out;
    if (ascii) {
        out = field("Content-Type", type + "; name=" + quoted(utf8)) +
              field("Content-Disposition", "attachment; filename=" + quoted(utf8));
    } else {
        out = field("Content-Type",
                    type + "; name=\"=?utf-8?B?" + utf8.toBase64().toStdString() + "?=\"") +
              field("Content-Disposition",
                    "attachment; filename*=utf-8''" + QUrl::toPercentEncoding(name).toStdString());
    }
    out += field("Content-Description", "file") + field("Content-Transfer-Encoding", "base64");
    out += "\r\n";
    out += encoded(body.GetContent(), "base64");
    return out;
}

// A multipart body around finished parts, with a boundary that none of them contains.
std::string multipart(std::string_view subtype, const std::vector<std::string>& parts) {
    std::string boundary;
    for (int n = 0;; ++n) {
        boundary = "=_Parcelo_" + std::string(subtype) + "_" + std::to_string(n);
        if (std::none_of(parts.begin(), parts.end(), [&](const std::string& part) {
                return part.find(boundary) != std::string::npos;
            }))
            break;
    }
    std::string out = field("Content-Type", "multipart/" + std::string(subtype) + "; boundary=\"" +
                                                boundary + "\"");
    out += "\r\n";
    for (const std::string& part : parts)
        out += "--" + boundary + "\r\n" + part + "\r\n";
    out += "--" + boundary + "--\r\n";
    return out;
}

} // namespace

std::string ReducedMessageBytes(const std::string& source, const MessageSelection& selection) {
    CMimeMessage message;
    message.Load(source.data(), source.size());

    std::string out = field("MIME-Version", "1.0");
    for (const CMimeHeaderField& header : message.Fields()) {
        if (keepsHeader(header, selection)) {
            CMimeHeaderField copy = header;
            copy.SetOmittedOnStore(false);
            copy.Store(out);
        }
    }

    std::vector<const CMimeBody*> leaves;
    message.CollectLeafParts(leaves);
    const CMimeBody* plain = nullptr;
    const CMimeBody* html = nullptr;
    std::vector<std::string> attachments;
    for (const CMimeBody* leaf : leaves) {
        const QString name = attachmentName(*leaf);
        if (!name.isEmpty()) {
            if (keepsAttachment(name, selection))
                attachments.push_back(attachmentPart(*leaf, name));
            continue;
        }
        const std::string type = lowerCase(leaf->GetFieldValue("Content-Type"));
        if (type.empty() || type.starts_with("text/plain"))
            plain = leaf;
        else if (type.starts_with("text/html"))
            html = leaf;
    }

    std::string type = lowerCase(message.GetFieldValue("Content-Type"));
    if (type.empty())
        type = "text/plain";
    std::vector<std::string> texts;
    const bool onlyPlain = type.find("text/plain") != std::string::npos;
    const bool onlyHtml = !onlyPlain && type.find("text/html") != std::string::npos;
    if (plain && !onlyHtml)
        texts.push_back(textPart(*plain, "text/plain"));
    if (html && !onlyPlain)
        texts.push_back(textPart(*html, "text/html"));
    const bool alternative = type.find("multipart/alternative") != std::string::npos;

    std::optional<std::string> core;
    if (texts.size() == 2)
        core = multipart("alternative", texts);
    else if (texts.size() == 1)
        core = texts.front();

    const bool mixed = !attachments.empty() || !(onlyPlain || onlyHtml || alternative);
    if (mixed && (core || !attachments.empty())) {
        std::vector<std::string> parts;
        if (core)
            parts.push_back(*core);
        parts.insert(parts.end(), attachments.begin(), attachments.end());
        out += multipart("mixed", parts);
    } else if (core) {
        out += *core;
    } else {
        out += field("Content-Type", "text/plain") + "\r\n";
    }
    return out;
}

} // namespace parcelo
