// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The system's words for an errno value ("No space left on device"), in the locale's language.
QString SystemErrorText(int error);

} // namespace parcelo
