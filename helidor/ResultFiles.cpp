// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultFiles.h"

#include "Files.h"

#include "NumberText.h"
#include "Texts.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ResultFiles {

std::string WriteFailureReason(int error)
{
    if (error == ENOSPC || error == EFBIG || error == EDQUOT)
        return Texts::Text(Texts::DiskFull);
    if (error == EACCES || error == EPERM || error == EROFS)
        return Texts::Text(Texts::NoWritePermission);
    return Texts::Text(Texts::WriteError);
}

namespace {

struct ResultFile {
    std::string Name {};
    std::string KeptLines {}; // written by no evaluation yet
    dev_t Device = 0;
    ino_t Inode = 0;
    std::string Header {}; // with its line end
    bool Created = false;
    bool IsAudit = false;
};
// A result file and the audit file beside it, created at the first
// evaluation that writes to it.
struct Pair {
    ResultFile Result;
    ResultFile Audit { .IsAudit = true };
};
std::array<Pair, 2> Pairs; // by exposure
bool SecondOpen = false;

// Every file, in the order of the messages about them.
std::array<ResultFile*, 4> AllFiles()
{
    return { &Pairs[0].Result, &Pairs[1].Result, &Pairs[0].Audit, &Pairs[1].Audit };
}

// A name that cannot take a file of ours: the message for a result file, and
// the reason alone, which the audit files' messages name.
struct Refusal : std::runtime_error {
    Refusal(const std::string& message, std::string reason)
        : std::runtime_error(message)
        , Reason(std::move(reason))
    {
    }
    std::string Reason;
};

[[noreturn]] void RefuseNotRegular(const std::string& name)
{
    throw Refusal(
        Texts::Message(Texts::NotARegularFile, { name }), Texts::Text(Texts::NoRegularFileReason));
}

[[noreturn]] void RefuseClash(const std::string& name, const std::string& other)
{
    throw Refusal(Texts::Message(Texts::ResultFileClash, { name, other }),
        Texts::Message(Texts::SameFileReason, { other }));
}

[[noreturn]] void RefuseForeign(const std::string& name)
{
    throw Refusal(
        Texts::Message(Texts::NotAResultFile, { name }), Texts::Text(Texts::NotAnAuditFileReason));
}

[[noreturn]] void RefuseUnwritable(const std::string& name, int error)
{
    throw Refusal(Texts::Message(Texts::ResultFileNotWritten, { name }), WriteFailureReason(error));
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

// The file a name ends at: symbolic links followed also where they lead to
// nothing yet, since opening such a name creates the file it points to.
std::filesystem::path Resolved(const std::string& name)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = fs::absolute(name, error);
    if (error)
        return name;
    for (int hops = 0; hops < 40; ++hops) { // as the system's own limit on links
        const fs::path canonical = fs::weakly_canonical(path, error);
        if (error)
            break;
        path = canonical;
        const bool link = fs::is_symlink(fs::symlink_status(path, error));
        const fs::path target = link ? fs::read_symlink(path, error) : fs::path();
        if (!link || error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path.lexically_normal();
}

// Two names of one file: the same inode, or, where one does not exist yet,
// the same path.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa { };
    struct stat sb { };
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return Same(sa, sb);
    return Resolved(a) == Resolved(b);
}

// True when the file of fd is empty or begins with line (its line end CR
// LF or LF, or none in line).
bool BeginsWithLine(int fd, const std::string& header)
{
    const std::string line = header.substr(0, header.find_first_of("\r\n"));
    std::string start(line.size() + 2, '\0');
    std::size_t got = 0;
    while (got < start.size()) {
        const ssize_t n
            = ::pread(fd, start.data() + got, start.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    start.resize(got);
    if (start.empty())
        return true;
    return start.starts_with(line + "\r\n") || start.starts_with(line + "\n");
}

// True when the file of fd is empty or begins with the header line (its line
// end CR LF or LF): a file of ours, that may be replaced. An audit file from
// before the time and picture columns is ours too.
bool BeginsWithHeader(int fd, const std::string& header)
{
    constexpr const char* FormerAuditHeader
        = "measurement\tobject\tx\ty\tr\tsigma_x\tsigma_y\tsigma_r\tpa\tsigma_pa\tfit";
    return BeginsWithLine(fd, header)
        || (header.starts_with(AuditHeader) && BeginsWithLine(fd, FormerAuditHeader));
}

// Refuses name for a file of this kind, before anything is created or cut:
// a screen picture, one of the others, anything but a regular file, a file
// that is not ours.
void CheckName(
    const std::string& name, const std::string& header, std::initializer_list<std::string> others)
{
    for (const char* picture : { ConstructionPicture, ScreenPicture })
        if (SameFile(name, picture))
            RefuseClash(name, picture);
    for (const std::string& other : others)
        if (!other.empty() && SameFile(name, other))
            RefuseClash(name, other);
    if (name.empty())
        RefuseNotRegular(name);
    struct stat status { };
    if (::stat(name.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return; // nothing there yet, or a link to nothing yet: its path is checked above
        RefuseUnwritable(name, errno);
    }
    if (!S_ISREG(status.st_mode))
        RefuseNotRegular(name);
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        RefuseUnwritable(name, errno);
    const bool ours = BeginsWithHeader(fd, header);
    ::close(fd);
    if (!ours)
        RefuseForeign(name);
}

// Opens name for appending without waiting on a FIFO and refuses anything
// but a regular file.
int OpenForAppending(const std::string& name)
{
    struct stat status { };
    if (name.empty() || (::stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode)))
        RefuseNotRegular(name);
    const int fd
        = ::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        RefuseUnwritable(name, errno);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        RefuseNotRegular(name);
    }
    return fd;
}

// The whole text, or errno of the failure.
int WriteAll(int fd, const std::string& text)
{
    return Files::WriteAll(fd, text.data(), text.size());
}

// Creates (or replaces) the file under name with header. Lines kept for it
// stay kept. others: the names of the run's other files, created or not.
void Create(ResultFile& file, const std::string& name, const std::string& header,
    std::initializer_list<std::string> others)
{
    CheckName(name, header, others);
    // A file over a full disk reports it when written, not when created.
    std::signal(SIGXFSZ, SIG_IGN);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        RefuseUnwritable(name, errno);
    // What the name holds now, which may have changed since the check.
    const auto refuse = [fd](auto how, auto... values) {
        ::close(fd);
        how(values...);
    };
    struct stat status { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        refuse(RefuseNotRegular, name);
    for (const ResultFile* other : AllFiles())
        if (other != &file && IsThisFile(*other, status))
            refuse(RefuseClash, name, other->Name);
    if (!BeginsWithHeader(fd, header))
        refuse(RefuseForeign, name);
    int error = ::ftruncate(fd, 0) != 0 ? errno : WriteAll(fd, header);
    if (error != 0 && ::ftruncate(fd, 0) != 0)
        error = errno; // a header cut short would make the file look foreign
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        RefuseUnwritable(name, error);
    file.Name = name;
    file.Device = status.st_dev;
    file.Inode = status.st_ino;
    file.Header = header;
    file.Created = true;
}

const std::string AuditHeaderLine = std::string(AuditHeader) + AuditLineEnd;
const std::string ResultHeaderLine = std::string(ResultHeader) + LineEnd;

// The result file of pair under name; its audit file named, to be created at
// its first lines.
void CreatePair(Pair& pair, const std::string& name, std::initializer_list<std::string> others)
{
    pair.Result.KeptLines.clear();
    Create(pair.Result, name, ResultHeaderLine, others);
    pair.Audit = { .Name = AuditFileName(name), .IsAudit = true };
}

// The audit file's name refused at the result file's question, so that the
// user can choose another name there.
void CheckAuditName(const std::string& name, std::initializer_list<std::string> others)
{
    try {
        CheckName(name, AuditHeaderLine, others);
    } catch (const Refusal& refusal) {
        throw std::runtime_error(Texts::Message(Texts::AuditFileRefused, { name, refusal.Reason }));
    }
}

// The lines of file are kept: the message says why.
[[noreturn]] void RefuseKept(const ResultFile& file, const std::string& reason)
{
    throw std::runtime_error(Texts::Message(
        file.IsAudit ? Texts::AuditLinesKept : Texts::ResultLinesKept, { file.Name, reason }));
}

// The audit file that belongs to file, created with its header, refused as
// the result files are.
void CreateAudit(ResultFile& file)
{
    const std::string& first = Pairs[0].Result.Name;
    const std::string second
        = Pairs[1].Result.Name.empty() ? SecondFileName(first) : Pairs[1].Result.Name;
    const std::string other
        = &file == &Pairs[0].Audit ? AuditFileName(second) : Pairs[0].Audit.Name;
    Create(file, file.Name, AuditHeaderLine, { first, second, other });
}

// The kept lines and text, whole or not at all.
void Write(ResultFile& file, const std::string& text)
{
    if (file.IsAudit && file.Name.empty())
        return; // no result file, no audit file
    file.KeptLines += text;
    int fd = -1;
    try {
        if (file.IsAudit && !file.Created)
            CreateAudit(file);
        fd = OpenForAppending(file.Name);
    } catch (const Refusal& refusal) {
        RefuseKept(file, refusal.Reason);
    }
    struct stat status { };
    const off_t size = ::fstat(fd, &status) == 0 ? status.st_size : 0;
    // A file removed meanwhile starts again with its header.
    const std::string header = size == 0 ? file.Header : "";
    int error = WriteAll(fd, header + file.KeptLines);
    if (error != 0 && ::ftruncate(fd, size) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        RefuseKept(file, WriteFailureReason(error));
    file.KeptLines.clear();
}

void LastTry(ResultFile& file)
{
    if (file.KeptLines.empty())
        return;
    try {
        Write(file, "");
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
    // The result file's own faults first; its audit file's before anything is cut.
    CheckName(name, ResultHeaderLine, {});
    const std::string second = SecondFileName(name);
    CheckAuditName(AuditFileName(name), { name, second, AuditFileName(second) });
    CreatePair(Pairs[0], name, {});
    SecondOpen = false;
}

void CreateSecondResultFile(const std::string& name)
{
    const Pair& first = Pairs[0];
    CheckName(name, ResultHeaderLine, { first.Result.Name });
    CheckAuditName(AuditFileName(name), { first.Result.Name, first.Audit.Name, name });
    CreatePair(Pairs[1], name, { first.Result.Name, first.Audit.Name });
    SecondOpen = true;
}

bool SecondResultFileOpen()
{
    return SecondOpen;
}

void Append(Exposure exposure, Kind kind, const std::string& text)
{
    Pair& pair = Pairs[static_cast<std::size_t>(exposure)];
    Write(kind == Kind::Audit ? pair.Audit : pair.Result, text);
}

std::string AuditRow(int measurement, const AuditLabels& labels,
    const std::array<double, 6>& values, int decimals, double pa, double sigmaPa)
{
    std::string row = std::to_string(measurement) + '\t' + labels.Object;
    // A decimal point in every language, empty for unknown.
    const auto column = [&row](double value, int digits) {
        row += '\t';
        if (std::isfinite(value))
            row += NumberText::FormatFixed(value, 0, digits);
    };
    for (const double value : values)
        column(value, decimals);
    column(pa, 4);
    column(sigmaPa, 4);
    std::string picture = labels.Picture;
    std::replace_if(
        picture.begin(), picture.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
    return row + '\t' + labels.Fit + '\t' + labels.Ut + '\t' + picture + AuditLineEnd;
}

bool IsResultFile(const std::string& name)
{
    struct stat status { };
    if (::stat(name.c_str(), &status) != 0)
        return false;
    for (const ResultFile* file : AllFiles())
        if (IsThisFile(*file, status))
            return true;
    return false;
}

void FlushAll()
{
    for (ResultFile* file : AllFiles())
        LastTry(*file);
}

void Reset()
{
    Pairs = {};
    SecondOpen = false;
}

} // namespace ResultFiles
