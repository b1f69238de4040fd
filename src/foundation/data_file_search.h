// The search for data files by bare name along the search directories: interface images,
// renderer images, and the images, layers and sounds a world names.
#pragma once

#include <cstdint>

namespace veskor {

// Returns the search index of the first directory holding a regular file `name` that opens
// for reading, or 0 when none does. Tried in order: the added world directories from the last
// added to the first, then the working, resource, image, sound, binary and product
// directories. The system directory is not searched. The name is appended to the directory as
// it stands; a directory plus name longer than 511 characters is not found there.
std::uint32_t FindDataFile(const char* name);

}  // namespace veskor
