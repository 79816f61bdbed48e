// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace parcelo::ui {

// One running window per user: a lock file in the user's runtime folder, and a local server
// through which a later copy asks the running one to come forward.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The folder of the lock and the socket; empty for the user's runtime folder.
    explicit SingleInstance(const QString& folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first copy (it now answers later ones). False when another copy
    // runs; it has been asked to come forward, and this copy should quit touching nothing.
    bool TryAcquire();

    static inline const QString kInstanceName =
        QStringLiteral("Parcelo-{7F1D3E94-5988-4124-B452-850737E777C5}");

Q_SIGNALS:
    void ActivateRequested();

private:
    void onConnection();

    QString lockPath_;
    QString serverName_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

} // namespace parcelo::ui
