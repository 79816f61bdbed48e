// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsStore.h"

#include "app/SettingKey.h"
#include "platform/IniText.h"
#include "platform/ProductInfo.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace parcelo {

namespace {

// The value of key in [section] exactly as the file's line holds it, white space around it
// trimmed. Texts written by hand are meant as written: "/tmp/My Mail, old/" is one path,
// which the INI reader would split into a list at the comma.
QString rawIniText(const QString& fileName, const QString& section, const QString& key) {
    for (const auto& [name, values] : ReadIniText(fileName))
        if (name == section)
            return values.value(key);
    return {};
}

QVariant readValue(const QString& section, const QString& key) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kProductName, kProductName);
    if (settings.status() != QSettings::NoError)
        return {};
    const QString path = section.isEmpty() ? key : section + QLatin1Char('/') + key;
    const QVariant value = settings.value(path);
    if (value.metaType().id() == QMetaType::QStringList)
        return rawIniText(settings.fileName(), section, key);
    return value;
}

void writeValue(const QString& section, const QString& key, const QVariant& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kProductName, kProductName);
    settings.setValue(section.isEmpty() ? key : section + QLatin1Char('/') + key, value);
    settings.sync();
}

} // namespace

bool ParseSettingInt(const QString& text, int* value) {
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok, 10);
    if (ok && value)
        *value = parsed;
    return ok;
}

QString ReadSettingString(const QString& section, const QString& key, const QString& fallback) {
    const QVariant value = readValue(section, key);
    if (!value.isValid())
        return fallback;
    const QString text = value.toString();
    if (text.isEmpty() || text.size() > kMaxSettingTextLength)
        return fallback;
    return text;
}

int ReadSettingInt(const QString& section, const QString& key, int fallback) {
    const QVariant value = readValue(section, key);
    int result = fallback;
    if (value.isValid() && ParseSettingInt(value.toString(), &result))
        return result;
    return fallback;
}

void WriteSettingString(const QString& section, const QString& key, const QString& value) {
    writeValue(section, key, value);
}

void WriteSettingInt(const QString& section, const QString& key, int value) {
    writeValue(section, key, value);
}

int ReadSetting(const SettingKey& key) {
    return ReadSettingInt(key.section(), key.name(), key.IntDefault);
}

QString ReadSettingText(const SettingKey& key, const QString& appFolder) {
    const QString fallback = key.TextDefault ? QString::fromLatin1(key.TextDefault) : appFolder;
    return ReadSettingString(key.section(), key.name(), fallback);
}

void WriteSetting(const SettingKey& key, int value) {
    WriteSettingInt(key.section(), key.name(), value);
}

void WriteSetting(const SettingKey& key, const QString& text) {
    WriteSettingString(key.section(), key.name(), text);
}

} // namespace parcelo
