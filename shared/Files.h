// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a name is a file the programs may read: the test both programs and
// the window console make before they open an info file or a picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>

namespace Files {

// True when name is a regular file (or a link to one) that can be opened for
// reading. A pipe or a device is no file here: reading it could block or
// never end.
bool FileExists(const std::string& name);

// Opens name for reading without waiting for the writer of a FIFO or a
// device, and refuses anything but a regular file: the descriptor, or -1
// with error set to errno, or to -1 when the name is no regular file. bytes
// is the file's size.
int OpenRegularFile(const std::string& name, int& error, std::int64_t& bytes);

// Writes all size bytes of data to fd, again after an interrupted write: 0,
// or the errno of the failure (ENOSPC when the disk takes no more).
int WriteAll(int fd, const char* data, std::size_t size);

// A file opened through OpenRegularFile and read as a stream: a name that is
// no regular file (a FIFO, a folder, a device) leaves it closed at once,
// without blocking. A read error sets badbit.
class RegularFileStream : public std::istream {
public:
    explicit RegularFileStream(const std::string& name);
    bool IsOpen() const { return Buffer.Fd >= 0; }

private:
    struct DescriptorBuffer : std::streambuf {
        int Fd = -1;
        char Data[4096];
        int_type underflow() override;
        ~DescriptorBuffer() override;
    };
    DescriptorBuffer Buffer;
};

// What tells one file's contents from another's under the same name: a file
// written anew or replaced differs in at least one of these.
struct FileIdentity {
    bool Known = false; // false: the name could not be looked up
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Bytes = 0;
    std::int64_t ModifiedSeconds = 0;
    std::int64_t ModifiedNanoseconds = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file name refers to (a link followed); never opens it,
// so a FIFO does not block.
FileIdentity IdentityOf(const std::string& name);

} // namespace Files
