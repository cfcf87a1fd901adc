#pragma once

#include <QString>
#include <QTemporaryFile>

// A file written whole or not at all, as with QSaveFile: the bytes go to a
// temporary file beside it, renamed over it once complete. The temporary
// file has no name where the system allows it; where it cannot (Windows,
// network shares) QSaveFile's would be named like "out.pdf.Ab12Cd", which
// nobody recognises, while ours is named "<name>.tombrix-XXXXXX.tmp", so
// that one left by a write cut off half-way is known as ours and removed
// at the next write to that folder.
class OwnSaveFile {
public:
    explicit OwnSaveFile(const QString& path);
    ~OwnSaveFile(); // a file not committed leaves nothing behind
    OwnSaveFile(const OwnSaveFile&) = delete;
    OwnSaveFile& operator=(const OwnSaveFile&) = delete;

    // Clears our own leftovers in the folder, then opens the temporary file.
    bool open();
    QIODevice& device() { return m_temp; }
    // Puts the written bytes in place of the file; false when they cannot
    // be (the file is then as it was).
    bool commit();
    QString errorString() const;

    // Our temporary files in `folder` that no write has touched for ten
    // minutes are removed; a write going on elsewhere keeps its own.
    static void removeLeftovers(const QString& folder);
    static bool isOurs(const QString& fileName);

private:
    QString m_path;
    QTemporaryFile m_temp;
    QString m_error;
};
