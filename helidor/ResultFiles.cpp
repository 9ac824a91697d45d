// SPDX-License-Identifier: GPL-3.0-or-later
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
    std::string Header; // with its line end
    bool Created = false;
};
ResultFile First;
ResultFile Second;
// Beside each result file, created at the first evaluation that writes to it.
ResultFile FirstAudit;
ResultFile SecondAudit;

[[noreturn]] void Refuse(Texts::Entry entry, const std::string& name, const std::string& other = "")
{
    throw std::runtime_error(Texts::Message(entry, { name, other }));
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

// True when status is that of file, a file this module created.
bool IsThisFile(const ResultFile& file, const struct stat& status)
{
    return file.Created && status.st_dev == file.Device && status.st_ino == file.Inode;
}

// Where the name proper starts, after the folders in front of it.
std::size_t FileNameStart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
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

void Append(ResultFile& file, const std::string& text);

// Creates (or cuts) the file under name with header. Lines kept for it stay kept.
void Create(
    ResultFile& file, const std::string& name, const ResultFile* other, const std::string& header)
{
    for (const char* picture : { Adjustment::ConstructionPicture, Adjustment::ScreenPicture })
        if (SameFile(name, picture))
            Refuse(Texts::ResultFileClash, name, picture);
    // A file over a full disk reports it when written, not when created.
    std::signal(SIGXFSZ, SIG_IGN);
    struct stat status { };
    const int fd = OpenRegular(name, status, 0);
    if (other && IsThisFile(*other, status)) {
        ::close(fd);
        Refuse(Texts::ResultFileClash, name, other->Name);
    }
    const int error = ::ftruncate(fd, 0) != 0 ? errno : WriteAll(fd, header);
    if (::close(fd) != 0 || error != 0)
        Refuse(Texts::ResultFileNotWritten, name);
    file.Name = name;
    file.Device = status.st_dev;
    file.Inode = status.st_ino;
    file.Header = header;
    file.Created = true;
}

// The audit file of a result file: named, created at its first lines.
ResultFile AuditOf(const std::string& resultFileName)
{
    ResultFile audit;
    audit.Name = AuditFileName(resultFileName);
    return audit;
}

void AppendToAudit(ResultFile& file, const ResultFile* other, const std::string& text)
{
    if (file.Name.empty())
        return; // no result file, no audit file
    if (!file.Created) {
        try {
            Create(file, file.Name, other, std::string(AuditHeader) + AuditLineEnd);
        } catch (const std::runtime_error&) {
            file.KeptLines += text;
            throw;
        }
    }
    Append(file, text);
}

// The kept lines and text, whole or not at all.
void Append(ResultFile& file, const std::string& text)
{
    file.KeptLines += text;
    struct stat status { };
    const int fd = OpenRegular(file.Name, status, O_APPEND);
    const off_t size = status.st_size;
    // A file removed meanwhile starts again with its header.
    const std::string header = size == 0 ? file.Header : "";
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
    const std::size_t nameStart = FileNameStart(resultFileName);
    const std::size_t dot = resultFileName.find('.', nameStart);
    const std::size_t at = dot == std::string::npos ? nameStart : dot;
    return resultFileName.substr(0, at) + "2" + resultFileName.substr(at);
}

std::string AuditFileName(const std::string& resultFileName)
{
    const std::size_t nameStart = FileNameStart(resultFileName);
    const std::size_t dot = resultFileName.find_last_of('.');
    // A dot that starts the name (".results") begins no extension.
    const bool extension = dot != std::string::npos && dot > nameStart;
    return resultFileName.substr(0, extension ? dot : std::string::npos) + ".fit.tsv";
}

void CreateResultFile(const std::string& name)
{
    First.KeptLines.clear();
    Create(First, name, nullptr, std::string(ResultHeader) + LineEnd);
    FirstAudit = AuditOf(name);
}

void CreateSecondResultFile(const std::string& name)
{
    Second.KeptLines.clear();
    Create(Second, name, &First, std::string(ResultHeader) + LineEnd);
    SecondAudit = AuditOf(name);
    SecondResultFileOpen = true;
}

void AppendToAuditFile(const std::string& text)
{
    AppendToAudit(FirstAudit, nullptr, text);
}

void AppendToSecondAuditFile(const std::string& text)
{
    AppendToAudit(SecondAudit, &FirstAudit, text);
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
    for (const ResultFile* file : { &First, &Second, &FirstAudit, &SecondAudit })
        if (IsThisFile(*file, status))
            return true;
    return false;
}

void FlushAll()
{
    LastTry(First);
    LastTry(Second);
    LastTry(FirstAudit);
    LastTry(SecondAudit);
}

void Reset()
{
    First = {};
    Second = {};
    FirstAudit = {};
    SecondAudit = {};
    SecondResultFileOpen = false;
}

} // namespace ResultFiles
