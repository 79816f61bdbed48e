// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace parcelo {

// Mail addresses for the index page: < > " space ' ( ) become numeric character references;
// everything else, the ampersand too, stays.
QString HtmlEscapeAddress(const QString& text);

// Any other text for the index page: & < > " become entities, so it shows as text.
QString HtmlEscapeText(const QString& text);

// The same two, appending UTF-8 text to out: what they escape is ASCII, so the bytes are
// those of the QString forms.
void AppendHtmlEscapedAddress(QByteArray* out, QByteArrayView utf8);
void AppendHtmlEscapedText(QByteArray* out, QByteArrayView utf8);

} // namespace parcelo
