// Replacing a file by name whole, so that no reader ever sees half of it: the text goes into a
// fresh temporary beside the file, is flushed, then renamed over it. The settings store, the
// camera bookmarks and the captured frames write through it.
//
// A symbolic link is followed to the file it names, which is replaced (or made) in its own
// folder: the link stays a link. Only the process's own user's links and root's are followed, in a
// folder of the path or at its end (OwnLinksPath, file_links.h): another user's is refused. An
// existing file keeps its owner, its group, its permission bits, its access ACL and its extended
// attributes (`user.*`, and those of other namespaces that the process may read): the temporary is
// given them all before it takes the file's place. Where the folder has a default ACL, the file
// keeps its own access ACL, or stays without one. A new file gets 0666 less the umask (or the
// folder's default ACL), as any new file does.
//
// A replace that cannot keep what the file has is not done: a file the process may not write
// ("Permission denied", however writable its folder; root may write any but an immutable one),
// and one whose owner, group, ACL or an attribute the process may not give a file ("Operation
// not permitted": another user's file that it may write, its own of a group it is not in, a
// `security.*` attribute that root gave it). Where the file system keeps no attributes, there
// are none to keep; where it cannot set a mode or an owner at all (FUSE vfat), none either: the
// replace goes on when the temporary has the file's already, and fails otherwise.
//
// A file that cannot be replaced by a rename, being a mount point (a single file bind-mounted,
// as a container is given its settings), is written in place whole through a descriptor of it
// (WriteWholeThrough, descriptor_write.h): the room first, its old text kept when the new one
// cannot go in, and no temporary left.
//
// Refused before a temporary is made: a file in an append-only folder, where a temporary could
// be made and never removed ("Operation not permitted"), and a text longer than the process's
// file-size limit ("File too large"), which no write could put in whole. From the temporary's
// making to its rename or removal, a signal that would end the process waits for it
// (save_signals.h): the file then holds its old text or its new one, and no temporary is left.
//
// A name that reaches a file through one of the process's own descriptors (given_descriptors.h)
// is written through that descriptor (descriptor_write.h), whatever the file's folder allows.
//
// A success also removes the temporaries of the file that writes killed before their rename
// left, once they have been unchanged for a minute (a younger one may be another writer's, at
// work now).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/descriptor_write.h"

namespace veskor {

// The tag of the temporaries' names: ".<file name>.veskor-tmp-XXXXXX" (six letters or digits),
// hidden and of a form nobody else uses, so that the sweep of stale ones never meets a file the
// program did not make.
inline constexpr std::string_view kReplaceTemporaryTag = ".veskor-tmp-";
inline constexpr std::size_t kReplaceTemporaryLetters = 6;

// The temporaries' names of `path` without their letters, with its folder: ".<name>.veskor-tmp-".
// A name too long for the whole to fit the folder's bound on a name (pathconf's _PC_NAME_MAX, 255
// bytes on most file systems: a name of 237 bytes or more there; never more than 255, as vfat
// and exFAT give 1530 for their 255 characters) is cut to the bytes that fit, before the
// character that would pass it; the files whose names begin alike then share it.
std::string ReplaceTemporaryPrefix(const std::string& path);

// How a regular file named through a given descriptor is written: kWholeFile makes it hold the
// text alone (WriteWholeThrough); kWhereItStands writes as the shell's redirection opened it
// (WriteThrough).
enum class ThroughDescriptor { kWholeFile, kWhereItStands };

// What becomes of a name that exists and is not a regular file (a FIFO, a socket, a device, or a
// pipe named through a descriptor): kRefused refuses it at once with "it is a FIFO, not a regular
// file" (NotRegularFileReason, file_open.h), never opening it for writing, so that it is never
// waited on, whatever takes the file's place meanwhile; kWrittenInPlace writes a FIFO or a device
// in place, in one pass, a FIFO waiting for its reader. A directory is refused either way ("Is a
// directory").
enum class NotRegularFile { kRefused, kWrittenInPlace };

// Replaces the file at `path` by `text`, or makes it, as above. False with `*reason` set when it
// cannot be done: the system's reason, or "cannot make a file in <folder>: <the system's reason>"
// when the temporary cannot be made; the temporary is then gone and the file as it was. Only a
// descriptor that the process was given open at its start is written through: any other fails as
// a shell's redirection does, with "Bad file descriptor".
bool ReplaceFileWhole(const std::string& path, std::string_view text, std::string* reason,
                      ThroughDescriptor through = ThroughDescriptor::kWholeFile,
                      NotRegularFile notRegular = NotRegularFile::kRefused);

// The steps of a replace by name, each told to the step call just before it is taken: the text
// written into the temporary, its mode set, its ACL and extended attributes given, its flush,
// its rename over the file. Tests have a signal come at one of them. Returns the call it
// replaces.
enum class ReplaceStep { kWrite, kMode, kAttributes, kSync, kRename };
using ReplaceStepCall = void (*)(ReplaceStep step);
ReplaceStepCall SetReplaceStepCall(ReplaceStepCall call);

// The call that draws the kReplaceTemporaryLetters letters or digits of a temporary's name
// into `letters`; tests make two writers' names meet. Returns the call it replaces.
using TemporaryLettersCall = void (*)(char* letters);
TemporaryLettersCall SetReplaceLettersCall(TemporaryLettersCall call);

// The call that gives the longest name, in bytes, that the folder `folder` takes, as pathconf's
// _PC_NAME_MAX gives it (0 or less: not known); tests give the bounds of other file systems.
// Returns the call it replaces.
using NameLimitCall = long (*)(const char* folder);
NameLimitCall SetReplaceNameLimitCall(NameLimitCall call);

}  // namespace veskor
