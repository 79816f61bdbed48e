// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo {

// Makes root/components[0]/components[1]/... exist as a directory. Every component is
// checked with IsValidPathComponent before anything is created, so a bad name (or "..")
// creates nothing. The root is taken as given (clean it with CleanRootPath) and is never
// created. Returns whether the whole path is a directory afterwards; when not, error says why.
bool EnsureDirectoryPath(const QString& root, const QStringList& components,
                         QString* error = nullptr);

// The root made absolute and cleaned: no "." or ".." components, no trailing "/"
// (except for "/" itself).
QString CleanRootPath(const QString& root);

// root + "/" + components joined by "/", without doubling the separator after "/".
QString JoinDirectory(const QString& root, const QStringList& components);

} // namespace parcelo
