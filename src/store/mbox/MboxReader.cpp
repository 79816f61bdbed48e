// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxReader.h"

#include "platform/SystemErrorText.h"
#include "store/header/MessageHeader.h"
#include "store/mbox/MboxBodySkim.h"
#include "store/mbox/MboxContentLength.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace parcelo {

namespace {

using namespace std::string_view_literals;

constexpr qsizetype kBufferSize = 256 * 1024;
// Of a header only the fields the flags are read from are kept, up to this size.
constexpr qsizetype kKeptFlagFieldsLimit = 65536;
// A header asked for is kept up to this size; a summary needs only its fields' starts.
constexpr qsizetype kKeptHeaderLimit = 4 << 20;

const char kBom[] = "\xEF\xBB\xBF";
constexpr qsizetype kBomLength = 3;

bool StartsWith(const char* data, qsizetype size, const char* prefix, qsizetype length) {
    return size >= length && std::memcmp(data, prefix, size_t(length)) == 0;
}

bool IsEmptyLine(const char* data, qsizetype size) {
    return (size == 1 && data[0] == '\n') || (size == 2 && data[0] == '\r' && data[1] == '\n');
}

// Each header line is matched against several names: their lengths are known up front.
bool StartsWithField(const char* data, qsizetype size, std::string_view name,
                     qsizetype* valueStart) {
    const qsizetype length = qsizetype(name.size());
    if (size <= length || data[length] != ':' ||
        QByteArrayView(data, length)
                .compare(QByteArrayView(name.data(), length), Qt::CaseInsensitive) != 0)
        return false;
    qsizetype i = length + 1;
    while (i < size && (data[i] == ' ' || data[i] == '\t'))
        ++i;
    *valueStart = i;
    return true;
}

int HexDigits(const char* data, qsizetype size, qsizetype from) {
    int n = 0;
    while (from + n < size && std::isxdigit(static_cast<unsigned char>(data[from + n])))
        ++n;
    return n;
}

bool IsHeaderContinuation(const char* data, qsizetype size) {
    return size > 0 && (data[0] == ' ' || data[0] == '\t');
}

// The fields the mail client writes as a block right after the separator line: for mail it
// fetched the account and the server's id of the message, then its status fields.
enum ClientField { kAccountKey, kUidl, kMozillaStatus, kMozillaStatus2, kMozillaKeys };
constexpr std::string_view kClientFields[] = {"X-Account-Key", "X-UIDL", "X-Mozilla-Status",
                                              "X-Mozilla-Status2", "X-Mozilla-Keys"};

int ClientFieldOf(const char* data, qsizetype size) {
    qsizetype value = 0;
    for (int field = kAccountKey; field <= kMozillaKeys; ++field)
        if (StartsWithField(data, size, kClientFields[field], &value))
            return field;
    return -1;
}

// The status fields other mail programs write, anywhere in the header.
bool IsStatusField(const char* data, qsizetype size) {
    qsizetype value = 0;
    return StartsWithField(data, size, "Status"sv, &value) ||
           StartsWithField(data, size, "X-Status"sv, &value);
}

// A line of one or more '>' and "From ", which loses a '>' when read by separators.
bool IsQuotedFromLine(const char* data, qsizetype size) {
    qsizetype quotes = 0;
    while (quotes < size && data[quotes] == '>')
        ++quotes;
    return quotes > 0 && StartsWith(data + quotes, size - quotes, "From ", 5);
}

// Size of a whole line in canonical form (see CrlfCanonicalizer), without copying it.
quint64 CanonicalLineSize(const char* data, qsizetype size) {
    quint64 canonical = quint64(size);
    if (size > 0 && data[size - 1] == '\n' && !(size >= 2 && data[size - 2] == '\r'))
        ++canonical;
    if (IsQuotedFromLine(data, size))
        --canonical;
    return canonical;
}

// Size of bytes in canonical form with every line as written: a CR for each bare LF.
// lastCr: whether the byte before them is a CR; then whether their last one is.
quint64 CanonicalBytesAsWritten(const char* data, qsizetype size, bool* lastCr) {
    quint64 canonical = quint64(size);
    const char* end = data + size;
    for (const char* p = data; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!p)
            break;
        if (!(p > data ? p[-1] == '\r' : *lastCr))
            ++canonical;
    }
    if (size > 0)
        *lastCr = end[-1] == '\r';
    return canonical;
}

const QByteArrayView kFolderDataSubject("DON'T DELETE THIS MESSAGE -- FOLDER INTERNAL DATA");

void AppendLine(QByteArray* to, const char* head, qsizetype size, qsizetype limit) {
    if (to->size() >= limit)
        return;
    to->append(head, size);
    if (size == 0 || head[size - 1] != '\n')
        to->append('\n'); // a line longer than its head, or the header's last
}

} // namespace

MboxReader::MboxReader(int fd, qint64 start, qint64 end, Options options)
    : fd_(fd), end_(end), options_(options), bufferOffset_(start) {
    buffer_.reset(new char[size_t(kBufferSize)]);
}

bool MboxReader::fill() {
    keepRegionBytes(); // what the message has in the buffer, before the buffer moves on
    regionMark_ = 0;
    if (pos_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + pos_, size_t(length_ - pos_));
        length_ -= pos_;
        bufferOffset_ += pos_;
        pos_ = 0;
    }
    const qint64 wanted = std::min<qint64>(kBufferSize - length_, end_ - bufferOffset_ - length_);
    if (wanted <= 0) {
        eof_ = true;
        return false;
    }
    if (options_.reads)
        ++*options_.reads;
    ssize_t got;
    do {
        got = ::pread(fd_, buffer_.get() + length_, size_t(wanted), bufferOffset_ + length_);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        error_ = SystemErrorText(errno);
        return false;
    }
    if (got == 0) {
        // Shorter than it was when the reading began: what is left is no longer the message
        // that was indexed.
        error_ = QStringLiteral("the file ended before the message did");
        return false;
    }
    length_ += got;
    return true;
}

bool MboxReader::peekLine(const char** newline) {
    for (;;) {
        const qsizetype available = length_ - pos_;
        *newline =
            static_cast<const char*>(std::memchr(buffer_.get() + pos_, '\n', size_t(available)));
        if (*newline || eof_ || available >= kLineHeadLimit)
            return available > 0;
        if (!fill() && failed())
            return false;
    }
}

void MboxReader::keepRegionBytes() {
    const qsizetype size = pos_ - regionMark_;
    const qsizetype from = regionMark_;
    regionMark_ = pos_;
    if (!open_ || !gathering_.regionKept || size == 0)
        return;
    if (gathering_.region.size() + size > options_.regionLimit) {
        gathering_.regionKept = false;
        gathering_.region = QByteArray();
        return;
    }
    gathering_.region.append(buffer_.get() + from, size);
}

void MboxReader::takeLine(const char* newline, Line* line) {
    const char* begin = buffer_.get() + pos_;
    line->start = bufferOffset_ + pos_;
    if (newline || eof_) {
        const qsizetype size = newline ? newline - begin + 1 : length_ - pos_;
        line->head = begin;
        line->headSize = std::min(size, kLineHeadLimit);
        line->length = size;
        line->crlf = newline && size >= 2 && begin[size - 2] == '\r';
        line->lineEndMissing = !newline;
        line->canonicalSize = CanonicalLineSize(begin, size);
        pos_ += size;
        return;
    }
    // A line longer than the head limit and not yet whole in the buffer: seen in pieces.
    longHead_ = QByteArray(begin, kLineHeadLimit);
    CrlfCanonicalizer counter(true);
    line->length = 0;
    char previous = 0;
    char last = 0;
    bool ended = false;
    while (!ended) {
        const char* piece = buffer_.get() + pos_;
        const qsizetype available = length_ - pos_;
        if (available == 0) {
            if (!fill())
                break; // the file ends inside the line, or a read failed
            continue;
        }
        const char* found = static_cast<const char*>(std::memchr(piece, '\n', size_t(available)));
        const qsizetype take = found ? found - piece + 1 : available;
        ended = found != nullptr;
        counter.feed(piece, take, nullptr);
        previous = take >= 2 ? piece[take - 2] : last;
        last = piece[take - 1];
        line->length += take;
        pos_ += take;
    }
    counter.finish(nullptr);
    line->head = longHead_.constData();
    line->headSize = longHead_.size();
    line->crlf = ended && previous == '\r';
    line->lineEndMissing = !ended;
    line->canonicalSize = counter.produced();
}

// Body lines only add to the size: they are run through in one loop over the buffer, up to a
// line that may be a separator or is not whole in the buffer, which the line path then takes.
void MboxReader::skimBody() {
    const MboxBodySkim skim = SkimMboxBody(buffer_.get(), pos_, length_, previousEmpty_);
    if (skim.lines == 0)
        return;
    if (pendingEmpty_)
        message_.cbMessage += 2;
    message_.cbMessage += skim.canonicalSize;
    pendingEmpty_ = skim.lastEmpty;
    if (skim.lastEmpty)
        pendingEmptyStart_ = bufferOffset_ + skim.lastEmptyStart;
    previousEmpty_ = skim.lastEmpty;
    pos_ = skim.stop;
}

bool MboxReader::lengthEndsBody() {
    const qint64 at = message_.bodyStart + message_.contentLength;
    if (message_.contentLength > end_ - message_.bodyStart)
        return false;
    // The byte before tells whether a line starts there; the body's start always does.
    char window[1 + kContentLengthEndWindow];
    const qint64 from = at - 1;
    const qint64 wanted = std::min<qint64>(qint64(sizeof window), end_ - from);
    if (options_.reads)
        ++*options_.reads;
    ssize_t got;
    do {
        got = ::pread(fd_, window, size_t(wanted), from);
    } while (got < 0 && errno == EINTR);
    if (got != wanted)
        return false; // read by separators; a failing read shows as the reading goes on
    return ContentLengthEndsBody(QByteArrayView(window + 1, got - 1), window[0] == '\n');
}

bool MboxReader::readCountedBody() {
    while (countLeft_ > 0) {
        if (pos_ == length_ && !fill()) {
            if (!failed())
                error_ = QStringLiteral("the file ended before the message did");
            return false;
        }
        const qsizetype take = qsizetype(std::min<qint64>(countLeft_, length_ - pos_));
        message_.cbMessage += CanonicalBytesAsWritten(buffer_.get() + pos_, take, &countLastCr_);
        pos_ += take;
        countLeft_ -= take;
    }
    countLeft_ = -1;
    previousEmpty_ = false;
    const char* newline = nullptr;
    if (!peekLine(&newline))
        return !failed();
    const char* head = buffer_.get() + pos_;
    if (newline && IsEmptyLine(head, newline - head + 1)) {
        // The writer's empty line before the next separator, as a separator's is.
        pendingEmpty_ = true;
        pendingEmptyStart_ = bufferOffset_ + pos_;
        pos_ += newline - head + 1;
        previousEmpty_ = true;
    }
    return true;
}

bool MboxReader::next(MboxMessage* message) {
    const char* newline = nullptr;
    for (;;) {
        if (open_ && !inHeader_ && countLeft_ >= 0 && !readCountedBody())
            return false;
        if (open_ && !inHeader_)
            skimBody();
        if (!peekLine(&newline))
            break;
        const char* head = buffer_.get() + pos_;
        const qsizetype headSize =
            std::min(newline ? newline - head + 1 : length_ - pos_, kLineHeadLimit);
        if (first_ && bufferOffset_ + pos_ == 0 && StartsWith(head, headSize, kBom, kBomLength)) {
            pos_ += kBomLength;
            prefixLength_ = kBomLength;
            continue;
        }
        const bool isSeparator = previousEmpty_ && StartsWith(head, headSize, "From ", 5);
        if (first_ && !isSeparator) {
            error_ = QStringLiteral("not an mbox file");
            return false;
        }
        first_ = false;
        const bool handOut = isSeparator && open_;
        if (handOut)
            finish(bufferOffset_ + pos_);
        if (isSeparator) {
            open_ = true;
            gathering_.header.resize(0);
            gathering_.region.resize(0);
            gathering_.regionKept = options_.regionLimit > 0;
            regionMark_ = pos_;
        }
        Line line;
        takeLine(newline, &line);
        if (failed())
            return false;
        if (isSeparator)
            separator(line);
        else
            bodyOrHeaderLine(line);
        previousEmpty_ = !isSeparator && IsEmptyLine(line.head, line.headSize);
        if (handOut) {
            *message = std::move(finished_);
            return true;
        }
    }
    if (failed() || !open_)
        return false;
    finish(bufferOffset_ + pos_);
    open_ = false;
    *message = std::move(finished_);
    return true;
}

void MboxReader::separator(const Line& line) {
    message_ = MboxMessage{};
    message_.separatorStart = line.start;
    message_.contentStart = line.start + line.length;
    message_.headerEnd = message_.contentStart;
    message_.lineEnd =
        line.crlf ? QByteArray::fromRawData("\r\n", 2) : QByteArray::fromRawData("\n", 1);
    gathering_.separator.resize(0); // keeps its room from message to message
    gathering_.separator.append(line.head, line.headSize);
    inHeader_ = true;
    pendingEmpty_ = false;
    keepingFlagField_ = false;
    inClientBlock_ = true;
    clientFieldsSeen_ = 0;
    flagFields_.resize(0);
    lengthField_ = false;
    quotedHeaderLines_ = 0;
    countLeft_ = -1;
    // Only a BOM can come before the first separator, and no separator can start within one.
    firstOfFile_ = line.start <= kBomLength;
    folderDataSubject_ = false;
    folderDataField_ = false;
}

void MboxReader::bodyOrHeaderLine(const Line& line) {
    if (!open_)
        return;
    const bool empty = IsEmptyLine(line.head, line.headSize);
    if (pendingEmpty_) {
        message_.cbMessage += 2;
        pendingEmpty_ = false;
    }
    if (inHeader_) {
        if (empty) {
            inHeader_ = false;
            message_.bodyStart = line.start + line.length;
            if (message_.contentLength >= 0 && lengthEndsBody()) {
                // The empty line is the header's end, not one before a separator; no line of
                // this message loses a '>'.
                message_.lengthEnded = true;
                message_.cbMessage += 2 + quint64(quotedHeaderLines_);
                countLeft_ = message_.contentLength;
                countLastCr_ = false;
                return;
            }
        } else {
            headerLine(line);
            message_.headerEnd = line.start + line.length;
            message_.headerLineEndMissing = line.lineEndMissing;
        }
    }
    if (empty) {
        pendingEmpty_ = true;
        pendingEmptyStart_ = line.start;
    } else {
        message_.cbMessage += line.canonicalSize;
    }
}

void MboxReader::headerLine(const Line& line) {
    const char* head = line.head;
    const qsizetype size = line.headSize;
    if (options_.keepHeader)
        AppendLine(&gathering_.header, head, size, kKeptHeaderLimit);
    if (IsHeaderContinuation(head, size)) {
        if (keepingFlagField_)
            AppendLine(&flagFields_, head, size, kKeptFlagFieldsLimit);
        return;
    }
    // The client's fields count only in its block, the header's first fields, each once: the
    // same fields further down are the sender's.
    const int clientField = ClientFieldOf(head, size);
    inClientBlock_ =
        inClientBlock_ && clientField >= 0 && !(clientFieldsSeen_ & (1u << clientField));
    if (inClientBlock_)
        clientFieldsSeen_ |= 1u << clientField;
    else if (clientField >= kMozillaStatus)
        message_.mozFieldsBelowBlock = true;
    const int field = inClientBlock_ ? clientField : -1;
    keepingFlagField_ = field >= kMozillaStatus || (field < 0 && IsStatusField(head, size));
    if (keepingFlagField_)
        AppendLine(&flagFields_, head, size, kKeptFlagFieldsLimit);
    quotedHeaderLines_ += IsQuotedFromLine(head, size);
    qsizetype value = 0;
    if (!lengthField_ && StartsWithField(head, size, "Content-Length"sv, &value)) {
        lengthField_ = true;
        message_.contentLength = ContentLengthValue(QByteArrayView(head + value, size - value));
    }
    if (firstOfFile_) {
        if (StartsWithField(head, size, "Subject"sv, &value))
            folderDataSubject_ =
                folderDataSubject_ ||
                QByteArrayView(head + value, size - value).trimmed() == kFolderDataSubject;
        else if (StartsWithField(head, size, "X-IMAP"sv, &value) ||
                 StartsWithField(head, size, "X-IMAPbase"sv, &value))
            folderDataField_ = true;
    }
    if (field == kMozillaStatus && StartsWithField(head, size, "X-Mozilla-Status"sv, &value)) {
        const int digits = HexDigits(head, size, value);
        if (digits > 0 && digits <= 8) {
            message_.mozStatusOffset = line.start + value;
            message_.mozStatusLength = digits;
        }
    } else if (field == kMozillaStatus2 &&
               StartsWithField(head, size, "X-Mozilla-Status2"sv, &value)) {
        const int digits = HexDigits(head, size, value);
        if (digits > 0 && digits <= 8) {
            message_.mozStatus2Offset = line.start + value;
            message_.mozStatus2Length = digits;
        }
    } else if (field == kMozillaKeys && StartsWithField(head, size, "X-Mozilla-Keys"sv, &value) &&
               size < kLineHeadLimit) {
        // The padding is the room for tags: the value is all after the colon and one space.
        constexpr qsizetype kName = sizeof("X-Mozilla-Keys:") - 1;
        value = kName < size && head[kName] == ' ' ? kName + 1 : kName;
        qsizetype end = size;
        while (end > value && (head[end - 1] == '\n' || head[end - 1] == '\r'))
            --end;
        message_.mozKeysOffset = line.start + value;
        message_.mozKeysLength = int(end - value);
        message_.mozKeys = QByteArray(head + value, end - value);
    } else if (message_.statusValueOffset < 0 && StartsWithField(head, size, "Status"sv, &value)) {
        message_.statusValueOffset = line.start + value;
    }
}

// A last empty line at the end of the file is the writer's end of message, as the empty line
// before a separator is: so a message reads the same when a later one is removed.
void MboxReader::finish(qint64 end) {
    keepRegionBytes();
    message_.regionEnd = end;
    message_.contentEnd = pendingEmpty_ ? pendingEmptyStart_ : end;
    // Most messages of most mailboxes carry no flag fields at all.
    const MessageHeader header =
        flagFields_.isEmpty() ? MessageHeader() : MessageHeader(flagFields_);
    bool ok = false;
    const QByteArray* moz = header.find("X-Mozilla-Status");
    const quint32 mozStatus = moz ? moz->toUInt(&ok, 16) : 0;
    if (moz && ok) {
        message_.mozStatus = mozStatus;
        message_.expunged = mozStatus & kMozillaExpunged;
    } else {
        message_.mozStatusOffset = -1;
    }
    if (const QByteArray* moz2 = header.find("X-Mozilla-Status2");
        moz2 && message_.mozStatus2Offset >= 0)
        message_.mozStatus2 = moz2->toUInt(&ok, 16);
    const QByteArray status = header.value("Status");
    message_.statusLetters =
        quint8((status.contains('R') ? kStatusLetterRead : 0) |
               (status.contains('O') ? kStatusLetterOld : 0) |
               (header.value("X-Status").contains('F') ? kXStatusLetterFlagged : 0));
    MboxStateRules::apply(options_.rules, &message_);
    message_.folderData = firstOfFile_ && folderDataSubject_ && folderDataField_;
    countLeft_ = -1;
    finished_ = std::move(message_);
    std::swap(done_, gathering_);
    inHeader_ = false;
    pendingEmpty_ = false;
}

} // namespace parcelo
