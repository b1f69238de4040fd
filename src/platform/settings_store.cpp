#include "platform/settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/file_open.h"
#include "platform/file_replace.h"
#include "platform/save_signals.h"

namespace veskor {

namespace {

constexpr std::string_view kClassesRootPrefix = "HKEY_CLASSES_ROOT\\";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";  // UTF-8's

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A quoted text from s[pos] == '"'; pos ends past the closing quote. False for a missing
// closing quote or an escape other than \\ and \".
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string* out) {
  for (++pos; pos < s.size();) {
    const char c = s[pos++];
    if (c == '"') return true;
    if (c == '\\') {
      if (pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) return false;
      out->push_back(s[pos++]);
    } else {
      out->push_back(c);
    }
  }
  return false;
}

void SkipBlanks(std::string_view s, std::size_t& pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
}

SettingsLine ParseLine(std::string_view raw) {
  SettingsLine line;
  line.text = raw;
  if (raw.size() > kSettingsLineMax || raw.find('\0') != std::string_view::npos) return line;
  const std::string_view t = TrimBlanks(raw);
  if (t.empty()) return line;
  if (t.front() == '[') {
    if (t.size() >= 2 && t.back() == ']') {
      line.kind = SettingsLine::kKey;
      line.name = t.substr(1, t.size() - 2);
    }
    return line;
  }
  std::string name;
  std::size_t pos = 1;
  if (t.front() == '"') {
    pos = 0;
    if (!ReadQuoted(t, pos, &name)) return line;
  } else if (t.front() != '@') {
    return line;
  }
  SkipBlanks(t, pos);
  if (pos >= t.size() || t[pos] != '=') return line;
  SkipBlanks(t, ++pos);
  if (pos >= t.size()) return line;
  if (t[pos] != '"') {
    line.kind = SettingsLine::kOtherType;
    line.name = std::move(name);
    return line;
  }
  std::string value;
  if (!ReadQuoted(t, pos, &value)) return line;
  SkipBlanks(t, pos);
  if (pos != t.size()) return line;
  line.kind = SettingsLine::kString;
  line.name = std::move(name);
  line.value = std::move(value);
  return line;
}

void AppendEscaped(std::string& out, std::string_view s) {
  out.push_back('"');
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

bool HasLineBreakOrZero(std::string_view s) {
  return s.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos;
}

// Never destroyed: the settings are saved at the process's end, by an exit routine or a static's
// destructor, which may come after this file's statics would have gone.
std::string& gWriteFailure = *new std::string;
std::string& gReadFailure = *new std::string;

// Records why a write failed; false, for the caller to return.
bool Failed(std::string reason) {
  gWriteFailure = std::move(reason);
  return false;
}

// False with `*why` set when the file cannot be read whole ("File too large" for one larger
// than kSettingsFileMax). A file that is not a regular one is refused, found by stat before any
// open: the store is read and written many times a run, which a pipe or a device cannot give
// back, and the open of a FIFO would wait for a writer. Should a FIFO take the file's place
// between the stat and the open, the open does not wait either, and what it opened is refused
// in the same words (a FIFO without a writer would read as empty). A whole-text write through a
// descriptor that another run has under way on the file is waited for, so that its half is
// never read (and written back whole).
bool ReadWholeFile(const std::string& path, std::string* text, std::string* why) {
  if (const char* kind = SettingsFileKind(path)) {
    *why = NotRegularFileReason(kind);
    return false;
  }
  FileOpenFailure failure;
  std::FILE* f = OpenRegularStreamForReading(path.c_str(), &failure);  // "": ENOENT
  if (f == nullptr) {
    *why = failure.Reason();
    return false;
  }
  if (!HoldFileForReading(::fileno(f), why)) {
    std::fclose(f);  // lets the hold go
    return false;
  }
  char buffer[8192];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && text->size() <= kSettingsFileMax)
    text->append(buffer, n);
  const bool error = std::ferror(f) != 0;
  const int readErrno = errno;
  std::fclose(f);
  const bool whole = !error && text->size() <= kSettingsFileMax;
  if (!whole) *why = std::strerror(error ? readErrno : EFBIG);
  return whole;
}

}  // namespace

std::string SettingsStorePath() {
  const char* store = std::getenv("VESKOR_REGISTRY");
  if (store != nullptr && store[0] != '\0') return store;
  // A relative base directory counts as unset, and is said once for each value met.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/veskor/registry";
  if (config != nullptr && config[0] != '\0') {
    static std::mutex said;
    static std::string& saidFor = *new std::string;  // read by the end's save too
    const std::lock_guard<std::mutex> lock(said);
    if (saidFor != config) {
      std::fprintf(stderr, "veskor: XDG_CONFIG_HOME=%s is not an absolute path: it is ignored\n",
                   config);
      saidFor = config;
    }
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/veskor/registry";
  return "";
}

const char* SettingsFileKind(const std::string& path) { return FileKindAt(path); }

std::string SettingsKeyName(SettingsRoot root, std::string_view key) {
  std::string name(root == SettingsRoot::kClassesRoot ? kClassesRootPrefix : "");
  name += key;
  return name;
}

SettingsText::SettingsText(std::string_view text) {
  // Editors that write UTF-8 may put a byte-order mark before the first line: it is no part of
  // that line, and stays in front of the text.
  if (text.starts_with(kByteOrderMark)) {
    mark_ = kByteOrderMark;
    text.remove_prefix(kByteOrderMark.size());
  }
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);  // CR LF reads as LF
    lines_.push_back(ParseLine(raw));
  }
}

SettingsLookup SettingsText::Read(std::string_view key, std::string_view name,
                                  std::string* value) const {
  bool keyFound = false, inKey = false;
  const SettingsLine* last = nullptr;
  for (const SettingsLine& line : lines_) {
    if (line.kind == SettingsLine::kKey) {
      inKey = EqualNoCase(line.name, key);
      keyFound = keyFound || inKey;
    } else if (inKey && line.kind != SettingsLine::kNone && EqualNoCase(line.name, name)) {
      last = &line;
    }
  }
  if (!keyFound) return SettingsLookup::kNoKey;
  if (last == nullptr || last->kind != SettingsLine::kString) return SettingsLookup::kNoValue;
  *value = last->value;
  return SettingsLookup::kFound;
}

bool SettingsText::Write(std::string_view key, std::string_view name, std::string_view value) {
  if (HasLineBreakOrZero(name) || HasLineBreakOrZero(value)) return false;
  std::string text;
  if (name.empty()) {
    text = "@";
  } else {
    AppendEscaped(text, name);
  }
  text += '=';
  AppendEscaped(text, value);
  if (text.size() > kSettingsLineMax) return false;

  // The value's last line, else a new line after the last non-blank line of the key's last
  // section.
  std::size_t target = lines_.size(), insertAt = lines_.size();
  bool inKey = false, keyFound = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const SettingsLine& line = lines_[i];
    if (line.kind == SettingsLine::kKey) {
      inKey = EqualNoCase(line.name, key);
      if (inKey) {
        keyFound = true;
        insertAt = i + 1;
      }
      continue;
    }
    if (!inKey) continue;
    if (!TrimBlanks(line.text).empty()) insertAt = i + 1;
    if (line.kind != SettingsLine::kNone && EqualNoCase(line.name, name)) target = i;
  }
  if (!keyFound) return false;
  if (target < lines_.size()) {
    lines_[target] = ParseLine(text);
  } else {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), ParseLine(text));
  }
  return true;
}

std::string SettingsText::Text() const {
  std::string text = mark_;
  for (const SettingsLine& line : lines_) {
    text += line.text;
    text += '\n';
  }
  return text;
}

SettingsLookup SettingsReadString(SettingsRoot root, std::string_view key, std::string_view name,
                                  std::string* value) {
  std::string text;
  gReadFailure.clear();
  if (!ReadWholeFile(SettingsStorePath(), &text, &gReadFailure)) return SettingsLookup::kNoKey;
  return SettingsText(text).Read(SettingsKeyName(root, key), name, value);
}

bool SettingsWriteString(SettingsRoot root, std::string_view key, std::string_view name,
                         std::string_view value) {
  const std::string path = SettingsStorePath();
  // Named from the store's read to its replace: a run's end that runs over its time while either
  // waits says which save did not answer.
  const SaveUnderWay underWay(path, "the settings");
  std::string text, why;
  if (!ReadWholeFile(path, &text, &why)) return Failed(std::move(why));
  SettingsText store(text);
  const std::string section = SettingsKeyName(root, key);
  if (!store.Write(section, name, value)) {
    std::string lookup;
    if (store.Read(section, name, &lookup) == SettingsLookup::kNoKey)
      return Failed("it has no key [" + section + "]");
    return Failed("the value \"" + std::string(name) + "\" cannot be stored");
  }
  // A store is never written larger than it may be read back.
  const std::string written = store.Text();
  if (written.size() > kSettingsFileMax) {
    return Failed("the store would be too large to read: " + std::to_string(written.size()) +
                  " bytes, over its limit of " + std::to_string(kSettingsFileMax));
  }
  // What has taken the store's place since it was read, a FIFO say, is refused as the read
  // refuses it, never waited on.
  std::string reason;
  if (!ReplaceFileWhole(path, written, &reason, ThroughDescriptor::kWholeFile,
                        NotRegularFile::kRefused))
    return Failed(std::move(reason));
  gWriteFailure.clear();
  return true;
}

const std::string& SettingsWriteFailure() { return gWriteFailure; }

const std::string& SettingsReadFailure() { return gReadFailure; }

}  // namespace veskor
