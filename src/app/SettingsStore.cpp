#include "app/SettingsStore.h"

#include "platform/ProductInfo.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace parcelo {

namespace {

QVariant readValue(const QString& section, const QString& key) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kProductName, kProductName);
    if (settings.status() != QSettings::NoError)
        return {};
    const QString path = section.isEmpty() ? key : section + QLatin1Char('/') + key;
    return settings.value(path);
}

QString valueText(const QVariant& value) {
    // An unquoted hand-written text with commas reads back as a list.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
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
    const QString text = valueText(value);
    if (text.isEmpty() || text.size() > kMaxSettingTextLength)
        return fallback;
    return text;
}

int ReadSettingInt(const QString& section, const QString& key, int fallback) {
    const QVariant value = readValue(section, key);
    int result = fallback;
    if (value.isValid() && ParseSettingInt(valueText(value), &result))
        return result;
    return fallback;
}

void WriteSettingString(const QString& section, const QString& key, const QString& value) {
    writeValue(section, key, value);
}

void WriteSettingInt(const QString& section, const QString& key, int value) {
    writeValue(section, key, value);
}

} // namespace parcelo
