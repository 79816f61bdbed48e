// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CParceloApp.h"
#include "support/TestEnv.h"
#include "ui/controls/MessageBox.h"
#include "ui/window/FormParcelo.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace parcelo::test {

// A window over a copy of the sample store, with its own application folder and destination,
// fresh settings, message boxes and shell opens recorded instead of shown.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        QFile::remove(settingsFile());
        ASSERT_TRUE(QDir(work.path()).mkpath("store") && QDir(work.path()).mkpath("app") &&
                    QDir(work.path()).mkpath("out"));
        ASSERT_TRUE(copyTree(examplesDir() + "/Local Folders", store()));
        app.Paths = AppPaths::ForFolder(work.filePath("app"));
        app.FolderPath = work.filePath("out") + "/";
        ui::SetMessageSink([this](const QString& text) { messages.append(text); });
    }

    void TearDown() override {
        window.reset();
        ui::SetMessageSink({});
    }

    ui::FormParcelo& open() {
        window = std::make_unique<ui::FormParcelo>(app, store());
        window->SetShellOpener([this](const QString& path) {
            opened.append(path);
            return true;
        });
        return *window;
    }

    QString store() const { return work.filePath("store"); }

    static QString settingsFile() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               "/Parcelo/Parcelo.ini";
    }

    static QVariant stored(const QString& key) {
        return QSettings(settingsFile(), QSettings::IniFormat).value(key);
    }

    QTemporaryDir work;
    CParceloApp app;
    std::unique_ptr<ui::FormParcelo> window;
    QStringList messages;
    QStringList opened;
};

} // namespace parcelo::test
