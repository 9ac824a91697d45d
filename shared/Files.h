// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a name is a file the programs may read: the test both programs and
// the window console make before they open an info file or a picture.
#pragma once

#include <cstdint>
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

} // namespace Files
