// The settings store: keys holding named string values, kept in a text file in the manner of an
// exported registry, in place of the system registry. The application shell reads its
// directories and settings from it at start and writes them back at exit.
//
// The file is at $VESKOR_REGISTRY, else $XDG_CONFIG_HOME/veskor/registry when that directory
// is absolute (a relative one counts as unset, and is said), else ~/.config/veskor/registry.
// Its lines:
//   [Software\Dovek software\veskor\Settings]   a key (section); keys of the classes root are
//                                               written [HKEY_CLASSES_ROOT\<path>]
//   "Name"="value"                              a string value of the key above
//   @="value"                                   the key's default (unnamed) value
//   "Name"=dword:00000001                       a value of another type: counts as missing
// Inside quotes "\\" stands for a backslash and "\"" for a quote; no other escape exists. Lines
// end with LF or CR LF. A UTF-8 byte-order mark (EF BB BF) before the first line is none of its
// text, and stays in front of the file when it is written back. Key paths and value names
// match without regard to ASCII case; of two lines for the same value the later counts. Blank
// lines, ';' comments and other lines are kept as they are and mean nothing. A line that breaks
// these rules (an unterminated quote, a bad escape, a zero byte, more than kSettingsLineMax
// bytes) is read as if it were not there.
//
// The program never creates keys: a write into a key that the file lacks fails. Every read
// takes the file as it stands at that moment; every write replaces the file whole (a temporary
// file beside it, then a rename; through a descriptor, a whole write that reads wait for), so a
// reader never sees half a file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veskor {

enum class SettingsRoot { kCurrentUser, kClassesRoot };

inline constexpr std::size_t kSettingsLineMax = 4096;
inline constexpr std::size_t kSettingsFileMax = 1 << 20;  // a larger file reads as empty

// The path of the store file ("" when neither variable nor $HOME gives one).
std::string SettingsStorePath();

enum class SettingsLookup { kFound, kNoKey, kNoValue };

// Reads the string value `name` of `key` (an empty name is the default value). kNoValue also
// stands for a value of another type. A store that cannot be read, or that is not a regular
// file, has no key (kNoKey; SettingsReadFailure says why).
SettingsLookup SettingsReadString(SettingsRoot root, std::string_view key, std::string_view name,
                                  std::string* value);
// Replaces or adds the string value. False when the key is missing, the value holds a line
// break or a zero byte, the store would grow past kSettingsFileMax (which it could not be read
// back with), or the file cannot be replaced (ReplaceFileWhole, which also sweeps the
// temporaries of killed writes, and only those).
bool SettingsWriteString(SettingsRoot root, std::string_view key, std::string_view name,
                         std::string_view value);
// Why the last SettingsWriteString failed: the system's reason ("Permission denied"), what the
// store lacks ("it has no key [...]"), that it is not a regular file, or that it would be too
// large ("the store would be too large to read: <n> bytes, over its limit of 1048576"); empty
// after a write that succeeded.
const std::string& SettingsWriteFailure();

// Why the last SettingsReadString could not read the store (kNoKey): the system's reason
// ("Permission denied"), that another process held it for a write ("another process (pid <n>)
// has held the file for more than 3 seconds"), or that the file is not a regular one ("it is a
// FIFO, not a regular file", in the words of SettingsFileKind); empty after a read that read
// the store, whether or not it found the value.
const std::string& SettingsReadFailure();

// What the file at `path` (its links followed) is when it is not a regular file: "a directory",
// "a FIFO" (one with a name in a folder), "a pipe" (one reached through a descriptor's name,
// /dev/fd/3 given by `3< <(cat registry)`), "a socket" or "a device" (of characters or blocks).
// nullptr for a regular file, or when there is none. Found by stat, without opening the file: the
// open of a FIFO waits for a writer.
const char* SettingsFileKind(const std::string& path);

// The file's text as lines, parsed; what the operations above work on, exposed for the tests
// and the fuzz target.
struct SettingsLine {
  enum Kind { kNone, kKey, kString, kOtherType };
  std::string text;  // the line as in the file, without its line end
  Kind kind = kNone;
  std::string name;   // kKey: the key path (root prefix included); values: the value name
  std::string value;  // kString: the text with its escapes resolved
};

class SettingsText {
 public:
  explicit SettingsText(std::string_view text);
  SettingsLookup Read(std::string_view key, std::string_view name, std::string* value) const;
  bool Write(std::string_view key, std::string_view name, std::string_view value);
  // The lines joined with LF, ending with one, after the byte-order mark the text began with.
  std::string Text() const;
  const std::vector<SettingsLine>& lines() const { return lines_; }

 private:
  std::string mark_;  // the byte-order mark before the first line, or empty
  std::vector<SettingsLine> lines_;
};

// The section name that stands for `key` under `root`.
std::string SettingsKeyName(SettingsRoot root, std::string_view key);

}  // namespace veskor
