// SPDX-License-Identifier: GPL-3.0-or-later
#include "Files.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

bool FileExists(const std::string& name)
{
    if (name.empty())
        return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return false;
    std::ifstream file(name, std::ios::binary);
    return file.is_open();
}

int OpenRegularFile(const std::string& name, int& error, std::int64_t& bytes)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat status { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = -1;
        return -1;
    }
    bytes = status.st_size;
    return fd;
}

RegularFileStream::RegularFileStream(const std::string& name)
    : std::istream(&Buffer)
{
    int error = 0;
    std::int64_t bytes = 0;
    Buffer.Fd = OpenRegularFile(name, error, bytes);
    if (Buffer.Fd < 0)
        setstate(std::ios::failbit);
}

RegularFileStream::DescriptorBuffer::int_type RegularFileStream::DescriptorBuffer::underflow()
{
    if (Fd < 0)
        return traits_type::eof();
    ssize_t count;
    do
        count = ::read(Fd, Data, sizeof Data);
    while (count < 0 && errno == EINTR);
    if (count < 0) // the stream catches this and sets badbit
        throw std::system_error(errno, std::generic_category(), "read");
    if (count == 0)
        return traits_type::eof();
    setg(Data, Data, Data + count);
    return traits_type::to_int_type(Data[0]);
}

RegularFileStream::DescriptorBuffer::~DescriptorBuffer()
{
    if (Fd >= 0)
        ::close(Fd);
}

FileIdentity IdentityOf(const std::string& name)
{
    struct stat status { };
    if (name.empty() || ::stat(name.c_str(), &status) != 0)
        return {};
    return { true, static_cast<std::uint64_t>(status.st_dev),
        static_cast<std::uint64_t>(status.st_ino), static_cast<std::int64_t>(status.st_size),
        static_cast<std::int64_t>(status.st_mtim.tv_sec),
        static_cast<std::int64_t>(status.st_mtim.tv_nsec) };
}

int WriteAll(int fd, const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace Files
