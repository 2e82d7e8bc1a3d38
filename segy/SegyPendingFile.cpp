#include "SegyPendingFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A hidden name beside the target that does not exist yet: ".<name>.<random>".
QByteArray TemporaryName(const QByteArray& target)
{
    const int slash = target.lastIndexOf('/');
    return target.left(slash + 1) + '.' + target.mid(slash + 1) + '.'
        + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

} // namespace

SegyPendingFile::~SegyPendingFile()
{
    Discard();
}

bool SegyPendingFile::Open(const QString& path, QString* reason)
{
    Discard();
    target = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        tempName = TemporaryName(target);
        fd = ::open(tempName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        *reason = Reason(errno);
        tempName.clear();
        return false;
    }
    // An existing file keeps its permissions.
    struct stat existing;
    if (::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);
    return true;
}

bool SegyPendingFile::Write(const void* data, std::size_t size, QString* reason)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *reason = Reason(n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool SegyPendingFile::Commit(QString* reason)
{
    if (tempName.isEmpty()) {
        // Give the unnamed file a temporary name, then move it over the target.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        for (int attempt = 0; attempt < 100 && tempName.isEmpty(); ++attempt) {
            const QByteArray name = TemporaryName(target);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW)
                == 0)
                tempName = name;
            else if (errno != EEXIST)
                break;
        }
        if (tempName.isEmpty()) {
            *reason = Reason(errno);
            Discard();
            return false;
        }
    }
    const int closed = ::close(fd);
    const int closeError = errno;
    fd = -1;
    if (closed != 0 && closeError != EINTR) {
        *reason = Reason(closeError);
        Discard();
        return false;
    }
    if (::rename(tempName.constData(), target.constData()) != 0) {
        *reason = Reason(errno);
        Discard();
        return false;
    }
    tempName.clear();
    return true;
}

void SegyPendingFile::Discard()
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (!tempName.isEmpty()) {
        ::unlink(tempName.constData());
        tempName.clear();
    }
}
