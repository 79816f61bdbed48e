// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/MailAddressList.h"

#include "mailtext/EncodedWords.h"

namespace parcelo {

namespace {

struct Mailbox {
    QByteArray phrase;  // display name words, quotes removed, white space collapsed
    QByteArray address; // inside <...>, or the bare addr-spec
    QByteArray comment; // the last comment, an old-style name: addr (Name)
    bool angle = false;
};

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// simplified(), which copies even text it leaves alone.
QByteArray Collapse(const QByteArray& text) {
    const qsizetype n = text.size();
    bool collapsed = n == 0 || (!IsSpace(text[0]) && !IsSpace(text[n - 1]));
    for (qsizetype i = 1; collapsed && i < n; ++i)
        collapsed = !IsSpace(text[i]) || (text[i] == ' ' && text[i - 1] != ' ');
    return collapsed ? text : text.simplified();
}

QByteArray Display(const Mailbox& box) {
    QByteArray name = Collapse(box.phrase);
    if (!box.angle && !name.isEmpty()) {
        if (!name.contains('@'))
            return Collapse(DecodeEncodedWords(name));
        // No angle brackets: the words are the address itself.
        QByteArray address = name;
        address.replace(" ", "");
        QByteArray comment = Collapse(box.comment);
        if (!comment.isEmpty())
            return DecodeEncodedWords(comment);
        return DecodeEncodedWords(address);
    }
    if (!name.isEmpty())
        return Collapse(DecodeEncodedWords(name));
    const QByteArray comment = Collapse(box.comment);
    if (!comment.isEmpty() && box.address.isEmpty())
        return DecodeEncodedWords(comment);
    return DecodeEncodedWords(Collapse(box.address));
}

// splitAfterAddress: words after an address in angle brackets start the next mailbox, as when
// a comma between them is missing ("Ann <a@example.com> b@example.com").
QList<Mailbox> ParseMailboxes(const QByteArray& raw, bool splitAfterAddress) {
    QList<Mailbox> boxes;
    Mailbox box;
    const qsizetype n = raw.size();
    // The open mailbox's phrase, in one buffer for all of them; a mailbox keeps it collapsed.
    QByteArray phrase;
    phrase.reserve(n);
    auto finish = [&]() {
        box.phrase = phrase.isEmpty() ? QByteArray() : phrase.simplified();
        phrase.resize(0);
        if (!box.phrase.isEmpty() || !box.address.isEmpty() || !box.comment.isEmpty())
            boxes.append(box);
        box = Mailbox{};
    };
    qsizetype i = 0;
    while (i < n) {
        const char c = raw[i];
        if (c == '"') {
            ++i;
            while (i < n && raw[i] != '"') {
                if (raw[i] == '\\' && i + 1 < n)
                    ++i;
                phrase.append(raw[i]);
                ++i;
            }
            ++i;
        } else if (c == '(') {
            int depth = 1;
            QByteArray comment;
            ++i;
            while (i < n && depth > 0) {
                if (raw[i] == '\\' && i + 1 < n) {
                    comment.append(raw[i + 1]);
                    i += 2;
                    continue;
                }
                if (raw[i] == '(')
                    ++depth;
                else if (raw[i] == ')' && --depth == 0)
                    break;
                comment.append(raw[i]);
                ++i;
            }
            ++i;
            box.comment = comment;
            phrase.append(' ');
        } else if (c == '<') {
            const qsizetype close = raw.indexOf('>', i + 1);
            const qsizetype end = close < 0 ? n : close;
            box.address = raw.mid(i + 1, end - i - 1).trimmed();
            box.angle = true;
            i = end + 1;
        } else if (c == ',') {
            finish();
            ++i;
        } else if (c == ':' && !box.angle) {
            box = Mailbox{}; // the group's name
            phrase.resize(0);
            ++i;
        } else if (c == ';') {
            finish();
            ++i;
        } else {
            if (box.angle && splitAfterAddress && c != ' ' && c != '\t' && c != '\r' && c != '\n')
                finish();
            if (!box.angle)
                phrase.append(c);
            ++i;
        }
    }
    finish();
    return boxes;
}

} // namespace

QList<QByteArray> AddressDisplayNames(const QByteArray& raw) {
    QList<QByteArray> names;
    for (const Mailbox& box : ParseMailboxes(raw, false)) {
        const QByteArray text = Display(box);
        if (!text.isEmpty())
            names.append(text);
    }
    return names;
}

QList<MailAddress> MailAddresses(const QByteArray& raw) {
    QList<MailAddress> addresses;
    for (const Mailbox& box : ParseMailboxes(raw, true)) {
        MailAddress address;
        const QByteArray phrase = Collapse(box.phrase);
        const QByteArray comment = Collapse(box.comment);
        if (box.angle) {
            address.address = Collapse(box.address);
            address.name = DecodeEncodedWords(phrase.isEmpty() ? comment : phrase);
        } else {
            // Without angle brackets the words are the address, and a comment its name.
            address.address = phrase;
            address.address.replace(" ", "");
            address.name = DecodeEncodedWords(comment);
        }
        address.name = Collapse(address.name);
        if (!address.address.isEmpty() || !address.name.isEmpty())
            addresses.append(address);
    }
    return addresses;
}

} // namespace parcelo
