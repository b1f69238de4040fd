// The descriptors a process was given open at its start (its starter's redirections: `> out.png`,
// `3<> registry`), and the names that reach a file through one of the process's own descriptors.
// The replace by name (file_replace.h) writes such a name through the descriptor.
//
// A name reaches a descriptor of the process's own when, along its chain of links, a name's
// folder is one of the process's descriptor folders: /dev/stdout, /dev/stderr, /dev/stdin,
// /dev/fd/N, /proc/self/fd/N, /proc/<its pid>/fd/N or /proc/<pid>/task/<tid>/fd/N of one of its
// threads, or a link to one.
//
// Only a descriptor the process was given, still on the same file, is the user's: one the process
// opened itself (an X connection), one its starter left closed, or a number past INT_MAX is none.
#pragma once

#include <string>

namespace veskor {

// Takes the descriptors open now, and the files they are on, as those the process was given
// at its start. It runs as the process starts; tests call it again to stand for a start with
// the redirections they made.
void NoteGivenDescriptors();

// The number of the process's own descriptor that `path` reaches its file through (one past
// INT_MAX for any larger, which no descriptor has), or -1 for any other name.
long long OwnDescriptor(std::string path);

// Whether `fd` is one the process was given at its start, and still on the same file.
bool WasGiven(long long fd);

}  // namespace veskor
