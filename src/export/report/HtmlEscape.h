#pragma once

#include <QString>

namespace parcelo {

// Mail addresses for the index page: < > " space ' ( ) become numeric character references;
// everything else, the ampersand too, stays.
QString HtmlEscapeAddress(const QString& text);

// Any other text for the index page: & < > " become entities, so it shows as text.
QString HtmlEscapeText(const QString& text);

} // namespace parcelo
