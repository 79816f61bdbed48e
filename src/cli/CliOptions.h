// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace parcelo::cli {

struct CliOptions {
    enum class Command { None, Help, Version, Tree, Export } command = Command::None;
    QString store;
    QString dest;
    QStringList folders;
    QString filters;
    std::vector<std::pair<QString, QString>> settings;
    QString appFolder;
    bool openIndex = false;
};

// False with a reason for a usage error. Paths are made absolute and cleaned.
bool ParseCliOptions(const QStringList& arguments, CliOptions* options, QString* error);

QString UsageText();

} // namespace parcelo::cli
