// Whether a name is a file the programs may read: the test both programs and
// the window console make before they open an info file or a picture.
#pragma once

#include <string>

namespace Files {

// True when name is a regular file (or a link to one) that can be opened for
// reading. A pipe or a device is no file here: reading it could block or
// never end.
bool FileExists(const std::string& name);

} // namespace Files
