#include <omf/platform/error/ThrowError.h>

#include <fstream>
#include <map>
#include <mutex>

#include <omf/platform/path/PathFinder.h>

namespace omf {

namespace {

// Message files are small; each is read once per process and kept.
const std::map<int, std::string>* Load(const std::string& file) {
  static std::mutex lock;
  static std::map<std::string, std::map<int, std::string>> files;
  std::lock_guard guard(lock);
  const std::string path = [&] {
    PathFinder finder(3);
    finder.SetRelativePath("data/" + file);
    return finder.Path();
  }();
  auto it = files.find(path);
  if (it != files.end()) return &it->second;
  std::ifstream in(path);
  if (!in) return nullptr;
  std::map<int, std::string> texts;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t end = 0;
    int number = 0;
    try {
      number = std::stoi(line, &end);
    } catch (const std::exception&) {
      continue;
    }
    while (end < line.size() && (line[end] == ' ' || line[end] == '\t'))
      ++end;
    texts[number] = line.substr(end);
  }
  return &files.emplace(path, std::move(texts)).first->second;
}

} // namespace

namespace ThrowError {

std::string MessageText(const std::string& file, int number) {
  const auto* texts = Load(file);
  const auto it = texts ? texts->find(number) : decltype(texts->find(number)){};
  if (texts != nullptr && it != texts->end()) return it->second;
  std::string text = "error ";
  text += std::to_string(number);
  text += texts == nullptr ? " (message file " : " (no text in ";
  text += file;
  text += texts == nullptr ? " not found)" : ")";
  return text;
}

void Simple(const std::string& file, int number) {
  throw OmError(file, number, MessageText(file, number));
}

} // namespace ThrowError

} // namespace omf
