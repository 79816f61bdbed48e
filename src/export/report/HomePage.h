#pragma once

#include <QString>

namespace parcelo {

// The product's home page, linked from the heading of the index page.
#ifndef PARCELO_HOME_PAGE
#define PARCELO_HOME_PAGE "https://parcelo.example.org/"
#endif

inline const QString kHomePageUrl = QStringLiteral(PARCELO_HOME_PAGE);

} // namespace parcelo
