#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stamp_files.h"

namespace kestran::stamp {

PathFacts ExaminePath(const std::string& path) {
    PathFacts facts;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            facts.kind = PathKind::Unexaminable;
            facts.failure = std::strerror(errno);
        }
        return facts;
    }
    facts.kind = S_ISREG(info.st_mode) ? PathKind::RegularFile : PathKind::NotRegular;
    facts.volume = info.st_dev;
    facts.file = info.st_ino;
    facts.size = static_cast<uint64_t>(info.st_size);
    return facts;
}

bool ReadWholeFile(const std::string& path, Bytes& data, std::string& failure) {
    // Without blocking: a FIFO swapped in after the path was examined is refused, not waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    bool read = fd >= 0 && fstat(fd, &info) == 0;
    if (read && !S_ISREG(info.st_mode)) {
        read = false;
        errno = EINVAL;
    }
    if (read) data.resize(static_cast<size_t>(info.st_size));
    for (size_t at = 0; read && at < data.size();) {
        const ssize_t done = ::read(fd, data.data() + at, data.size() - at);
        if (done < 0 && errno == EINTR) continue;
        if (done == 0) errno = EIO;  // shrunk while being read
        read = done > 0;
        if (read) at += static_cast<size_t>(done);
    }
    if (!read) failure = std::strerror(errno);
    if (fd >= 0) close(fd);
    return read;
}

NewFile WriteNewFile(const std::string& path, const Bytes& data, std::string& failure) {
    // O_EXCL fails on any name that exists, O_NOFOLLOW on a link planted there. The mode is a
    // linker's: everyone's permissions less the umask.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0777);
    if (fd < 0) {
        if (errno == EEXIST || errno == ELOOP) return NewFile::NameTaken;
        failure = std::strerror(errno);
        return NewFile::Failed;
    }
    bool written = true;
    for (size_t at = 0; written && at < data.size();) {
        const ssize_t done = write(fd, data.data() + at, data.size() - at);
        if (done < 0 && errno == EINTR) continue;
        if (done == 0) errno = ENOSPC;
        written = done > 0;
        if (written) at += static_cast<size_t>(done);
    }
    written = written && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written) return NewFile::Written;
    failure = std::strerror(error);
    unlink(path.c_str());
    return NewFile::Failed;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& failure) {
    if (rename(from.c_str(), to.c_str()) == 0) return true;
    failure = std::strerror(errno);
    return false;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

}  // namespace kestran::stamp
