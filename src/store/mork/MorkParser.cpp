// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mork/MorkParser.h"

#include "platform/HexDigitValue.h"

#include <algorithm>

namespace parcelo {

namespace {

constexpr QByteArrayView kHeader = "// <!-- <mdb:mork:z v=\"1.4\"/> -->";
constexpr MorkToken kColumnScope = 'c';
constexpr MorkToken kValueScope = 'v';
constexpr MorkToken kRowScope = 'r';
constexpr MorkToken kKindColumn = 'k';
constexpr MorkToken kAtomScopeColumn = 'a';
constexpr qsizetype kMinBudget = 4096;

bool IsWhite(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsNameStart(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameMore(int c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == ':' || c == '-' || c == '.' ||
           c == '!' || c == '?' || c == '+';
}

} // namespace

bool MorkParser::parse(QByteArrayView bytes, MorkDocument* document, QString* error) {
    *document = MorkDocument();
    MorkParser parser(bytes, document);
    bool settled = false;
    if (parser.run(&settled))
        return true;
    *document = MorkDocument();
    if (error)
        *error = parser.error_;
    return false;
}

bool MorkParser::parse(QByteArrayView bytes, MorkSelection* selection, QString* error) {
    // A second read knows every name, a third every scope of the table's rows.
    for (int pass = 0; pass < 3; ++pass) {
        MorkParser parser(bytes, selection);
        bool settled = false;
        if (!parser.run(&settled)) {
            if (error)
                *error = parser.error_;
            return false;
        }
        if (settled)
            return true;
    }
    if (error)
        *error = QStringLiteral("the Mork file could not be read in three passes");
    return false;
}

QByteArray MorkParser::text(QByteArrayView bytes, quint32 at) {
    MorkParser parser(bytes, nullptr);
    parser.pos_ = at;
    QByteArray out;
    parser.value(&out);
    return out;
}

MorkParser::MorkParser(QByteArrayView bytes, MorkTarget* target)
    : in_(bytes), end_(bytes.size()), target_(target), budget_(std::max(bytes.size(), kMinBudget)),
      atoms_(kValueScope) {}

bool MorkParser::run(bool* settled) {
    if (!in_.startsWith(kHeader)) {
        error_ = QStringLiteral("not a Mork file (the header line is missing)");
        return false;
    }
    // Values are kept as 32-bit positions.
    if (quint64(in_.size()) > 0xFFFFFFFFull) {
        error_ = QStringLiteral("the Mork file is too big");
        return false;
    }
    target_->begin(in_, &names_);
    // The header line is a comment, read as such with anything after it on its line.
    pos_ = 0;
    if (!content(false))
        return false;
    *settled = target_->finish(names_);
    return true;
}

bool MorkParser::fail(const char* what) {
    if (error_.isEmpty())
        error_ = QStringLiteral("damaged Mork file: %1 at byte %2")
                     .arg(QLatin1StringView(what))
                     .arg(std::min(pos_, in_.size()));
    return false;
}

// The next byte that is not white space, a comment or a line continuation; -1 at the end.
int MorkParser::next() {
    for (;;) {
        const int c = get();
        if (c < 0)
            return -1;
        if (IsWhite(c))
            continue;
        if (c == '/') {
            if (!skipComment())
                return -1;
            continue;
        }
        if (c == '\\') {
            // A line continuation; a backslash before anything else is dropped, as the client does.
            const int d = get();
            if (d == '\r' || d == '\n' || d < 0) {
                if (d < 0)
                    unget();
                continue;
            }
            unget();
            continue;
        }
        return c;
    }
}

// After a '/': a line comment, or a block comment that may nest. False at the end of the input.
bool MorkParser::skipComment() {
    const int c = get();
    if (c == '/') {
        int d;
        while ((d = get()) >= 0 && d != '\n' && d != '\r') {
        }
        return d >= 0;
    }
    if (c == '*') {
        int depth = 1;
        int previous = 0;
        while (depth > 0) {
            const int d = get();
            if (d < 0)
                return false;
            if (previous == '*' && d == '/') {
                --depth;
                previous = 0;
            } else if (previous == '/' && d == '*') {
                ++depth;
                previous = 0;
            } else {
                previous = d;
            }
        }
        return true;
    }
    // A lone '/' is skipped, as the client does.
    if (c >= 0)
        unget();
    return c >= 0;
}

bool MorkParser::content(bool inGroup) {
    for (;;) {
        const int c = next();
        switch (c) {
        case -1:
            return true;
        case '[':
            if (!row('[', nullptr, RowPlace::Loose, false))
                return false;
            break;
        case '{':
            if (!table())
                return false;
            break;
        case '<':
            if (!dict())
                return false;
            break;
        case '@':
            if (inGroup)
                return fail("a group starts inside another group");
            if (!group())
                return false;
            break;
        default:
            return fail("unexpected byte");
        }
    }
}

// After '@': "$${ID{@", the group's content, then "@$$}ID}@" to commit or "@$$}~~}@" to abort.
bool MorkParser::group() {
    if (get() != '$' || get() != '$')
        return fail("expected @$$");
    const int c = get();
    if (c == '}')
        return fail("a group ends that never started");
    if (c != '{')
        return fail("expected { after @$$");
    quint32 id = 0;
    if (!hex(&id))
        return false;
    if (get() != '{' || get() != '@')
        return fail("expected {@ after the group id");
    const qsizetype start = pos_;
    const qsizetype mark = in_.first(end_).indexOf(QByteArrayView("@$$}"), start);
    // Without a whole end mark the file ends inside the group: a write that never finished.
    const auto unfinished = [this] { return pos_ > end_ ? (pos_ = end_, true) : false; };
    if (mark < 0) {
        pos_ = end_;
        return true;
    }
    pos_ = mark + 4;
    if (get() == '~') {
        if (get() != '~' || get() != '}')
            return unfinished() || fail("expected @$$}~~}@");
        const int d = get();
        if (d == '@')
            return true;
        quint32 ignored = 0;
        if (d < 0 || HexDigitValue(d) < 0)
            return unfinished() || fail("expected @$$}~~}@");
        unget();
        if (!hex(&ignored) || get() != '}' || get() != '@')
            return unfinished() || fail("expected @$$}~~}@");
        return true;
    }
    unget();
    quint32 endId = 0;
    if (pos_ >= end_)
        return true;
    if (!hex(&endId))
        return false;
    if (endId != id)
        return fail("the group ends with another id");
    if (get() != '}' || get() != '@')
        return unfinished() || fail("expected }@ after the group end id");
    const qsizetype after = pos_;
    const qsizetype outerEnd = end_;
    pos_ = start;
    end_ = mark;
    if (!content(true))
        return false;
    end_ = outerEnd;
    pos_ = after;
    return true;
}

// After '<': aliases "(ID=value)" and a meta "<(a=c)>" that puts them in the column space.
bool MorkParser::dict() {
    MorkToken scope = kValueScope;
    for (;;) {
        int c = next();
        if (c == '>')
            return true;
        if (c == '<') {
            while ((c = next()) != '>') {
                if (c != '(')
                    return fail(c < 0 ? "dictionary meta not closed" : "unexpected byte in meta");
                MetaCell meta;
                if (!cell(false, &meta))
                    return false;
                if (meta.column == kAtomScopeColumn)
                    scope = meta.isReference ? meta.reference.id : nameToken(meta.text);
            }
            continue;
        }
        if (c < 0)
            return fail("dictionary not closed");
        if (c != '(')
            return fail("unexpected byte in dictionary");
        quint32 id = 0;
        if (!hex(&id))
            return false;
        c = next();
        if (c == '<') { // a charset form for this value, which changes no byte of it
            while ((c = next()) != '>')
                if (c < 0)
                    return fail("value form not closed");
            c = next();
        }
        if (c != '=')
            return fail("expected = in dictionary");
        const quint32 at = quint32(pos_);
        if (!skipValue())
            return false;
        if (atoms_.insert(MorkOid{scope, id}, at) && !spend(kMorkObjectCost))
            return false;
        if (scope == kColumnScope) {
            const QByteArray name = text(in_, at);
            if (!names_.contains(name))
                names_.insert(name, id);
        }
    }
}

// After '{': an optional '-' that empties the table, its id, then rows, row references,
// '-' before a row to take it out, and a meta "{(k^KIND:c)...}".
bool MorkParser::table() {
    int c = next();
    const bool cutAll = c == '-';
    if (!cutAll && c >= 0)
        unget();
    Mid m;
    if (!mid(&m))
        return false;
    const MorkOid oid{m.scope ? m.scope : kRowScope, m.id};
    if (!spend(target_->table(oid, cutAll)))
        return false;
    bool cutNext = false;
    for (;;) {
        c = next();
        if (c == '}')
            return true;
        if (c < 0)
            return fail("table not closed");
        if (c == '-') {
            cutNext = true;
            continue;
        }
        if (c == '{') {
            if (!tableMeta(oid))
                return false;
            continue;
        }
        if (c != '[' && HexDigitValue(c) < 0)
            return fail("unexpected byte in table");
        if (!row(c, &oid, RowPlace::InTable, cutNext))
            return false;
        cutNext = false;
    }
}

bool MorkParser::tableMeta(MorkOid table) {
    for (;;) {
        const int c = next();
        if (c == '}')
            return true;
        if (c < 0)
            return fail("table meta not closed");
        if (c == '(') {
            MetaCell meta;
            if (!cell(false, &meta))
                return false;
            if (meta.column != kKindColumn)
                continue;
            if (!meta.isReference) {
                target_->tableKind(table, nameToken(meta.text));
            } else if (meta.reference.scope == 0 || meta.reference.scope == kColumnScope) {
                target_->tableKind(table, meta.reference.id);
            } else {
                return fail("table kind outside the column space");
            }
        } else if (c == '[' || HexDigitValue(c) >= 0) {
            if (!row(c, &table, RowPlace::InTableMeta, false))
                return false;
        } else {
            return fail("unexpected byte in table meta");
        }
    }
}

// A row "[ID(cell)...]" (with '-' after '[' to drop its cells first) or, in a table, a bare
// reference "ID". Then an optional position "!HEX", which only orders the table's rows.
bool MorkParser::row(int first, const MorkOid* table, RowPlace place, bool cut) {
    bool cutCells = false;
    if (first == '[') {
        const int c = next();
        cutCells = c == '-';
        if (!cutCells && c >= 0)
            unget();
    } else {
        unget();
    }
    Mid m;
    if (!mid(&m))
        return false;
    const MorkToken defaultScope = table ? table->scope : kRowScope;
    const MorkOid oid{m.scope ? m.scope : defaultScope, m.id};
    if (!spend(target_->row(oid, cutCells)))
        return false;
    if (place == RowPlace::InTable && !spend(target_->member(*table, cut)))
        return false;
    if (first == '[') {
        bool cutNext = false;
        for (;;) {
            const int c = next();
            if (c == ']')
                break;
            if (c < 0)
                return fail("row not closed");
            if (c == '(') {
                if (!cell(cutNext, nullptr))
                    return false;
                cutNext = false;
            } else if (c == '-') {
                cutNext = true;
            } else if (c == '[') { // row meta: nothing in it matters here
                int d;
                while ((d = next()) != ']') {
                    if (d != '(')
                        return fail(d < 0 ? "row meta not closed" : "unexpected byte in meta");
                    MetaCell ignored;
                    if (!cell(false, &ignored))
                        return false;
                }
            }
            // Any other byte is skipped, as the client does.
        }
    }
    const int c = next();
    if (c == '!') {
        quint32 position = 0;
        return hex(&position);
    }
    if (c >= 0)
        unget();
    return true;
}

// After '(': a column (^ID or a name), then "=value" or "^ID" naming a value of a dictionary,
// then ')'. To the target, or, for meta cells, into meta.
bool MorkParser::cell(bool cut, MetaCell* meta) {
    int c = next();
    MorkToken column = 0;
    if (c == '^') {
        Mid m;
        if (!mid(&m))
            return false;
        column = m.id;
    } else if (IsNameStart(c)) {
        QByteArray columnName;
        if (!name(&columnName))
            return false;
        column = nameToken(columnName);
    } else {
        return fail("expected a column");
    }
    QByteArray text;
    Mid reference;
    quint32 at = 0;
    c = next();
    if (c == '=') {
        at = quint32(pos_);
        if (meta ? !value(&text) : !skipValue())
            return false;
    } else if (c == '^') {
        if (!mid(&reference))
            return false;
        if (next() != ')')
            return fail("expected ) after a value reference");
        if (!meta) {
            at = atoms_.value({reference.scope ? reference.scope : kValueScope, reference.id});
            if (at == 0)
                return fail("reference to an undefined value");
        }
    } else {
        return fail("expected = or ^ in a cell");
    }
    if (meta) {
        meta->column = column;
        meta->text = text;
        meta->isReference = c == '^';
        meta->reference = reference;
        return true;
    }
    return spend(target_->cell(column, at, cut));
}

// An object id "HEX", optionally followed by ":^HEX" or ":name" giving its scope.
bool MorkParser::mid(Mid* out) {
    *out = Mid();
    if (!hex(&out->id))
        return false;
    if (get() != ':') {
        unget();
        return true;
    }
    const int c = get();
    if (c == '^') {
        quint32 scope = 0;
        if (!hex(&scope))
            return false;
        out->scope = scope;
        return true;
    }
    QByteArray scopeName;
    if (!IsNameStart(c) || !name(&scopeName))
        return fail("expected a scope after ':'");
    out->scope = nameToken(scopeName);
    return true;
}

// Hex digits after optional white space; like the client, only the last 32 bits are kept.
bool MorkParser::hex(quint32* out) {
    int c = next();
    if (HexDigitValue(c) < 0)
        return fail("expected a hex id");
    quint32 id = 0;
    do {
        id = (id << 4) | quint32(HexDigitValue(c));
        c = get();
    } while (HexDigitValue(c) >= 0);
    unget();
    *out = id;
    return true;
}

// The name whose first byte was just read.
bool MorkParser::name(QByteArray* out) {
    const qsizetype start = pos_ - 1;
    int c;
    while ((c = get()) >= 0 && IsNameMore(c)) {
    }
    unget();
    if (pos_ >= end_)
        return fail("the file ends inside a name");
    *out = in_.sliced(start, pos_ - start).toByteArray();
    return true;
}

// After '=': bytes up to an unescaped ')'. "\)" and "\\" stand for the byte after the
// backslash, a backslash before a line end continues the value on the next line, and "$XX"
// is the byte with that hex value.
bool MorkParser::value(QByteArray* out) {
    out->clear();
    for (;;) {
        const qsizetype run = pos_;
        while (pos_ < end_ && in_[pos_] != ')' && in_[pos_] != '\\' && in_[pos_] != '$')
            ++pos_;
        out->append(in_.sliced(run, pos_ - run));
        int c = get();
        if (c < 0)
            return fail("value not closed");
        if (c == ')')
            return true;
        if (c == '\\') {
            c = get();
            if (c < 0)
                return fail("value not closed");
            if (c == '\r' || c == '\n') {
                const int d = get();
                if (!((d == '\r' || d == '\n') && d != c))
                    unget();
                continue;
            }
        } else if (c == '$') {
            const int high = pos_ < end_ ? HexDigitValue(uchar(in_[pos_])) : -1;
            const int low = pos_ + 1 < end_ ? HexDigitValue(uchar(in_[pos_ + 1])) : -1;
            if (high >= 0 && low >= 0) {
                pos_ += 2;
                c = high * 16 + low;
            }
        }
        out->append(char(c));
    }
}

// As value, without keeping the text: up to the first ')' that no backslash escapes.
bool MorkParser::skipValue() {
    while (pos_ < end_) {
        const char c = in_[pos_];
        if (c == ')') {
            ++pos_;
            return true;
        }
        pos_ += c == '\\' ? 2 : 1;
    }
    pos_ = end_ + 1;
    return fail("value not closed");
}

MorkToken MorkParser::nameToken(const QByteArray& name) {
    if (name.size() == 1)
        return MorkToken(uchar(name.front()));
    const auto it = names_.constFind(name);
    if (it != names_.constEnd())
        return it.value();
    const MorkToken token = nextNameToken_++;
    names_.insert(name, token);
    return token;
}

bool MorkParser::spend(qsizetype cost) {
    budget_ -= cost;
    return budget_ >= 0 || fail("more objects than the file's size allows");
}

} // namespace parcelo
