// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces an export does for every message, each on its own: reading an mbox, the header
// properties, the conversion of a message to its file's bytes, its name and its index entry.
#include "export/dates/SentDateText.h"
#include "export/naming/MessageDestination.h"
#include "export/report/IndexPage.h"
#include "mime/MessageConversion.h"
#include "store/header/HeaderSummary.h"
#include "store/mbox/MboxReader.h"
#include "store/mbox/MboxScanner.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace parcelo;

const QByteArray kHeader = "From: =?utf-8?Q?J=C3=B6rg_Sender?= <joerg@example.com>\n"
                           "To: Ann <ann@example.org>, bob@example.org\n"
                           "Subject: Re: =?iso-8859-1?Q?M=FCnchen?= trip in March\n"
                           "Date: Mon, 05 Jan 2009 10:41:00 +0100\n"
                           "Message-ID: <1@example.com>\n";

QByteArray Message(int i) {
    QByteArray body;
    for (int line = 0; line < 120; ++line)
        body += "Line " + QByteArray::number(line) + " of message " + QByteArray::number(i) +
                ", plain text as most mail is.\n";
    return kHeader + "\n" + body;
}

// A mailbox of 2,000 messages of about 8 KB in a temporary folder.
class Mailbox {
public:
    Mailbox() {
        path_ = dir_.filePath(QStringLiteral("Inbox"));
        QFile file(path_);
        file.open(QIODevice::WriteOnly);
        for (int i = 0; i < kMessages; ++i)
            file.write("From - Mon Jan 05 10:00:00 2009\n" + Message(i) + "\n");
    }
    const QString& path() const { return path_; }
    static constexpr int kMessages = 2000;

private:
    QTemporaryDir dir_;
    QString path_;
};

void MboxRead(benchmark::State& state) {
    static Mailbox mailbox;
    QFile file(mailbox.path());
    file.open(QIODevice::ReadOnly);
    for (auto _ : state) {
        MboxReader reader(file.handle(), 0, file.size(), {true, 1 << 20});
        MboxMessage message;
        int count = 0;
        while (reader.next(&message))
            ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * Mailbox::kMessages);
    state.SetBytesProcessed(state.iterations() * file.size());
}
BENCHMARK(MboxRead);

void HeaderProperties(benchmark::State& state) {
    const QByteArray separator = "From - Mon Jan 05 10:00:00 2009";
    for (auto _ : state) {
        HeaderSummary summary;
        QDateTime received;
        SummarizeMboxMessage(separator, kHeader, &summary, &received);
        benchmark::DoNotOptimize(summary.normalSubject.data());
    }
}
BENCHMARK(HeaderProperties);

void MessageFileConversion(benchmark::State& state) {
    QByteArray crlf = Message(1);
    crlf.replace("\n", "\r\n");
    const std::string source(crlf.constData(), size_t(crlf.size()));
    for (auto _ : state) {
        const auto message = ParseMessageSource(source);
        const HeaderValues values = ExtractHeaderValues(*message);
        std::string bytes;
        benchmark::DoNotOptimize(MessageFileBytes(*message, bytes));
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(values.Date.data());
    }
    state.SetBytesProcessed(state.iterations() * crlf.size());
}
BENCHMARK(MessageFileConversion);

void Naming(benchmark::State& state) {
    const QDateTime sent(QDate(2009, 1, 5), QTime(9, 41), Qt::UTC);
    for (auto _ : state) {
        const QString date = SentDateText(sent);
        const MessageDestination destination = DestinationOfMessage(
            {1, 8, QStringLiteral("eml"), QStringLiteral("/home/u/Export"), QStringLiteral("Inbox"),
             QStringLiteral("Local Folders\\Inbox"), QStringLiteral("Jörg Sender"),
             QStringLiteral("München trip in March"), date});
        benchmark::DoNotOptimize(destination.name.data());
    }
}
BENCHMARK(Naming);

void IndexEntryOfAMessage(benchmark::State& state) {
    const IndexEntry entry{QStringLiteral("/home/u/Export/Inbox/München trip in March.eml"),
                           QStringLiteral("Jörg Sender"),
                           QStringLiteral("Jörg Sender <joerg@example.com>"),
                           QStringLiteral("München trip in March"),
                           QStringLiteral("Ann <ann@example.org>, bob@example.org"),
                           QString(),
                           QString(),
                           QStringLiteral("January 05. 2009 09h 41m")};
    for (auto _ : state) {
        const QByteArray bytes = (IndexEntryText(entry) + QStringLiteral("\r\n")).toUtf8();
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(IndexEntryOfAMessage);

} // namespace
