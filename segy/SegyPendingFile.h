#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

// A file that appears under its name only when complete. It is written unnamed in the target's
// folder (O_TMPFILE), or under a hidden temporary name where the file system has no unnamed
// files, and renamed over the target by Commit. A crash, Discard or the destructor leaves the
// target as it was. Commit does not wait for the disk (no fsync), as cp does not.
class SegyPendingFile {
public:
    SegyPendingFile() = default;
    ~SegyPendingFile();
    SegyPendingFile(const SegyPendingFile&) = delete;
    SegyPendingFile& operator=(const SegyPendingFile&) = delete;

    // false with the system's reason.
    bool Open(const QString& path, QString* reason);
    bool Write(const void* data, std::size_t size, QString* reason);
    bool Commit(QString* reason);
    void Discard();
    bool IsOpen() const { return fd >= 0; }

private:
    int fd = -1;
    QByteArray target;
    QByteArray tempName; // empty while the file has no name
};
