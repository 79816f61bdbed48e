// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace parcelo {

// What a run of whole body lines adds to an mbox message, found without looking at each line
// in turn: bodies are most of an mbox, and only their size and their end matter here.
struct MboxBodySkim {
    qsizetype stop = 0;        // a separator line's start, or where the first partial line starts
    qsizetype lines = 0;       // the whole lines before stop
    quint64 canonicalSize = 0; // their size in canonical form (see CrlfCanonicalizer), the last
                               // one left out when it is empty
    bool lastEmpty = false;    // the last of them is an empty line
    qsizetype lastEmptyStart = 0;
};

// Skims data[pos, length) from a line start. A separator is a line starting "From " after an
// empty line; previousEmpty tells whether the line before pos was one.
MboxBodySkim SkimMboxBody(const char* data, qsizetype pos, qsizetype length, bool previousEmpty);

} // namespace parcelo
