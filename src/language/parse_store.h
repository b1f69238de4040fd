// The ParseStore: what the parse of a world produces besides the World (the fx records, their
// calls and constants, and the compiled lists). The directive loop only hands it on to the
// block parsers; its tables come with the fx language.
#pragma once

namespace veskor {

struct ParseStore {};

}  // namespace veskor
