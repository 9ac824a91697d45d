#include "ResultFiles.h"

#include "Adjustment.h"
#include "Texts.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ResultFiles {

namespace {

struct ResultFile {
    std::string Name;
    std::string KeptLines; // written by no evaluation yet
    dev_t Device = 0;
    ino_t Inode = 0;
};
ResultFile First;
ResultFile Second;

[[noreturn]] void Refuse(Texts::Entry entry, const std::string& name, const std::string& other = "")
{
    throw std::runtime_error(Texts::Message(entry, name, other));
}

std::string Reason(int error)
{
    if (error == ENOSPC || error == EFBIG || error == EDQUOT)
        return Texts::Text(Texts::DiskFull);
    if (error == EACCES || error == EPERM || error == EROFS)
        return Texts::Text(Texts::NoWritePermission);
    return Texts::Text(Texts::WriteError);
}

bool Same(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Two names of one file: the same inode, or, where one does not exist yet,
// the same path.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa { };
    struct stat sb { };
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return Same(sa, sb);
    const auto full = [](const std::string& name) {
        std::error_code error;
        const auto path
            = std::filesystem::weakly_canonical(std::filesystem::absolute(name, error), error);
        return error ? std::filesystem::path(name) : path;
    };
    return full(a) == full(b);
}

// Opens name for writing without waiting on a FIFO and refuses anything but
// a regular file. An existing file is not cut here.
int OpenRegular(const std::string& name, struct stat& status, int flags)
{
    if (name.empty() || (::stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode)))
        Refuse(Texts::NotARegularFile, name);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | flags, 0644);
    if (fd < 0)
        Refuse(Texts::ResultFileNotWritten, name);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        Refuse(Texts::NotARegularFile, name);
    }
    return fd;
}

// The whole text, or errno of the failure.
int WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

void Create(ResultFile& file, const std::string& name, const ResultFile* other)
{
    for (const char* picture : { Adjustment::ConstructionPicture, Adjustment::ScreenPicture })
        if (SameFile(name, picture))
            Refuse(Texts::ResultFileClash, name, picture);
    // A file over a full disk reports it when written, not when created.
    std::signal(SIGXFSZ, SIG_IGN);
    struct stat status { };
    const int fd = OpenRegular(name, status, 0);
    if (other && !other->Name.empty() && status.st_dev == other->Device
        && status.st_ino == other->Inode) {
        ::close(fd);
        Refuse(Texts::ResultFileClash, name, other->Name);
    }
    const int error
        = ::ftruncate(fd, 0) != 0 ? errno : WriteAll(fd, std::string(ResultHeader) + LineEnd);
    if (::close(fd) != 0 || error != 0)
        Refuse(Texts::ResultFileNotWritten, name);
    file = { name, "", status.st_dev, status.st_ino };
}

// The kept lines and text, whole or not at all.
void Append(ResultFile& file, const std::string& text)
{
    file.KeptLines += text;
    struct stat status { };
    const int fd = OpenRegular(file.Name, status, O_APPEND);
    const off_t size = status.st_size;
    // A file removed meanwhile starts again with its header.
    const std::string header = size == 0 ? std::string(ResultHeader) + LineEnd : "";
    int error = WriteAll(fd, header + file.KeptLines);
    if (error != 0 && ::ftruncate(fd, size) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        Refuse(Texts::ResultLinesKept, file.Name, Reason(error));
    file.KeptLines.clear();
}

void LastTry(ResultFile& file)
{
    if (file.KeptLines.empty())
        return;
    try {
        Append(file, "");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n%s", error.what(), file.KeptLines.c_str());
    }
}

} // namespace

std::string SecondFileName(const std::string& resultFileName)
{
    const std::size_t slash = resultFileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = resultFileName.find('.', nameStart);
    const std::size_t at = dot == std::string::npos ? nameStart : dot;
    return resultFileName.substr(0, at) + "2" + resultFileName.substr(at);
}

void CreateResultFile(const std::string& name)
{
    Create(First, name, nullptr);
}

void CreateSecondResultFile(const std::string& name)
{
    Create(Second, name, &First);
    SecondResultFileOpen = true;
}

void AppendToResultFile(const std::string& text)
{
    Append(First, text);
}

void AppendToSecondResultFile(const std::string& text)
{
    Append(Second, text);
}

bool IsResultFile(const std::string& name)
{
    struct stat status { };
    if (::stat(name.c_str(), &status) != 0)
        return false;
    for (const ResultFile* file : { &First, &Second })
        if (!file->Name.empty() && status.st_dev == file->Device && status.st_ino == file->Inode)
            return true;
    return false;
}

void FlushAll()
{
    LastTry(First);
    LastTry(Second);
}

void Reset()
{
    First = {};
    Second = {};
    SecondResultFileOpen = false;
}

} // namespace ResultFiles
