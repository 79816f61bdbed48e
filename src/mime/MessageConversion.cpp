#include "mime/MessageConversion.h"

#include "mime/MimeString.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace parcelo {

std::unique_ptr<CMimeMessage> ParseMessageSource(const std::string& source) {
    auto message = std::make_unique<CMimeMessage>();
    message->SetField("MIME-Version", "1.0");
    message->SetCharset(QStringLiteral("utf-8"));
    message->Load(source.data(), source.size());
    auto& fields = message->Fields();
    for (std::size_t leading = 0; leading < 2 && leading < fields.size(); ++leading) {
        for (std::size_t i = 2; i < fields.size(); ++i) {
            if (EqualsNoCase(fields[i].GetName(), fields[leading].GetName())) {
                fields[leading].SetOmittedOnStore(true);
                break;
            }
        }
    }
    return message;
}

std::string MessageFileBytes(const CMimeMessage& message) {
    std::string bytes = message.StoreToString();
    bytes.append("\r\n\r\n");
    return bytes;
}

namespace {

bool ConvertWithIconv(const std::string& value, const std::string& charset, QString& text) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string out;
    std::vector<char> buffer(4096);
    char* in = const_cast<char*>(value.data());
    std::size_t inLeft = value.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (r != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // An invalid or cut-off sequence: show a replacement character and go on.
        out.append("\xEF\xBF\xBD");
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    text = QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
    return true;
}

} // namespace

QString FieldValueToText(const std::string& value, const std::string& charset) {
    QString text;
    if (!charset.empty() && ConvertWithIconv(value, charset, text))
        return text;
    return QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size()));
}

HeaderValues ExtractHeaderValues(const CMimeMessage& message) {
    HeaderValues values;
    std::vector<const CMimeBody*> leaves;
    message.CollectLeafParts(leaves);
    for (const CMimeBody* leaf : leaves) {
        for (const auto& field : leaf->Fields()) {
            const QString name =
                QString::fromLocal8Bit(field.GetName().data(), qsizetype(field.GetName().size()));
            QString* target = nullptr;
            if (name.compare(QLatin1String("From"), Qt::CaseInsensitive) == 0)
                target = &values.From;
            else if (name.compare(QLatin1String("Date"), Qt::CaseInsensitive) == 0)
                target = &values.Date;
            else if (name.compare(QLatin1String("To"), Qt::CaseInsensitive) == 0)
                target = &values.To;
            else if (name.compare(QLatin1String("CC"), Qt::CaseInsensitive) == 0)
                target = &values.CC;
            else if (name.compare(QLatin1String("BCC"), Qt::CaseInsensitive) == 0)
                target = &values.BCC;
            if (target)
                *target = FieldValueToText(field.GetValue(), field.GetCharset());
        }
    }
    return values;
}

} // namespace parcelo
