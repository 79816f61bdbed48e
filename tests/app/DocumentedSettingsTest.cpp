// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingKey.h"
#include "support/TestEnv.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

QSet<QString> overridableKeys() {
    QSet<QString> keys;
    for (const SettingKey& key : SettingKeys())
        if (FindOverridableSettingKey(key.name()) == &key)
            keys << key.name();
    return keys;
}

QSet<QString> matches(const QString& text, const QString& pattern) {
    QSet<QString> found;
    for (const QRegularExpressionMatch& m : QRegularExpression(pattern).globalMatch(text))
        found << m.captured(1);
    return found;
}

QString sourceText(const char* path) {
    return QString::fromUtf8(test::readFile(QStringLiteral(PARCELO_SOURCE_DIR "/") + path));
}

} // namespace

// A key that --set takes is one the manual page explains and the shell completes, with values.
TEST(DocumentedSettings, TheManualPageAndTheCompletionListEveryKeySetTakes) {
    const QSet<QString> keys = overridableKeys();
    ASSERT_GE(keys.size(), 10);

    const QString page = sourceText("res/man/parcelo-cli.1.in");
    const qsizetype begin = page.indexOf("\n.SH SETTINGS\n");
    const qsizetype end = page.indexOf("\n.SH ", begin + 1);
    ASSERT_TRUE(begin >= 0 && end > begin);
    EXPECT_EQ(matches(page.mid(begin, end - begin), R"(\n\.TP\n\.B (\w+)\n)"), keys);

    const QString completion = sourceText("res/completion/parcelo-cli");
    const QRegularExpressionMatch listed =
        QRegularExpression(R"re(local keys="([^"]*)")re").match(completion);
    ASSERT_TRUE(listed.hasMatch());
    EXPECT_EQ(matches(listed.captured(1), R"((\w+))"), keys);
    // Each key has a line of values in the completion's case list.
    QSet<QString> withValues;
    for (const QString& label : matches(completion, R"(\n\s+([\w |]+)\)\s*(?:\n\s*)?echo )"))
        for (const QString& key : label.split('|'))
            withValues << key.trimmed();
    EXPECT_EQ(withValues, keys);
}
