#include "input/input_list.h"

#include "common/text.h"
#include "files/whole_file.h"
#include "util/error.h"

namespace radcon {

namespace {

constexpr std::size_t kMaxListBytes = std::size_t{256} << 20;

}  // namespace

std::vector<std::string> parseInputList(const std::string& text) {
  std::vector<std::string> paths;
  Lines lines(text);
  for (std::string_view line; lines.next(line);) {
    line = trimBlanks(line);
    if (!line.empty() && line[0] != '#') paths.emplace_back(line);
  }
  return paths;
}

std::vector<std::string> readInputList(const std::string& path) {
  const WholeFile f = readWholeFile(path, kMaxListBytes);
  if (f.status == WholeFile::kCannotOpen) fail("Can't open the list of alignments " + path + ".");
  if (f.status == WholeFile::kTooLarge) fail("The list of alignments " + path + " is larger than 256 MB.");
  if (f.status != WholeFile::kRead) fail("Can't read the list of alignments " + path + ".");
  return parseInputList(f.text);
}

std::string geneName(const std::string& path) {
  if (path == "-") return "stdin";
  std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  static const char* const kExtensions[] = {".gz", ".fa", ".fasta", ".fas", ".fna", ".seq", ".phy", ".phylip", ".txt"};
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (const char* ext : kExtensions) {
      const std::string e = ext;
      if (name.size() > e.size() && name.ends_with(e)) {
        name.erase(name.size() - e.size());
        stripped = true;
      }
    }
  }
  for (char& c : name)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return name;
}

}  // namespace radcon
