#include "OwnSaveFile.h"

#include "SystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <filesystem>
#include <system_error>

namespace {
const QLatin1String kMark(".tombrix-");
const QLatin1String kEnd(".tmp");
} // namespace

OwnSaveFile::OwnSaveFile(const QString& path)
    : m_path(path), m_temp(path + kMark + QStringLiteral("XXXXXX") + kEnd) {
    m_temp.setAutoRemove(true);
}

OwnSaveFile::~OwnSaveFile() = default;

bool OwnSaveFile::isOurs(const QString& fileName) {
    static const QRegularExpression pattern(QStringLiteral("^.+\\.tombrix-[A-Za-z0-9]{6}\\.tmp$"));
    return pattern.match(fileName).hasMatch();
}

void OwnSaveFile::removeLeftovers(const QString& folder) {
    const QDir dir(folder);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-600);
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral("*.tombrix-*.tmp")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& fi : entries)
        if (isOurs(fi.fileName()) && fi.lastModified().toUTC() < before)
            QFile::remove(fi.filePath());
}

bool OwnSaveFile::open() {
    removeLeftovers(QFileInfo(m_path).absolutePath());
    const QFileInfo target(m_path);
    if (target.exists() && !target.isFile()) {
        m_error = QStringLiteral("nu este un fisier");
        return false;
    }
    if (!m_temp.open()) {
        m_error = m_temp.errorString();
        return false;
    }
    // The file keeps the permissions it had; a new one gets the usual
    // ones, not the temporary file's private ones.
    m_temp.setPermissions(target.exists()
                              ? QFile(m_path).permissions()
                              : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                    QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

bool OwnSaveFile::commit() {
    if (!m_temp.isOpen())
        return false;
    if (!m_temp.flush() || m_temp.error() != QFileDevice::NoError) {
        m_error = m_temp.errorString();
        return false;
    }
    m_temp.close();
    std::error_code ec;
    // Replaces the file in one step where the system allows it.
    std::filesystem::rename(QFile::encodeName(m_temp.fileName()).toStdString(),
                            QFile::encodeName(m_path).toStdString(), ec);
    if (ec) {
        m_error = SystemError::text(ec.value());
        return false;
    }
    m_temp.setAutoRemove(false);
    return true;
}

QString OwnSaveFile::errorString() const {
    return SystemError::romanian(m_error.isEmpty() ? m_temp.errorString() : m_error);
}
